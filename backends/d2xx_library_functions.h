#pragma once

#include <cstdint>

// The functions of FTDI's D2XX library that the link needs, with the types of the
// library's published interface: 32-bit DWORD and ULONG, a pointer handle, and the stdcall
// convention on Windows. Declared here so that no header of the library is needed to build.
namespace d2xx_library {

#ifdef _WIN32
#define VELD32_D2XX_API __stdcall
#else
#define VELD32_D2XX_API
#endif

using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using UCHAR = unsigned char;
using FT_HANDLE = void*;
using FT_STATUS = ULONG;

inline constexpr DWORD FT_LIST_NUMBER_ONLY = 0x80000000;
inline constexpr DWORD FT_LIST_BY_INDEX = 0x40000000;
inline constexpr DWORD FT_OPEN_BY_SERIAL_NUMBER = 0x00000001;
inline constexpr DWORD FT_OPEN_BY_DESCRIPTION = 0x00000002;
// The library writes descriptions of up to 64 bytes with their NUL.
inline constexpr int kDescriptionScratch = 64;

extern "C" {
using ListDevicesFn = FT_STATUS(VELD32_D2XX_API*)(void* arg1, void* arg2, DWORD flags);
using OpenFn = FT_STATUS(VELD32_D2XX_API*)(int deviceNumber, FT_HANDLE* handle);
using GetQueueStatusFn = FT_STATUS(VELD32_D2XX_API*)(FT_HANDLE handle, DWORD* rxBytes);
using ReadFn = FT_STATUS(VELD32_D2XX_API*)(FT_HANDLE handle, void* buffer, DWORD bytesToRead,
                                           DWORD* bytesReturned);
using WriteFn = FT_STATUS(VELD32_D2XX_API*)(FT_HANDLE handle, void* buffer, DWORD bytesToWrite,
                                            DWORD* bytesWritten);
using SetLatencyTimerFn = FT_STATUS(VELD32_D2XX_API*)(FT_HANDLE handle, UCHAR latency);
using SetBaudRateFn = FT_STATUS(VELD32_D2XX_API*)(FT_HANDLE handle, ULONG baudRate);
using SetBitModeFn = FT_STATUS(VELD32_D2XX_API*)(FT_HANDLE handle, UCHAR mask, UCHAR mode);
using CloseFn = FT_STATUS(VELD32_D2XX_API*)(FT_HANDLE handle);
}

}  // namespace d2xx_library
