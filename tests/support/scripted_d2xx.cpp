#include "tests/support/scripted_d2xx.h"

#include <algorithm>
#include <cstring>

void ScriptedD2xx::FailNext(const std::string& function, FT_STATUS status) {
  failures_[function].push_back(status);
}

std::string ScriptedD2xx::AllWritten() const {
  std::string all;
  for (const auto& w : writes) all += w;
  return all;
}

std::optional<FT_STATUS> ScriptedD2xx::Scripted(const std::string& function) {
  calls.push_back(function);
  auto it = failures_.find(function);
  if (it == failures_.end() || it->second.empty()) return std::nullopt;
  const FT_STATUS status = it->second.front();
  it->second.pop_front();
  return status;
}

FT_STATUS ScriptedD2xx::CheckHandle(std::int32_t handle) const {
  return openHandle_ && *openHandle_ == handle ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS ScriptedD2xx::FT_ListDevicesCount(std::int32_t& count) {
  if (auto s = Scripted("FT_ListDevicesCount")) return *s;
  count = static_cast<std::int32_t>(descriptions.size());
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_ListDevicesDescription(std::int32_t index, char* buffer50) {
  if (auto s = Scripted("FT_ListDevicesDescription")) return *s;
  if (index < 0 || index >= static_cast<std::int32_t>(descriptions.size())) {
    return FT_DEVICE_NOT_FOUND;
  }
  const std::string& d = descriptions[static_cast<std::size_t>(index)];
  const std::size_t n = std::min<std::size_t>(d.size(), kDescriptionBufferSize);
  std::memcpy(buffer50, d.data(), n);
  if (n < kDescriptionBufferSize) buffer50[n] = '\0';
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) {
  if (serialNumbers.empty()) return D2xx::FT_ListDevicesSerialNumber(index, buffer16);
  if (auto s = Scripted("FT_ListDevicesSerialNumber")) return *s;
  if (index < 0 || index >= static_cast<std::int32_t>(serialNumbers.size())) {
    return FT_DEVICE_NOT_FOUND;
  }
  const std::string& serial = serialNumbers[static_cast<std::size_t>(index)];
  std::memcpy(buffer16, serial.c_str(), std::min<std::size_t>(serial.size() + 1, 16));
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_Open(std::int32_t index, std::int32_t& handle) {
  if (auto s = Scripted("FT_Open")) return *s;
  if (index < 0 || index >= static_cast<std::int32_t>(descriptions.size())) {
    return FT_DEVICE_NOT_FOUND;
  }
  // Like the real driver: a device still held by an earlier open cannot be opened again.
  if (openHandle_) return FT_DEVICE_NOT_OPENED;
  handle = nextHandle;
  openHandle_ = handle;
  openedIndex = index;
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) {
  if (auto s = Scripted("FT_GetQueueStatus")) return *s;
  if (FT_STATUS s = CheckHandle(handle)) return s;
  rxBytes = static_cast<std::int32_t>(rx.size());
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                                std::int32_t& read) {
  lastReadWanted = wanted;
  if (auto s = Scripted("FT_Read")) return *s;
  if (FT_STATUS s = CheckHandle(handle)) return s;
  const std::size_t n = std::min<std::size_t>(rx.size(), static_cast<std::size_t>(wanted));
  std::memcpy(buffer, rx.data(), n);
  rx.erase(0, n);
  read = static_cast<std::int32_t>(n);
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                                 std::int32_t& written) {
  if (auto s = Scripted("FT_Write")) return *s;
  if (FT_STATUS s = CheckHandle(handle)) return s;
  std::int32_t n = count;
  if (!partialWrites_.empty()) {
    n = std::min(count, partialWrites_.front());
    partialWrites_.pop_front();
  }
  const std::string bytes(buffer, static_cast<std::size_t>(n));
  writes.push_back(bytes);
  written = n;
  if (auto it = replies.find(bytes); it != replies.end()) rx += it->second;
  if (onWrite) onWrite(bytes);
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) {
  if (auto s = Scripted("FT_SetLatencyTimer")) return *s;
  if (FT_STATUS s = CheckHandle(handle)) return s;
  latency = milliseconds;
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_SetBaudRate(std::int32_t handle, std::uint32_t rate) {
  if (auto s = Scripted("FT_SetBaudRate")) return *s;
  if (FT_STATUS s = CheckHandle(handle)) return s;
  baud = rate;
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_SetBitMode(std::int32_t handle, std::uint8_t mask, std::uint8_t mode) {
  if (auto s = Scripted("FT_SetBitMode")) return *s;
  if (FT_STATUS s = CheckHandle(handle)) return s;
  bitMode = std::make_pair(mask, mode);
  return FT_OK;
}

FT_STATUS ScriptedD2xx::FT_Close(std::int32_t handle) {
  if (auto s = Scripted("FT_Close")) return *s;
  if (FT_STATUS s = CheckHandle(handle)) return s;
  closedHandles.push_back(handle);
  openHandle_.reset();
  return FT_OK;
}
