#include "tests/backends/fake_ftd2xx.h"

#include <cstdint>
#include <cstring>

#include "backends/d2xx_library_functions.h"

using d2xx_library::DWORD;
using d2xx_library::FT_HANDLE;
using d2xx_library::UCHAR;
// What each function returns: the library's status, as the calling convention wants it.
#define EXPORTED FAKE_FTD2XX_API d2xx_library::FT_STATUS VELD32_D2XX_API

namespace {
D2xx& Driver() { return *FakeFtd2xxDriver(); }
std::int32_t Handle(FT_HANDLE handle) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(handle));
}
// The driver's `status` as the library's, with the number `n` it left in `out`; on a failure
// `out` is left as it was, as a library may leave it, so the backend's own count must stand.
d2xx_library::FT_STATUS Giving(FT_STATUS status, const std::int32_t& n = 0, DWORD* out = nullptr) {
  if (out != nullptr && status == FT_OK) *out = static_cast<DWORD>(n);
  return static_cast<d2xx_library::FT_STATUS>(status);
}
}  // namespace

std::shared_ptr<D2xx>& FakeFtd2xxDriver() {
  static std::shared_ptr<D2xx> driver;
  return driver;
}

extern "C" {
EXPORTED FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
  namespace lib = d2xx_library;
  const auto index = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(arg1));
  char* text = static_cast<char*>(arg2);
  std::int32_t n = 0;
  if (flags == lib::FT_LIST_NUMBER_ONLY) {
    const FT_STATUS status = FakeFtd2xxDriver() ? Driver().FT_ListDevicesCount(n) : FT_OK;
    return Giving(status, n, static_cast<DWORD*>(arg1));
  }
  if (flags == (lib::FT_LIST_BY_INDEX | lib::FT_OPEN_BY_SERIAL_NUMBER)) {
    return Giving(Driver().FT_ListDevicesSerialNumber(index, text));
  }
  const FT_STATUS status = Driver().FT_ListDevicesDescription(index, text);
  if (status == FT_OK && std::memchr(text, '\0', kDescriptionBufferSize) == nullptr) {
    std::memset(text + kDescriptionBufferSize, '+',
                lib::kDescriptionScratch - 1 - kDescriptionBufferSize);
    text[lib::kDescriptionScratch - 1] = '\0';
  }
  return Giving(status);
}

EXPORTED FT_Open(int index, FT_HANDLE* handle) {
  std::int32_t opened = 0;
  const FT_STATUS status = Driver().FT_Open(index, opened);
  *handle = reinterpret_cast<FT_HANDLE>(static_cast<std::intptr_t>(opened));
  return Giving(status);
}

EXPORTED FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
  std::int32_t n = 0;
  return Giving(Driver().FT_GetQueueStatus(Handle(handle), n), n, rxBytes);
}

EXPORTED FT_Read(FT_HANDLE handle, void* buffer, DWORD wanted, DWORD* got) {
  std::int32_t n = 0;
  const auto want = static_cast<std::int32_t>(wanted);
  return Giving(Driver().FT_Read(Handle(handle), static_cast<char*>(buffer), want, n), n, got);
}

EXPORTED FT_Write(FT_HANDLE handle, void* buffer, DWORD count, DWORD* written) {
  std::int32_t n = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  const auto size = static_cast<std::int32_t>(count);
  return Giving(Driver().FT_Write(Handle(handle), bytes, size, n), n, written);
}

EXPORTED FT_SetLatencyTimer(FT_HANDLE handle, UCHAR ms) {
  return Giving(Driver().FT_SetLatencyTimer(Handle(handle), ms));
}

EXPORTED FT_SetBaudRate(FT_HANDLE handle, d2xx_library::ULONG baud) {
  return Giving(Driver().FT_SetBaudRate(Handle(handle), baud));
}

#ifndef FAKE_FTD2XX_WITHOUT_SET_BIT_MODE
EXPORTED FT_SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) {
  return Giving(Driver().FT_SetBitMode(Handle(handle), mask, mode));
}
#endif

EXPORTED FT_Close(FT_HANDLE handle) { return Giving(Driver().FT_Close(Handle(handle))); }
}
