#include "device_link/command_frames.h"

#include "device_link/protocol_numbers.h"

namespace {
std::string Frame(std::string_view body) {
  std::string frame;
  frame.reserve(body.size() + 2);
  frame += '(';
  frame += body;
  frame += ')';
  return frame;
}

bool IsProgramNumber(std::int16_t id) { return id >= 1 && id <= 3; }
}  // namespace

std::int64_t PulseWidthCode(std::int16_t microseconds) {
  return RoundHalfEven(microseconds / 10.0 - 1);
}

std::string ProgramFields(const ProgramSettings& p) {
  const double current = CurrentLevelMilliamps(p.currentIndex);
  const double frequency = FrequencyHertz(p.frequencyIndex);
  const double averageMicroamps = current * frequency * p.pulseWidthUs / 1000.0;
  const std::int64_t wholeMilliamps = RoundHalfEven((averageMicroamps - 499) / 1000.0);
  const std::int64_t remainingMicroamps = RoundHalfEven(averageMicroamps) - wholeMilliamps * 1000;
  const std::int64_t charge = RoundHalfEven(p.pulseWidthUs * current / 100.0);

  std::string fields;
  fields += PlainDecimal(p.number) + ',';
  fields += PlainDecimal(p.currentIndex) + ',';
  fields += PlainDecimal(p.frequencyIndex) + ',';
  fields += ZeroPad(PulseWidthCode(p.pulseWidthUs), 2) + ',';
  fields += ZeroPad(p.durationSeconds, 4) + ',';
  fields += PlainDecimal(static_cast<std::int16_t>(p.mode)) + ',';
  fields += ZeroPad(wholeMilliamps, 3) + ',';
  fields += ZeroPad(remainingMicroamps, 3) + ',';
  fields += ZeroPad(charge, 3) + ',';
  fields += ZeroPad(p.passOhms, 4) + ',';
  fields += ZeroPad(p.durationHours, 4) + ',';
  fields += ZeroPad(p.failOhms, 4);
  return fields;
}

namespace frames {
std::string CommCheck() { return Frame("*"); }
std::string GetCalibrationDate() { return Frame("MD1"); }

std::string SetCalibrationDate(std::int16_t year, std::int16_t month, std::int16_t day) {
  return Frame("MD0" + ZeroPad(year, 4) + ',' + ZeroPad(month, 2) + ',' + ZeroPad(day, 2));
}

std::string GetFirmwareVersion() { return Frame("MV1"); }
std::string GetSerialNumber() { return Frame("MS1"); }

std::string SetSerialNumber(std::int32_t serialNumber) {
  std::string field = PlainDecimal(serialNumber).substr(0, 5);
  field.insert(0, 5 - field.size(), '0');
  return Frame("MS0" + field);
}

std::optional<std::string> GetProgramValues(std::int16_t programId) {
  if (!IsProgramNumber(programId)) return std::nullopt;
  return Frame("MP1" + PlainDecimal(programId));
}

std::string SetProgramValuesDirect(std::string_view fields) {
  return Frame("MP0" + std::string(fields));
}

std::string SetProgramValues(const ProgramSettings& program) {
  return Frame("MP0" + ProgramFields(program));
}

std::optional<std::string> RunTest(std::int16_t testId) {
  if (!IsProgramNumber(testId)) return std::nullopt;
  return Frame("G" + PlainDecimal(testId));
}

std::string Query() { return Frame("?"); }
std::string RequestData() { return Frame("L"); }

std::string CurrentCalAdjust(std::int16_t currentIndex, bool increase) {
  return Frame("I" + PlainDecimal(currentIndex) + (increase ? "+" : "-"));
}

std::string GetCalValues() { return Frame("I?"); }
}  // namespace frames
