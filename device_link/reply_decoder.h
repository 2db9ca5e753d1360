#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Turns the tester's reply bytes into events. Bytes arrive in arbitrary pieces; every complete
// "(" + body + ")" frame raises RXData and then the event of its kind, in arrival order, and an
// unfinished tail is kept for the next call. Replies are recognised by their own letters, never
// paired with requests. Malformed fields never stop decoding: a number that does not convert
// keeps the value an earlier frame of the same call left in its slot (0 otherwise).

struct ProgramValuesReply {
  std::int16_t programIndex = 0;
  std::int16_t currentIndex = 0;
  std::int16_t frequencyIndex = 0;
  std::int16_t pw = 0;  // pulse-width code, not microseconds
  std::int16_t duration = 0;
  std::int16_t durationHr = 0;
  std::int16_t mode = 0;
  std::int16_t avgmA = 0;
  std::int16_t avguA = 0;
  std::int16_t charge = 0;
  std::int16_t passValue = 0;
  std::int16_t failValue = 0;
  double averageCurrent = 0;  // milliamperes
  std::int16_t pwValue = 0;   // microseconds
  std::string commandText;    // the whole body of an "MP1" reply, empty for "MP0"
};

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
