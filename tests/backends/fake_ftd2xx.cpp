#include "fake_ftd2xx.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace lib = d2xx_library;
using Device = FakeFtd2xx::Device;

namespace {
// D2XX's status codes, as the library returns them.
constexpr lib::FT_STATUS kOk = 0;
constexpr lib::FT_STATUS kInvalidHandle = 1;
constexpr lib::FT_STATUS kDeviceNotFound = 2;
constexpr lib::FT_STATUS kInvalidParameter = 6;

Device* Of(lib::FT_HANDLE handle) {
  for (Device& device : FakeFtd2xxState().devices) {
    if (&device == handle && device.open) return &device;
  }
  ++FakeFtd2xxState().unknownHandles;
  return nullptr;
}

lib::FT_STATUS Log(lib::FT_HANDLE handle, const std::string& entry) {
  Device* device = Of(handle);
  if (device == nullptr) return kInvalidHandle;
  device->log += entry + ";";
  return kOk;
}
}  // namespace

FakeFtd2xx& FakeFtd2xxState() {
  static FakeFtd2xx state;
  return state;
}

extern "C" {
lib::FT_STATUS VELD32_D2XX_API FT_ListDevices(void* arg1, void* arg2, lib::DWORD flags) {
  const std::vector<Device>& devices = FakeFtd2xxState().devices;
  if (flags == lib::FT_LIST_NUMBER_ONLY) {
    *static_cast<lib::DWORD*>(arg1) = static_cast<lib::DWORD>(devices.size());
    return kOk;
  }
  if (flags != (lib::FT_LIST_BY_INDEX | lib::FT_OPEN_BY_DESCRIPTION)) return kInvalidParameter;
  const auto index = static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(arg1));
  if (index >= devices.size()) return kDeviceNotFound;
  std::snprintf(static_cast<char*>(arg2), lib::kDescriptionScratch, "%s",
                devices[index].description.c_str());
  return kOk;
}

lib::FT_STATUS VELD32_D2XX_API FT_Open(int deviceNumber, lib::FT_HANDLE* handle) {
  std::vector<Device>& devices = FakeFtd2xxState().devices;
  if (deviceNumber < 0 || deviceNumber >= static_cast<int>(devices.size())) return kDeviceNotFound;
  Device& device = devices[static_cast<std::size_t>(deviceNumber)];
  device.open = true;
  *handle = &device;
  return kOk;
}

lib::FT_STATUS VELD32_D2XX_API FT_GetQueueStatus(lib::FT_HANDLE handle, lib::DWORD* rxBytes) {
  *rxBytes = 7;
  return Log(handle, "queue");
}

// Fills all it was asked for, as when that much has arrived.
lib::FT_STATUS VELD32_D2XX_API FT_Read(lib::FT_HANDLE handle, void* buffer, lib::DWORD bytesToRead,
                                       lib::DWORD* bytesReturned) {
  std::memset(buffer, 'r', bytesToRead);
  *bytesReturned = bytesToRead;
  return Log(handle, "read " + std::to_string(bytesToRead));
}

lib::FT_STATUS VELD32_D2XX_API FT_Write(lib::FT_HANDLE handle, void* buffer,
                                        lib::DWORD bytesToWrite, lib::DWORD* bytesWritten) {
  *bytesWritten = bytesToWrite;
  return Log(handle, "write " + std::string(static_cast<const char*>(buffer), bytesToWrite));
}

lib::FT_STATUS VELD32_D2XX_API FT_SetLatencyTimer(lib::FT_HANDLE handle, lib::UCHAR latency) {
  return Log(handle, "latency " + std::to_string(latency));
}

lib::FT_STATUS VELD32_D2XX_API FT_SetBaudRate(lib::FT_HANDLE handle, lib::ULONG baudRate) {
  return Log(handle, "baud " + std::to_string(baudRate));
}

#ifndef FAKE_FTD2XX_WITHOUT_SET_BIT_MODE
lib::FT_STATUS VELD32_D2XX_API FT_SetBitMode(lib::FT_HANDLE handle, lib::UCHAR mask,
                                             lib::UCHAR mode) {
  return Log(handle, "bitmode " + std::to_string(mask) + " " + std::to_string(mode));
}
#endif

lib::FT_STATUS VELD32_D2XX_API FT_Close(lib::FT_HANDLE handle) {
  Device* device = Of(handle);
  if (device == nullptr) return kInvalidHandle;
  device->open = false;
  return kOk;
}
}
