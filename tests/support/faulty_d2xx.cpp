#include "tests/support/faulty_d2xx.h"

#include <algorithm>
#include <utility>

void FaultyD2xx::FailNext(const std::string& function, FT_STATUS status) {
  next_[function].push_back(status);
}

void FaultyD2xx::FailEvery(const std::string& function, FT_STATUS status) {
  every_[function] = status;
}

void FaultyD2xx::LoseDevice(std::int32_t index, int writes) {
  lostDevice_ = index;
  writesToLose_ = writes;
}

void FaultyD2xx::AfterWrites(int writes, std::function<void()> then) {
  writesUntil_ = writes;
  then_ = std::move(then);
}

std::ptrdiff_t FaultyD2xx::Count(std::string_view function) const {
  return std::count_if(made_.begin(), made_.end(),
                       [function](const Made& made) { return made.function == function; });
}

std::optional<FT_STATUS> FaultyD2xx::Fault(const std::string& function,
                                           std::optional<std::int32_t> handle) {
  if (auto next = next_.find(function); next != next_.end() && !next->second.empty()) {
    const FT_STATUS status = next->second.front();
    next->second.pop_front();
    return status;
  }
  if (auto every = every_.find(function); every != every_.end()) return every->second;
  if (handle && function != "FT_Close" && lostDevice_ && writesToLose_ <= 0) {
    const auto device = devices_.find(*handle);
    if (device != devices_.end() && device->second == *lostDevice_) return FT_IO_ERROR;
  }
  return std::nullopt;
}

FT_STATUS FaultyD2xx::Call(const char* function, std::optional<std::int32_t> handle,
                           const std::function<FT_STATUS()>& passOn) {
  const std::optional<FT_STATUS> fault = Fault(function, handle);
  const FT_STATUS status = fault ? *fault : passOn();
  made_.push_back({function, status});
  return status;
}

FT_STATUS FaultyD2xx::FT_ListDevicesCount(std::int32_t& count) {
  return Call("FT_ListDevicesCount", {}, [&] { return D2xxDecorator::FT_ListDevicesCount(count); });
}

FT_STATUS FaultyD2xx::FT_ListDevicesDescription(std::int32_t index, char* buffer50) {
  return Call("FT_ListDevicesDescription", {},
              [&] { return D2xxDecorator::FT_ListDevicesDescription(index, buffer50); });
}

FT_STATUS FaultyD2xx::FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) {
  return Call("FT_ListDevicesSerialNumber", {},
              [&] { return D2xxDecorator::FT_ListDevicesSerialNumber(index, buffer16); });
}

FT_STATUS FaultyD2xx::FT_Open(std::int32_t index, std::int32_t& handle) {
  const FT_STATUS status =
      Call("FT_Open", {}, [&] { return D2xxDecorator::FT_Open(index, handle); });
  if (status == FT_OK) devices_[handle] = index;
  return status;
}

FT_STATUS FaultyD2xx::FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) {
  return Call("FT_GetQueueStatus", handle,
              [&] { return D2xxDecorator::FT_GetQueueStatus(handle, rxBytes); });
}

FT_STATUS FaultyD2xx::FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                              std::int32_t& read) {
  return Call("FT_Read", handle,
              [&] { return D2xxDecorator::FT_Read(handle, buffer, wanted, read); });
}

FT_STATUS FaultyD2xx::FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                               std::int32_t& written) {
  const FT_STATUS status = Call("FT_Write", handle, [&] {
    std::string bytes(buffer, static_cast<std::size_t>(count));
    if (alterWrites) alterWrites(bytes);
    return D2xxDecorator::FT_Write(handle, bytes.data(), static_cast<std::int32_t>(bytes.size()),
                                   written);
  });
  if (status != FT_OK) return status;
  if (const auto device = devices_.find(handle);
      lostDevice_ && device != devices_.end() && device->second == *lostDevice_) {
    --writesToLose_;
  }
  if (then_ && --writesUntil_ == 0) std::exchange(then_, nullptr)();
  return status;
}

FT_STATUS FaultyD2xx::FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) {
  return Call("FT_SetLatencyTimer", handle,
              [&] { return D2xxDecorator::FT_SetLatencyTimer(handle, milliseconds); });
}

FT_STATUS FaultyD2xx::FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) {
  return Call("FT_SetBaudRate", handle,
              [&] { return D2xxDecorator::FT_SetBaudRate(handle, baud); });
}

FT_STATUS FaultyD2xx::FT_SetBitMode(std::int32_t handle, std::uint8_t mask, std::uint8_t mode) {
  return Call("FT_SetBitMode", handle,
              [&] { return D2xxDecorator::FT_SetBitMode(handle, mask, mode); });
}

FT_STATUS FaultyD2xx::FT_Close(std::int32_t handle) {
  const FT_STATUS status =
      Call("FT_Close", handle, [&] { return D2xxDecorator::FT_Close(handle); });
  if (status == FT_OK) devices_.erase(handle);
  return status;
}
