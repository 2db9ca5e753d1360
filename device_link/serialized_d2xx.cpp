#include "device_link/serialized_d2xx.h"

SerializedD2xx::SerializedD2xx(std::shared_ptr<D2xx> driver,
                               std::shared_ptr<DriverDiagnostics> diagnostics)
    : driver_(std::move(driver)), diagnostics_(std::move(diagnostics)) {}

FT_STATUS SerializedD2xx::FT_ListDevicesCount(std::int32_t& count) {
  const std::scoped_lock lock(mutex_);
  return driver_->FT_ListDevicesCount(count);
}

FT_STATUS SerializedD2xx::FT_ListDevicesDescription(std::int32_t index, char* buffer50) {
  const std::scoped_lock lock(mutex_);
  return driver_->FT_ListDevicesDescription(index, buffer50);
}

FT_STATUS SerializedD2xx::FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) {
  const std::scoped_lock lock(mutex_);
  return driver_->FT_ListDevicesSerialNumber(index, buffer16);
}

FT_STATUS SerializedD2xx::FT_Open(std::int32_t index, std::int32_t& handle) {
  const std::scoped_lock lock(mutex_);
  return driver_->FT_Open(index, handle);
}

FT_STATUS SerializedD2xx::FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) {
  const std::scoped_lock lock(mutex_);
  return driver_->FT_GetQueueStatus(handle, rxBytes);
}

FT_STATUS SerializedD2xx::FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                                  std::int32_t& read) {
  const std::scoped_lock lock(mutex_);
  return driver_->FT_Read(handle, buffer, wanted, read);
}

FT_STATUS SerializedD2xx::FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                                   std::int32_t& written) {
  const std::scoped_lock lock(mutex_);
  return driver_->FT_Write(handle, buffer, count, written);
}

FT_STATUS SerializedD2xx::FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) {
  const std::scoped_lock lock(mutex_);
  return driver_->FT_SetLatencyTimer(handle, milliseconds);
}

FT_STATUS SerializedD2xx::FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) {
  const std::scoped_lock lock(mutex_);
  return driver_->FT_SetBaudRate(handle, baud);
}

FT_STATUS SerializedD2xx::FT_SetBitMode(std::int32_t handle, std::uint8_t mask, std::uint8_t mode) {
  const std::scoped_lock lock(mutex_);
  return driver_->FT_SetBitMode(handle, mask, mode);
}

FT_STATUS SerializedD2xx::FT_Close(std::int32_t handle) {
  const std::scoped_lock lock(mutex_);
  return driver_->FT_Close(handle);
}

std::string SerializedD2xx::LastErrorText() const {
  const std::scoped_lock lock(mutex_);
  return diagnostics_ ? diagnostics_->LastErrorText() : std::string();
}

bool SerializedD2xx::PermissionRefused() const {
  const std::scoped_lock lock(mutex_);
  return diagnostics_ && diagnostics_->PermissionRefused();
}
