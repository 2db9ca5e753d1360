#include "device_link/reply_decoder.h"

#include <cstdint>
#include <optional>

#include "device_link/protocol_numbers.h"

namespace {

// A field at 1-based `start`, as many characters as there are up to `length`.
std::string Field(const std::string& body, std::size_t start, std::size_t length) {
  if (start - 1 >= body.size()) return {};
  return body.substr(start - 1, length);
}

// Converts a numeric field into its slot; a field that does not convert leaves the slot alone.
void SetSlot(std::int16_t& slot, const std::string& body, std::size_t start, std::size_t length) {
  if (const auto value = ParseInt16(Field(body, start, length))) slot = *value;
}

struct FieldPos {
  std::size_t start;
  std::size_t length;
};

// Program-values body: program, current, frequency, pulse code, duration, mode, whole mA,
// remaining uA, charge, pass, hours, fail.
constexpr std::array<FieldPos, 12> kProgramFields = {{{4, 1},
                                                      {6, 1},
                                                      {8, 1},
                                                      {10, 2},
                                                      {13, 4},
                                                      {18, 1},
                                                      {20, 3},
                                                      {24, 3},
                                                      {28, 3},
                                                      {32, 4},
                                                      {37, 4},
                                                      {42, 4}}};

void DecodeSetpoints(const std::string& body, std::array<std::int16_t, 12>& slots,
                     ReplyEvents& events) {
  constexpr std::size_t kSingleSetpointLimit = 10;
  if (body.size() < kSingleSetpointLimit) {
    SetSlot(slots[0], body, 3, 1);
    SetSlot(slots[1], body, 5, 3);
    events.RXCurrentSetpoint(slots[0], slots[1]);
  } else if (body.size() > kSingleSetpointLimit) {
    std::array<std::int16_t, 5> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
      const auto value = ParseInt16(Field(body, 2 + 4 * i, 3));
      if (!value) return;
      values[i] = *value;
    }
    events.RXAllCurrentSetpoints(values[0], values[1], values[2], values[3], values[4]);
  }
}

void DecodeLastData(const std::string& body, std::array<std::int16_t, 12>& slots,
                    ReplyEvents& events) {
  SetSlot(slots[0], body, 2, 1);
  SetSlot(slots[1], body, 3, 4);
  SetSlot(slots[2], body, 8, 4);
  SetSlot(slots[3], body, 13, 4);
  // A DivideBy of 0 yields an IEEE infinity (or NaN), which is passed on as measured.
  const double first = 10.0 * slots[1] / 4;
  const double second = static_cast<double>(slots[3]) / slots[2];
  events.RXLastData(slots[0], slots[1], slots[2], slots[3], first * second);
}

void DecodeProgramValues(const std::string& body, bool isRead, std::array<std::int16_t, 12>& slots,
                         ReplyEvents& events) {
  const ProgramFieldValues fields = ReadProgramFields(body);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i]) slots[i] = *fields[i];
  }
  // The code's slot may hold a larger number left by an earlier frame of the same read; when
  // the 16-bit arithmetic overflows, the step is abandoned and the frame raises no event.
  auto reply = ProgramReplyFrom(slots);
  if (!reply) return;
  if (isRead) reply->commandText = body;
  events.RXProgramValues(*reply);
}

void DecodeMemoryReply(const std::string& body, std::array<std::int16_t, 12>& slots,
                       ReplyEvents& events) {
  const std::string kind = Field(body, 2, 2);
  if (kind == "D0" || kind == "D1") {
    events.RXCalibrationDate(Field(body, 4, 4), Field(body, 9, 2), Field(body, 12, 2));
  } else if (kind == "V1") {
    events.RXFirmwareVersion(Field(body, 4, 5));
  } else if (kind == "S0" || kind == "S1") {
    events.RXSerialNumber(Field(body, 4, 5));
  } else if (kind == "P0" || kind == "P1") {
    DecodeProgramValues(body, kind == "P1", slots, events);
  }
}

}  // namespace

std::optional<std::int16_t> PulseWidthMicroseconds(std::int16_t code) {
  const std::int32_t microseconds = (std::int32_t{code} + 1) * 10;
  if (microseconds < INT16_MIN || microseconds > INT16_MAX) return std::nullopt;
  return static_cast<std::int16_t>(microseconds);
}

ProgramFieldValues ReadProgramFields(const std::string& body) {
  ProgramFieldValues values;
  for (std::size_t i = 0; i < kProgramFields.size(); ++i) {
    values[i] = ParseInt16(Field(body, kProgramFields[i].start, kProgramFields[i].length));
  }
  return values;
}

std::optional<ProgramValuesReply> ProgramReplyFrom(const std::array<std::int16_t, 12>& values) {
  const auto pulseWidth = PulseWidthMicroseconds(values[3]);
  if (!pulseWidth) return std::nullopt;
  ProgramValuesReply reply;
  reply.program = {.number = values[0],
                   .currentIndex = values[1],
                   .frequencyIndex = values[2],
                   .pulseWidthUs = *pulseWidth,
                   .durationSeconds = values[4],
                   .durationHours = values[10],
                   .mode = static_cast<TestMode>(values[5]),
                   .passOhms = values[9],
                   .failOhms = values[11]};
  reply.pulseCode = values[3];
  reply.avgmA = values[6];
  reply.avguA = values[7];
  reply.charge = values[8];
  reply.averageCurrent = values[7] / 1000.0 + values[6];
  return reply;
}

void ReplyDecoder::Decode(std::string_view received, ReplyEvents& events) {
  std::string text = rxRemainder_;
  text.append(received);
  Slots slots{};

  while (!text.empty()) {
    events.RXDataInBuffer(text);
    rxRemainder_.clear();
    const std::size_t open = text.find('(');
    const std::size_t close = text.find(')');
    if (open == std::string::npos || close == std::string::npos) {
      KeepRemainder(std::move(text));
      return;
    }
    if (close < open) {
      // Resynchronise on the next "(": only the stray text before it is dropped.
      text.erase(0, open);
      continue;
    }
    const std::string body = text.substr(open + 1, close - open - 1);
    events.RXData("(" + body + ")");
    DecodeBody(body, slots, events);
    // Exactly the frame is consumed; what follows may be the start of the next reply.
    text.erase(0, close + 1);
  }
}

void ReplyDecoder::DecodeBody(const std::string& body, Slots& slots, ReplyEvents& events) {
  if (body.empty()) return;
  switch (body.front()) {
    case '*':
      events.RXIdle();
      break;
    case '!':
      events.RXRunningTest();
      break;
    case 'I':
      DecodeSetpoints(body, slots, events);
      break;
    case 'G':
      DecodeLastData(body, slots, events);
      break;
    case 'M':
      DecodeMemoryReply(body, slots, events);
      break;
    default:
      break;
  }
}

void ReplyDecoder::KeepRemainder(std::string text) {
  if (text.size() > kMaxRemainder) {
    // Keep a frame that may have started near the end; the rest is line noise.
    const std::size_t lastOpen = text.rfind('(');
    if (lastOpen != std::string::npos && text.size() - lastOpen <= kMaxRemainder) {
      text.erase(0, lastOpen);
    } else {
      text.clear();
    }
  }
  rxRemainder_ = std::move(text);
}
