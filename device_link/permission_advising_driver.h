#pragma once

#include <functional>
#include <memory>
#include <string>

#include "device_link/d2xx.h"
#include "device_link/driver_diagnostics.h"

// Passes every call through to a driver. When a call fails because the user may not open the
// device, it hands the advice on installing the udev rule to `advise` first, so the operator
// reads it before any dialog about the failed connection.
class PermissionAdvisingDriver : public D2xx {
 public:
  PermissionAdvisingDriver(std::shared_ptr<D2xx> driver,
                           std::shared_ptr<DriverDiagnostics> diagnostics,
                           std::function<void(const std::string&)> advise);

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

 private:
  FT_STATUS Checked(FT_STATUS status);

  std::shared_ptr<D2xx> driver_;
  std::shared_ptr<DriverDiagnostics> diagnostics_;
  std::function<void(const std::string&)> advise_;
};
