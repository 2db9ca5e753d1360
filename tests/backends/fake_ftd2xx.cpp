#include "fake_ftd2xx.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace lib = d2xx_library;

namespace {
// D2XX's status codes, as the library returns them.
constexpr lib::FT_STATUS kOk = 0;
constexpr lib::FT_STATUS kInvalidHandle = 1;
constexpr lib::FT_STATUS kDeviceNotFound = 2;
constexpr lib::FT_STATUS kInvalidParameter = 6;

struct Handle {
  std::size_t device;
};

// The library's handles are pointers to these.
std::map<lib::FT_HANDLE, std::unique_ptr<Handle>>& Handles() {
  static std::map<lib::FT_HANDLE, std::unique_ptr<Handle>> handles;
  return handles;
}

bool Failing(lib::FT_STATUS& status) {
  status = FakeFtd2xxState().failNext;
  FakeFtd2xxState().failNext = 0;
  return status != kOk;
}

FakeFtd2xx::Device* DeviceOf(lib::FT_HANDLE handle) {
  auto it = Handles().find(handle);
  if (it == Handles().end()) {
    FakeFtd2xxState().sawUnknownHandle = true;
    return nullptr;
  }
  return &FakeFtd2xxState().devices.at(it->second->device);
}
}  // namespace

FakeFtd2xx& FakeFtd2xxState() {
  static FakeFtd2xx state;
  return state;
}

extern "C" {
lib::FT_STATUS VELD32_D2XX_API FT_ListDevices(void* arg1, void* arg2, lib::DWORD flags) {
  FakeFtd2xx& fake = FakeFtd2xxState();
  fake.listFlags.push_back(flags);
  if (lib::FT_STATUS s; Failing(s)) return s;
  if (flags == lib::FT_LIST_NUMBER_ONLY) {
    *static_cast<lib::DWORD*>(arg1) = static_cast<lib::DWORD>(fake.devices.size());
    return kOk;
  }
  if (flags == (lib::FT_LIST_BY_INDEX | lib::FT_OPEN_BY_DESCRIPTION)) {
    const auto index = static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(arg1));
    if (index >= fake.devices.size()) return kDeviceNotFound;
    const std::string& description = fake.devices[index].description;
    const std::size_t n = std::min<std::size_t>(description.size(), lib::kDescriptionScratch - 1);
    std::memcpy(arg2, description.data(), n);
    static_cast<char*>(arg2)[n] = '\0';
    return kOk;
  }
  return kInvalidParameter;
}

lib::FT_STATUS VELD32_D2XX_API FT_Open(int deviceNumber, lib::FT_HANDLE* handle) {
  if (lib::FT_STATUS s; Failing(s)) return s;
  if (deviceNumber < 0 ||
      static_cast<std::size_t>(deviceNumber) >= FakeFtd2xxState().devices.size()) {
    return kDeviceNotFound;
  }
  auto h = std::make_unique<Handle>(static_cast<std::size_t>(deviceNumber));
  *handle = h.get();
  Handles()[h.get()] = std::move(h);
  ++FakeFtd2xxState().openHandles;
  return kOk;
}

lib::FT_STATUS VELD32_D2XX_API FT_GetQueueStatus(lib::FT_HANDLE handle, lib::DWORD* rxBytes) {
  if (lib::FT_STATUS s; Failing(s)) return s;
  FakeFtd2xx::Device* device = DeviceOf(handle);
  if (device == nullptr) return kInvalidHandle;
  *rxBytes = static_cast<lib::DWORD>(device->rx.size());
  return kOk;
}

lib::FT_STATUS VELD32_D2XX_API FT_Read(lib::FT_HANDLE handle, void* buffer, lib::DWORD bytesToRead,
                                       lib::DWORD* bytesReturned) {
  if (lib::FT_STATUS s; Failing(s)) return s;
  FakeFtd2xx::Device* device = DeviceOf(handle);
  if (device == nullptr) return kInvalidHandle;
  const std::size_t n = std::min<std::size_t>(bytesToRead, device->rx.size());
  std::memcpy(buffer, device->rx.data(), n);
  device->rx.erase(0, n);
  *bytesReturned = static_cast<lib::DWORD>(n);
  return kOk;
}

lib::FT_STATUS VELD32_D2XX_API FT_Write(lib::FT_HANDLE handle, void* buffer,
                                        lib::DWORD bytesToWrite, lib::DWORD* bytesWritten) {
  if (lib::FT_STATUS s; Failing(s)) return s;
  FakeFtd2xx::Device* device = DeviceOf(handle);
  if (device == nullptr) return kInvalidHandle;
  device->written.append(static_cast<const char*>(buffer), bytesToWrite);
  *bytesWritten = bytesToWrite;
  return kOk;
}

lib::FT_STATUS VELD32_D2XX_API FT_SetLatencyTimer(lib::FT_HANDLE handle, lib::UCHAR latency) {
  if (lib::FT_STATUS s; Failing(s)) return s;
  FakeFtd2xx::Device* device = DeviceOf(handle);
  if (device == nullptr) return kInvalidHandle;
  device->latency = latency;
  return kOk;
}

lib::FT_STATUS VELD32_D2XX_API FT_SetBaudRate(lib::FT_HANDLE handle, lib::ULONG baudRate) {
  if (lib::FT_STATUS s; Failing(s)) return s;
  FakeFtd2xx::Device* device = DeviceOf(handle);
  if (device == nullptr) return kInvalidHandle;
  device->baud = baudRate;
  return kOk;
}

#ifndef FAKE_FTD2XX_WITHOUT_SET_BIT_MODE
lib::FT_STATUS VELD32_D2XX_API FT_SetBitMode(lib::FT_HANDLE handle, lib::UCHAR mask,
                                             lib::UCHAR mode) {
  if (lib::FT_STATUS s; Failing(s)) return s;
  FakeFtd2xx::Device* device = DeviceOf(handle);
  if (device == nullptr) return kInvalidHandle;
  device->bitMode = {mask, mode};
  return kOk;
}
#endif

lib::FT_STATUS VELD32_D2XX_API FT_Close(lib::FT_HANDLE handle) {
  if (lib::FT_STATUS s; Failing(s)) return s;
  if (DeviceOf(handle) == nullptr) return kInvalidHandle;
  Handles().erase(handle);
  --FakeFtd2xxState().openHandles;
  return kOk;
}
}
