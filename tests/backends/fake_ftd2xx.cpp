#include "tests/backends/fake_ftd2xx.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

using namespace d2xx_library;
using Device = FakeFtd2xx::Device;

namespace {
// D2XX's status codes, as the library returns them.
constexpr FT_STATUS kOk = 0;
constexpr FT_STATUS kInvalidHandle = 1;
constexpr FT_STATUS kDeviceNotFound = 2;
constexpr FT_STATUS kInvalidParameter = 6;

// Appends the call with its arguments to the log of the open device `handle` points to.
template <typename... Arguments>
FT_STATUS Log(FT_HANDLE handle, std::string call, Arguments... arguments) {
  for (Device& device : FakeFtd2xxState().devices) {
    if (&device != handle || !device.open) continue;
    ((call += " " + std::to_string(arguments)), ...);
    device.log += call + ";";
    return kOk;
  }
  ++FakeFtd2xxState().unknownHandles;
  return kInvalidHandle;
}
}  // namespace

FakeFtd2xx& FakeFtd2xxState() {
  static FakeFtd2xx state;
  return state;
}

extern "C" {
FAKE_FTD2XX_API FT_STATUS VELD32_D2XX_API FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
  const std::vector<Device>& devices = FakeFtd2xxState().devices;
  if (flags == FT_LIST_NUMBER_ONLY) {
    *static_cast<DWORD*>(arg1) = static_cast<DWORD>(devices.size());
    return kOk;
  }
  const auto index = static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(arg1));
  if (index >= devices.size()) return kDeviceNotFound;
  const Device& device = devices[index];
  if (flags == (FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION)) {
    std::snprintf(static_cast<char*>(arg2), kDescriptionScratch, "%s", device.description.c_str());
    return kOk;
  }
  if (flags == (FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER)) {
    std::snprintf(static_cast<char*>(arg2), 16, "%s", device.serialNumber.c_str());
    return kOk;
  }
  return kInvalidParameter;
}

FAKE_FTD2XX_API FT_STATUS VELD32_D2XX_API FT_Open(int deviceNumber, FT_HANDLE* handle) {
  std::vector<Device>& devices = FakeFtd2xxState().devices;
  if (deviceNumber < 0 || deviceNumber >= static_cast<int>(devices.size())) return kDeviceNotFound;
  Device& device = devices[static_cast<std::size_t>(deviceNumber)];
  device.open = true;
  *handle = &device;
  return kOk;
}

FAKE_FTD2XX_API FT_STATUS VELD32_D2XX_API FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
  *rxBytes = 7;
  return Log(handle, "queue");
}

// Fills all it was asked for, as when that much has arrived.
FAKE_FTD2XX_API FT_STATUS VELD32_D2XX_API FT_Read(FT_HANDLE handle, void* buffer, DWORD wanted,
                                                  DWORD* got) {
  std::memset(buffer, 'r', wanted);
  *got = wanted;
  return Log(handle, "read", wanted);
}

FAKE_FTD2XX_API FT_STATUS VELD32_D2XX_API FT_Write(FT_HANDLE handle, void* buffer, DWORD count,
                                                   DWORD* written) {
  *written = count;
  return Log(handle, "write " + std::string(static_cast<const char*>(buffer), count));
}

FAKE_FTD2XX_API FT_STATUS VELD32_D2XX_API FT_SetLatencyTimer(FT_HANDLE handle, UCHAR ms) {
  return Log(handle, "latency", ms);
}

FAKE_FTD2XX_API FT_STATUS VELD32_D2XX_API FT_SetBaudRate(FT_HANDLE handle, ULONG baud) {
  return Log(handle, "baud", baud);
}

#ifndef FAKE_FTD2XX_WITHOUT_SET_BIT_MODE
FAKE_FTD2XX_API FT_STATUS VELD32_D2XX_API FT_SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) {
  return Log(handle, "bitmode", mask, mode);
}
#endif

FAKE_FTD2XX_API FT_STATUS VELD32_D2XX_API FT_Close(FT_HANDLE handle) {
  const FT_STATUS status = Log(handle, "close");
  if (status == kOk) static_cast<Device*>(handle)->open = false;
  return status;
}
}
