#include "backends/simulated_tester_model.h"

#include <algorithm>

#include "device_link/protocol_numbers.h"
#include "device_link/reply_decoder.h"

namespace {
// A last-data reply carries the impedance as AvgM with these two factors, so that
// 10 * AvgM / 4 * ScaleFactor / DivideBy is AvgM itself.
constexpr std::int16_t kDivideBy = 10;
constexpr std::int16_t kScaleFactor = 4;
constexpr std::int16_t kMaxSetpoint = 999;

std::string Frame(std::string_view body) { return "(" + std::string(body) + ")"; }

TimedReply Now(std::string_view body) { return {Frame(body), SimTime{0}}; }

bool IsDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsDate(std::string_view text) {
  return text.size() == 10 && IsDigits(text.substr(0, 4)) && text[4] == ',' &&
         IsDigits(text.substr(5, 2)) && text[7] == ',' && IsDigits(text.substr(8, 2));
}

std::optional<int> ProgramNumber(std::string_view text) {
  if (text.size() != 1 || text[0] < '1' || text[0] > '3') return std::nullopt;
  return text[0] - '0';
}
}  // namespace

SimulatedTesterModel::SimulatedTesterModel() {
  for (int n = 1; n <= kProgramCount; ++n) {
    ProgramSettings& p = programs_[static_cast<std::size_t>(n - 1)];
    p.number = static_cast<std::int16_t>(n);
    p.durationSeconds = 30;
  }
}

std::optional<ProgramSettings> SimulatedTesterModel::Program(int number) const {
  if (number < 1 || number > kProgramCount) return std::nullopt;
  return programs_[static_cast<std::size_t>(number - 1)];
}

bool SimulatedTesterModel::SetProgram(const ProgramSettings& program) {
  if (program.number < 1 || program.number > kProgramCount) return false;
  programs_[static_cast<std::size_t>(program.number - 1)] = program;
  return true;
}

std::vector<TimedReply> SimulatedTesterModel::Answer(std::string_view frame, SimTime now) {
  if (frame.size() < 2 || frame.front() != '(' || frame.back() != ')') return {};
  const std::string_view body = frame.substr(1, frame.size() - 2);
  std::optional<TimedReply> reply;

  if (body == "*") {
    reply = Now("*");
  } else if (body == "?") {
    reply = Now(test_ && now < test_->endsAt ? "!" : "*");
  } else if (body == "L") {
    if (test_ && now >= test_->endsAt) reply = Now(LastData(*test_));
  } else if (body.starts_with("MP1")) {
    if (auto n = ProgramNumber(body.substr(3))) reply = ProgramValues(*n);
  } else if (body.starts_with("MP0")) {
    reply = StoreProgram(body);
  } else if (body == "MV1") {
    reply = Now("MV1" + firmwareVersion);
  } else if (body == "MS1") {
    reply = Now("MS1" + serialNumber);
  } else if (body.starts_with("MS0")) {
    if (body.size() == 8 && IsDigits(body.substr(3))) {
      serialNumber = body.substr(3);
      reply = Now("MS1" + serialNumber);
    }
  } else if (body == "MD1") {
    reply = Now("MD1" + calibrationDate);
  } else if (body.starts_with("MD0")) {
    if (IsDate(body.substr(3))) {
      calibrationDate = body.substr(3);
      reply = Now("MD1" + calibrationDate);
    }
  } else if (body == "I?") {
    reply = Now(AllSetpoints());
  } else if (body.starts_with("I")) {
    reply = AdjustSetpoint(body);
  } else if (body.starts_with("G")) {
    return RunTest(body.substr(1), now);
  }
  if (!reply) return {};
  return {*reply};
}

std::optional<TimedReply> SimulatedTesterModel::ProgramValues(int number) const {
  const auto program = Program(number);
  if (!program) return std::nullopt;
  return Now("MP1" + ProgramFields(*program));
}

std::optional<TimedReply> SimulatedTesterModel::StoreProgram(std::string_view body) {
  // The write carries the layout of the program-values reply; every field but the derived
  // averages and charge, which the tester works out itself, must be there whole.
  const std::string text(body);
  if (text.size() < kProgramBodyLength) return std::nullopt;
  const ProgramFieldValues fields = ReadProgramFields(text);
  std::array<std::int16_t, 12> values{};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const bool derived = i >= 6 && i <= 8;  // whole mA, remaining uA, charge
    if (!fields[i] && !derived) return std::nullopt;
    values[i] = fields[i].value_or(0);
  }
  const auto written = ProgramReplyFrom(values);
  if (!written || !SetProgram(written->program)) return std::nullopt;
  return ProgramValues(written->program.number);
}

std::vector<TimedReply> SimulatedTesterModel::RunTest(std::string_view number, SimTime now) {
  const auto n = ProgramNumber(number);
  if (!n) return {};
  if (test_ && now < test_->endsAt) return {Now("!")};
  const SimTime duration = TestDuration(*n);
  test_ = Test{static_cast<std::int16_t>(*n), now + duration};
  return {Now("!"), TimedReply{Frame(LastData(*test_)), duration}};
}

SimTime SimulatedTesterModel::TestDuration(int program) const {
  const ProgramSettings& p = programs_[static_cast<std::size_t>(program - 1)];
  const std::chrono::duration<double> real =
      p.mode == TestMode::Duration
          ? std::chrono::duration<double>(p.durationSeconds + p.durationHours * 3600.0)
          : kSingleMeasurement;
  return std::chrono::duration_cast<SimTime>(real / speed);
}

std::optional<TimedReply> SimulatedTesterModel::AdjustSetpoint(std::string_view request) {
  // "I" + level index + "+" or "-"; the answer is "I1" + index + "," + the new value.
  if (request.size() != 3 || (request[2] != '+' && request[2] != '-')) return std::nullopt;
  const char level = request[1];
  if (level < '1' || level > '0' + kSetpointCount) return std::nullopt;
  std::int16_t& value = setpoints[static_cast<std::size_t>(level - '1')];
  const int step = request[2] == '+' ? 1 : -1;
  value = static_cast<std::int16_t>(std::clamp(value + step, 0, int{kMaxSetpoint}));
  return Now("I1" + std::string(1, level) + "," + ZeroPad(value, 3));
}

std::string SimulatedTesterModel::AllSetpoints() const {
  std::string body = "I";
  for (std::size_t i = 0; i < setpoints.size(); ++i) {
    if (i > 0) body += ',';
    body += ZeroPad(setpoints[i], 3);
  }
  return body;
}

std::string SimulatedTesterModel::LastData(const Test& test) const {
  return "G" + PlainDecimal(test.program) + ZeroPad(impedanceOhms, 4) + "," +
         ZeroPad(kDivideBy, 4) + "," + ZeroPad(kScaleFactor, 4);
}
