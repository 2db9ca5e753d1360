#include "device_link/permission_advising_driver.h"

PermissionAdvisingDriver::PermissionAdvisingDriver(std::shared_ptr<D2xx> driver,
                                                   std::shared_ptr<DriverDiagnostics> diagnostics,
                                                   std::function<void(const std::string&)> advise)
    : driver_(std::move(driver)),
      diagnostics_(std::move(diagnostics)),
      advise_(std::move(advise)) {}

FT_STATUS PermissionAdvisingDriver::Checked(FT_STATUS status) {
  if (status != FT_OK && diagnostics_ && diagnostics_->PermissionRefused())
    advise_(PermissionHint());
  return status;
}

FT_STATUS PermissionAdvisingDriver::FT_ListDevicesCount(std::int32_t& count) {
  return Checked(driver_->FT_ListDevicesCount(count));
}

FT_STATUS PermissionAdvisingDriver::FT_ListDevicesDescription(std::int32_t index, char* buffer50) {
  return Checked(driver_->FT_ListDevicesDescription(index, buffer50));
}

FT_STATUS PermissionAdvisingDriver::FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) {
  // A driver that cannot tell serial numbers says so with FT_NOT_SUPPORTED: no failure to advise
  // on.
  const FT_STATUS status = driver_->FT_ListDevicesSerialNumber(index, buffer16);
  return status == FT_NOT_SUPPORTED ? status : Checked(status);
}

FT_STATUS PermissionAdvisingDriver::FT_Open(std::int32_t index, std::int32_t& handle) {
  return Checked(driver_->FT_Open(index, handle));
}

FT_STATUS PermissionAdvisingDriver::FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) {
  return Checked(driver_->FT_GetQueueStatus(handle, rxBytes));
}

FT_STATUS PermissionAdvisingDriver::FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                                            std::int32_t& read) {
  return Checked(driver_->FT_Read(handle, buffer, wanted, read));
}

FT_STATUS PermissionAdvisingDriver::FT_Write(std::int32_t handle, const char* buffer,
                                             std::int32_t count, std::int32_t& written) {
  return Checked(driver_->FT_Write(handle, buffer, count, written));
}

FT_STATUS PermissionAdvisingDriver::FT_SetLatencyTimer(std::int32_t handle,
                                                       std::uint8_t milliseconds) {
  return Checked(driver_->FT_SetLatencyTimer(handle, milliseconds));
}

FT_STATUS PermissionAdvisingDriver::FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) {
  return Checked(driver_->FT_SetBaudRate(handle, baud));
}

FT_STATUS PermissionAdvisingDriver::FT_SetBitMode(std::int32_t handle, std::uint8_t mask,
                                                  std::uint8_t mode) {
  return Checked(driver_->FT_SetBitMode(handle, mask, mode));
}

FT_STATUS PermissionAdvisingDriver::FT_Close(std::int32_t handle) {
  return Checked(driver_->FT_Close(handle));
}
