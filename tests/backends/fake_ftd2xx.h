#pragma once

#include <string>
#include <vector>

#include "d2xx_library_functions.h"

// A stand-in for FTDI's D2XX library, built as a shared library that exports the
// functions the D2XX backend loads. The test executable links the same library the backend
// opens by path, so both see the one state below. A handle points to the device it opened.
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

FakeFtd2xx& FakeFtd2xxState();
