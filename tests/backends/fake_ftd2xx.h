#pragma once

#include <memory>

#include "device_link/d2xx.h"

// A stand-in for FTDI's D2XX library, built as a shared library that exports the functions the
// D2XX library backend loads (the emulated FT232R in tests/emulated/ serves the libftdi backend
// alone: FTDI's own library cannot be shipped or run here). It hands every call to the driver a
// test puts in FakeFtd2xxDriver(), the driver's handle as the library's; without one no device is
// attached. Like the library it writes a description of up to 64 bytes whole: a driver's
// description cut at 50 bytes arrives longer. The test executable links the same library the
// backend opens by path, so both see the one driver. Only what is marked is exported (the
// library is built with hidden symbols elsewhere too), so a mark left off fails on Linux as it
// would under MSVC.
#if defined(_WIN32) && defined(FAKE_FTD2XX_BUILDING)
#define FAKE_FTD2XX_API __declspec(dllexport)
#elif defined(_WIN32)
#define FAKE_FTD2XX_API __declspec(dllimport)
#else
#define FAKE_FTD2XX_API __attribute__((visibility("default")))
#endif

FAKE_FTD2XX_API std::shared_ptr<D2xx>& FakeFtd2xxDriver();
