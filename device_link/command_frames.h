#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Request frames of the tester's protocol: "(" + body + ")", ASCII, no terminator. Pure text
// builders; the link queues what they return. Builders that check their argument return no
// frame for a value outside the range the tester knows.

struct ProgramWrite {
  std::int16_t programId = 1;
  std::int16_t currentLevelIndex = 1;  // 1..5
  std::int16_t freqIndex = 1;          // 1..8
  std::int16_t pulseWidthUs = 200;
  std::int16_t duration = 0;    // seconds part
  std::int16_t durationHr = 0;  // hours part
  std::int16_t mode = 2;        // 1 duration, 2 single measure
  std::int16_t pass = 150;
  std::int16_t fail = 1000;
  bool operator==(const ProgramWrite&) const = default;
};

// The twelve comma-separated fields that follow "MP0" in a program write (and "MP0"/"MP1" in the
// tester's program-values reply), with the derived average current and pulse charge.
std::string ProgramFields(const ProgramWrite& program);

namespace frames {
std::string CommCheck();
std::string GetCalibrationDate();
std::string SetCalibrationDate(std::int16_t year, std::int16_t month, std::int16_t day);
std::string GetFirmwareVersion();
std::string GetSerialNumber();
std::string SetSerialNumber(std::int32_t serialNumber);
std::optional<std::string> GetProgramValues(std::int16_t programId);
std::string SetProgramValuesDirect(std::string_view fields);
std::string SetProgramValues(const ProgramWrite& program);
std::optional<std::string> RunTest(std::int16_t testId);
std::string Query();
std::string RequestData();
std::string CurrentCalAdjust(std::int16_t currentIndex, bool increase);
std::string GetCalValues();
}  // namespace frames
