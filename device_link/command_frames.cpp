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

std::string ProgramFields(const ProgramWrite& p) {
  const double current = CurrentLevelMilliamps(p.currentLevelIndex);
  const double frequency = FrequencyHertz(p.freqIndex);
  const std::int64_t pulseCode = RoundHalfEven(p.pulseWidthUs / 10.0 - 1);
  const double averageMicroamps = current * frequency * p.pulseWidthUs / 1000.0;
  const std::int64_t wholeMilliamps = RoundHalfEven((averageMicroamps - 499) / 1000.0);
  const std::int64_t remainingMicroamps = RoundHalfEven(averageMicroamps) - wholeMilliamps * 1000;
  const std::int64_t charge = RoundHalfEven(p.pulseWidthUs * current / 100.0);

  std::string fields;
  fields += PlainDecimal(p.programId) + ',';
  fields += PlainDecimal(p.currentLevelIndex) + ',';
  fields += PlainDecimal(p.freqIndex) + ',';
  fields += ZeroPad(pulseCode, 2) + ',';
  fields += ZeroPad(p.duration, 4) + ',';
  fields += PlainDecimal(p.mode) + ',';
  fields += ZeroPad(wholeMilliamps, 3) + ',';
  fields += ZeroPad(remainingMicroamps, 3) + ',';
  fields += ZeroPad(charge, 3) + ',';
  fields += ZeroPad(p.pass, 4) + ',';
  fields += ZeroPad(p.durationHr, 4) + ',';
  fields += ZeroPad(p.fail, 4);
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

std::string SetProgramValues(const ProgramWrite& program) {
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
