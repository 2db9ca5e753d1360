#include "backends/d2xx_decorator.h"

#include <utility>

D2xxDecorator::D2xxDecorator(std::shared_ptr<D2xx> driver) : driver_(std::move(driver)) {}

FT_STATUS D2xxDecorator::Pass(std::string_view, std::optional<std::int32_t>,
                              const std::function<FT_STATUS()>& passOn) {
  return passOn();
}

FT_STATUS D2xxDecorator::FT_ListDevicesCount(std::int32_t& count) {
  return Pass("FT_ListDevicesCount", {}, [&] { return driver_->FT_ListDevicesCount(count); });
}

FT_STATUS D2xxDecorator::FT_ListDevicesDescription(std::int32_t index, char* buffer50) {
  return Pass("FT_ListDevicesDescription", {},
              [&] { return driver_->FT_ListDevicesDescription(index, buffer50); });
}

FT_STATUS D2xxDecorator::FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) {
  return Pass("FT_ListDevicesSerialNumber", {},
              [&] { return driver_->FT_ListDevicesSerialNumber(index, buffer16); });
}

FT_STATUS D2xxDecorator::FT_Open(std::int32_t index, std::int32_t& handle) {
  return Pass("FT_Open", {}, [&] { return driver_->FT_Open(index, handle); });
}

FT_STATUS D2xxDecorator::FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) {
  return Pass("FT_GetQueueStatus", handle,
              [&] { return driver_->FT_GetQueueStatus(handle, rxBytes); });
}

FT_STATUS D2xxDecorator::FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                                 std::int32_t& read) {
  return Pass("FT_Read", handle, [&] { return driver_->FT_Read(handle, buffer, wanted, read); });
}

FT_STATUS D2xxDecorator::FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                                  std::int32_t& written) {
  return Pass("FT_Write", handle,
              [&] { return driver_->FT_Write(handle, buffer, count, written); });
}

FT_STATUS D2xxDecorator::FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) {
  return Pass("FT_SetLatencyTimer", handle,
              [&] { return driver_->FT_SetLatencyTimer(handle, milliseconds); });
}

FT_STATUS D2xxDecorator::FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) {
  return Pass("FT_SetBaudRate", handle, [&] { return driver_->FT_SetBaudRate(handle, baud); });
}

FT_STATUS D2xxDecorator::FT_SetBitMode(std::int32_t handle, std::uint8_t mask, std::uint8_t mode) {
  return Pass("FT_SetBitMode", handle, [&] { return driver_->FT_SetBitMode(handle, mask, mode); });
}

FT_STATUS D2xxDecorator::FT_Close(std::int32_t handle) {
  return Pass("FT_Close", handle, [&] { return driver_->FT_Close(handle); });
}
