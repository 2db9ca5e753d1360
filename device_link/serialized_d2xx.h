#pragma once

#include <memory>
#include <mutex>

#include "device_link/d2xx.h"
#include "device_link/driver_diagnostics.h"

// One driver shared by links on several threads: every call, and every question about the
// driver's last failure, runs alone under one lock. Links on a bench of testers each talk to
// their own device through it, so the lock is held only for the length of one call.
class SerializedD2xx final : public D2xx, public DriverDiagnostics {
 public:
  // `diagnostics` (of the same driver) may be null.
  SerializedD2xx(std::shared_ptr<D2xx> driver, std::shared_ptr<DriverDiagnostics> diagnostics);

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

  std::string LastErrorText() const override;
  bool PermissionRefused() const override;

 private:
  std::shared_ptr<D2xx> driver_;
  std::shared_ptr<DriverDiagnostics> diagnostics_;
  mutable std::mutex mutex_;
};
