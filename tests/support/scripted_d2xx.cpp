#include "tests/support/scripted_d2xx.h"

#include <algorithm>
#include <cstring>

void ScriptedD2xx::FailNext(const std::string& function, FT_STATUS status) {
  failures_[function].push_back(status);
}

std::optional<FT_STATUS> ScriptedD2xx::Scripted(const std::string& function,
                                                std::optional<std::int32_t> handle) {
  calls.push_back(function);
  if (auto it = failures_.find(function); it != failures_.end() && !it->second.empty()) {
    const FT_STATUS status = it->second.front();
    it->second.pop_front();
    return status;
  }
  if (handle && openHandle_ != handle) return FT_INVALID_HANDLE;
  return std::nullopt;
}

// The description, or the serial number, of device `index` into `buffer` of `size` bytes: whole
// with its NUL where it fits, cut without one where not.
FT_STATUS ScriptedD2xx::List(const std::vector<std::string>& of, std::int32_t index, char* buffer,
                             std::size_t size) {
  if (index < 0 || index >= static_cast<std::int32_t>(of.size())) return FT_DEVICE_NOT_FOUND;
  const std::string& text = of[static_cast<std::size_t>(index)];
  std::memcpy(buffer, text.c_str(), std::min(text.size() + 1, size));
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_ListDevicesCount(std::int32_t& count) {
  if (auto s = Scripted("FT_ListDevicesCount")) return *s;
  count = static_cast<std::int32_t>(descriptions.size());
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_ListDevicesDescription(std::int32_t index, char* buffer50) {
  if (auto s = Scripted("FT_ListDevicesDescription")) return *s;
  return List(descriptions, index, buffer50, kDescriptionBufferSize);
}

FT_STATUS ScriptedD2xx::FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) {
  if (serialNumbers.empty()) return D2xx::FT_ListDevicesSerialNumber(index, buffer16);
  if (auto s = Scripted("FT_ListDevicesSerialNumber")) return *s;
  return List(serialNumbers, index, buffer16, 16);
}

FT_STATUS ScriptedD2xx::FT_Open(std::int32_t index, std::int32_t& handle) {
  if (auto s = Scripted("FT_Open")) return *s;
  if (index < 0 || index >= static_cast<std::int32_t>(descriptions.size())) {
    return FT_DEVICE_NOT_FOUND;
  }
  // Like the real driver: a device still held by an earlier open cannot be opened again.
  if (openHandle_) return FT_DEVICE_NOT_OPENED;
  openHandle_ = handle = nextHandle;
  openedIndex = index;
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) {
  if (auto s = Scripted("FT_GetQueueStatus", handle)) return *s;
  rxBytes = static_cast<std::int32_t>(rx.size());
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                                std::int32_t& read) {
  lastReadWanted = wanted;
  if (auto s = Scripted("FT_Read", handle)) return *s;
  read = static_cast<std::int32_t>(rx.copy(buffer, static_cast<std::size_t>(wanted)));
  rx.erase(0, static_cast<std::size_t>(read));
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                                 std::int32_t& written) {
  if (auto s = Scripted("FT_Write", handle)) return *s;
  written = count;
  if (!partialWrites_.empty()) {
    written = std::min(count, partialWrites_.front());
    partialWrites_.pop_front();
  }
  const std::string& bytes = writes.emplace_back(buffer, static_cast<std::size_t>(written));
  if (auto it = replies.find(bytes); it != replies.end()) rx += it->second;
  if (onWrite) onWrite(bytes);
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) {
  if (auto s = Scripted("FT_SetLatencyTimer", handle)) return *s;
  latency = milliseconds;
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_SetBaudRate(std::int32_t handle, std::uint32_t rate) {
  if (auto s = Scripted("FT_SetBaudRate", handle)) return *s;
  baud = rate;
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_SetBitMode(std::int32_t handle, std::uint8_t mask, std::uint8_t mode) {
  if (auto s = Scripted("FT_SetBitMode", handle)) return *s;
  bitMode = std::make_pair(mask, mode);
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_Close(std::int32_t handle) {
  if (auto s = Scripted("FT_Close", handle)) return *s;
  closedHandles.push_back(handle);
  openHandle_.reset();
  return FT_OK;
}
