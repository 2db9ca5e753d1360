#pragma once

#include <string>
#include <vector>

#include "backends/d2xx_library_functions.h"

// A stand-in for FTDI's D2XX library, built as a shared library that exports the
// functions the D2XX library backend loads (the emulated FT232R in tests/emulated/ serves the
// libftdi backend alone: FTDI's own library cannot be shipped or run here). The test executable
// links the same library the backend opens by path, so both see the one state below. A handle
// points to the device it opened. Only what is marked is exported (the library is built with hidden
// symbols elsewhere too), so a mark left off fails on Linux as it would under MSVC.
#if defined(_WIN32) && defined(FAKE_FTD2XX_BUILDING)
#define FAKE_FTD2XX_API __declspec(dllexport)
#elif defined(_WIN32)
#define FAKE_FTD2XX_API __declspec(dllimport)
#else
#define FAKE_FTD2XX_API __attribute__((visibility("default")))
#endif
struct FakeFtd2xx {
  struct Device {
    std::string description;
    std::string serialNumber{};
    std::string log{};  // the calls made on it
    bool open = false;
  };

  std::vector<Device> devices;
  int unknownHandles = 0;  // calls that named a handle the library never gave or has closed
};

FAKE_FTD2XX_API FakeFtd2xx& FakeFtd2xxState();
