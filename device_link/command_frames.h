#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device_link/program_settings.h"

// Request frames of the tester's protocol: "(" + body + ")", ASCII, no terminator. Pure text
// builders; the link queues what they return. Builders that check their argument return no
// frame for a value outside the range the tester knows.

// The pulse-width code a width in microseconds travels as: microseconds / 10 - 1, an exact half
// going to the even neighbour.
std::int64_t PulseWidthCode(std::int16_t microseconds);

// The twelve comma-separated fields that follow "MP0" in a program write (and "MP0"/"MP1" in the
// tester's program-values reply), with the derived average current and pulse charge.
std::string ProgramFields(const ProgramSettings& program);

namespace frames {
std::string CommCheck();
std::string GetCalibrationDate();
std::string SetCalibrationDate(std::int16_t year, std::int16_t month, std::int16_t day);
std::string GetFirmwareVersion();
std::string GetSerialNumber();
std::string SetSerialNumber(std::int32_t serialNumber);
std::optional<std::string> GetProgramValues(std::int16_t programId);
std::string SetProgramValuesDirect(std::string_view fields);
std::string SetProgramValues(const ProgramSettings& program);
std::optional<std::string> RunTest(std::int16_t testId);
std::string Query();
std::string RequestData();
std::string CurrentCalAdjust(std::int16_t currentIndex, bool increase);
std::string GetCalValues();
}  // namespace frames
