#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "d2xx_library_functions.h"

// A stand-in for FTDI's D2XX library, built as a shared library that exports the nine
// functions the D2XX backend loads. Tests script it through the state below; the test
// executable links the same library the backend opens by path, so both see one state.
struct FakeFtd2xx {
  struct Device {
    std::string description;
    std::string rx{};  // bytes waiting to be read
    std::string written{};
    std::uint32_t baud = 0;
    unsigned char latency = 0;
    std::pair<unsigned char, unsigned char> bitMode{0xff, 0xff};
  };

  std::vector<Device> devices;
  // Returned (once) by the next call of any function instead of doing it.
  d2xx_library::FT_STATUS failNext = 0;
  std::vector<d2xx_library::DWORD> listFlags;  // flags of every FT_ListDevices call
  int openHandles = 0;
  bool sawUnknownHandle = false;
};

FakeFtd2xx& FakeFtd2xxState();
