#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device_link/program_settings.h"

// Turns the tester's reply bytes into events. Bytes arrive in arbitrary pieces; every complete
// "(" + body + ")" frame raises RXData and then the event of its kind, in arrival order, and an
// unfinished tail is kept for the next call. Replies are recognised by their own letters, never
// paired with requests. Malformed fields never stop decoding: a number that does not convert
// keeps the value an earlier frame of the same call left in its slot (0 otherwise).

// A program-values reply: the program it reports, with what the tester sends beside it as
// received (the pulse-width code the width comes from, the average current as whole mA and
// remaining uA, the pulse charge) and, for an "MP1" body, the body itself.
struct ProgramValuesReply {
  ProgramSettings program;
  std::int16_t pulseCode = 0;
  std::int16_t avgmA = 0;
  std::int16_t avguA = 0;
  std::int16_t charge = 0;
  double averageCurrent = 0;  // milliamperes: avgmA + avguA / 1000
  std::string commandText;    // the whole body of an "MP1" reply, empty for "MP0"
};

// Microseconds of a received pulse-width code, (code + 1) * 10; none where that leaves 16 bits.
std::optional<std::int16_t> PulseWidthMicroseconds(std::int16_t code);

// The twelve numeric fields of a program body ("MP0"/"MP1" and the fields; a program write has
// the layout of the reply), in slot order: program, current, frequency, pulse code, seconds,
// mode, whole mA, remaining uA, charge, pass, hours, fail. A field that does not convert is
// empty; a field cut short by the end of the body is read as far as it goes.
using ProgramFieldValues = std::array<std::optional<std::int16_t>, 12>;
ProgramFieldValues ReadProgramFields(const std::string& body);
// A body as long as its fields at their usual widths.
inline constexpr std::size_t kProgramBodyLength = 45;

// The reply those twelve values make; none when the pulse width does not fit 16 bits.
std::optional<ProgramValuesReply> ProgramReplyFrom(const std::array<std::int16_t, 12>& values);

// Every event does nothing unless a listener overrides it.
class ReplyEvents {
 public:
  virtual ~ReplyEvents() = default;
  virtual void RXData(const std::string& /*frame*/) {}
  virtual void RXDataInBuffer(const std::string& /*text*/) {}
  virtual void RXIdle() {}
  virtual void RXRunningTest() {}
  virtual void RXCurrentSetpoint(std::int16_t /*index*/, std::int16_t /*value*/) {}
  virtual void RXAllCurrentSetpoints(std::int16_t /*value5*/, std::int16_t /*value10*/,
                                     std::int16_t /*value20*/, std::int16_t /*value50*/,
                                     std::int16_t /*value100*/) {}
  virtual void RXLastData(std::int16_t /*programId*/, std::int16_t /*avgM*/,
                          std::int16_t /*divideBy*/, std::int16_t /*scaleFactor*/,
                          double /*impedance*/) {}
  virtual void RXCalibrationDate(const std::string& /*year*/, const std::string& /*month*/,
                                 const std::string& /*day*/) {}
  virtual void RXFirmwareVersion(const std::string& /*version*/) {}
  virtual void RXSerialNumber(const std::string& /*serialNumber*/) {}
  virtual void RXProgramValues(const ProgramValuesReply& /*reply*/) {}
};

class ReplyDecoder {
 public:
  // Unfinished text longer than this cannot be a reply of the tester and is dropped.
  static constexpr std::size_t kMaxRemainder = 1024;

  // Decodes `received` behind the text kept from earlier calls; listeners run synchronously.
  void Decode(std::string_view received, ReplyEvents& events);

  const std::string& remainder() const { return rxRemainder_; }
  void Clear() { rxRemainder_.clear(); }

 private:
  using Slots = std::array<std::int16_t, 12>;
  static void DecodeBody(const std::string& body, Slots& slots, ReplyEvents& events);
  void KeepRemainder(std::string text);

  std::string rxRemainder_;
};
