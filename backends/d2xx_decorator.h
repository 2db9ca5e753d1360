#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "device_link/d2xx.h"

// Passes every driver call on to the driver it wraps. A wrapper that changes a few calls builds on
// it and overrides only those, so that no call is left to the seam's defaults by mistake.
class D2xxDecorator : public D2xx {
 public:
  explicit D2xxDecorator(std::shared_ptr<D2xx> driver);

  FT_STATUS FT_ListDevicesCount(std::int32_t& count) override;
  FT_STATUS FT_ListDevicesDescription(std::int32_t index, char* buffer50) override;
  FT_STATUS FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) override;
  FT_STATUS FT_Open(std::int32_t index, std::int32_t& handle) override;
  FT_STATUS FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) override;
  FT_STATUS FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                    std::int32_t& read) override;
  FT_STATUS FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                     std::int32_t& written) override;
  FT_STATUS FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) override;
  FT_STATUS FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) override;
  FT_STATUS FT_SetBitMode(std::int32_t handle, std::uint8_t mask, std::uint8_t mode) override;
  FT_STATUS FT_Close(std::int32_t handle) override;

 protected:
  // Every call comes through here, by its D2XX name ("FT_Read") and with the handle it works on
  // (none for the listing calls and FT_Open); `passOn` hands it to the wrapped driver. A wrapper
  // that watches every call overrides this alone.
  virtual FT_STATUS Pass(std::string_view function, std::optional<std::int32_t> handle,
                         const std::function<FT_STATUS()>& passOn);

 private:
  std::shared_ptr<D2xx> driver_;
};
