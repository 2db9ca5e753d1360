#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device_link/command_frames.h"

// The instrument behind a simulated USB port: what a VELD32 tester answers to each request frame
// and what it remembers. Pure behaviour, no timing of the wire: every answer says how long after
// the request the tester starts sending it. Requests it does not know get no answer, as on the
// real instrument.

using SimTime = std::chrono::nanoseconds;  // monotonic, arbitrary epoch

struct TimedReply {
  std::string frame;
  SimTime delay{0};  // from the request's arrival until the tester starts sending
};

class SimulatedTesterModel {
 public:
  static constexpr int kProgramCount = 3;
  static constexpr int kSetpointCount = 5;

  // Three programs with the editor's defaults: 5 mA, 2 Hz, 200 us, Single Measure, 30 s, 0 h,
  // pass 150, fail 1000.
  SimulatedTesterModel();

  // Answers one complete request frame ("(" + body + ")") that arrived at `now`.
  std::vector<TimedReply> Answer(std::string_view frame, SimTime now);

  // Programs 1..3; a number outside that range gives no program / is refused.
  std::optional<ProgramSettings> Program(int number) const;
  bool SetProgram(const ProgramSettings& program);

  std::string firmwareVersion = "01.02";       // five characters
  std::string serialNumber = "00001";          // five characters
  std::string calibrationDate = "2024,01,15";  // "YYYY,MM,DD"
  // Current set-points of the 5, 10, 20, 50 and 100 mA levels, 0..999 each.
  std::array<std::int16_t, kSetpointCount> setpoints{5, 10, 20, 50, 100};
  // What a test measures: the simulated electrode's impedance, whole ohms 0..9999.
  std::int16_t impedanceOhms = 100;
  // A test lasts its program's duration (a timed program) or kSingleMeasurement, divided by
  // this factor (above 0) so that demonstrations and tests need not wait for real minutes.
  double speed = 1.0;
  static constexpr SimTime kSingleMeasurement = std::chrono::seconds(2);

 private:
  struct Test {
    std::int16_t program = 0;
    SimTime endsAt{0};
  };

  std::optional<TimedReply> ProgramValues(int number) const;
  std::optional<TimedReply> StoreProgram(std::string_view body);
  std::vector<TimedReply> RunTest(std::string_view number, SimTime now);
  std::optional<TimedReply> AdjustSetpoint(std::string_view request);
  std::string AllSetpoints() const;
  std::string LastData(const Test& test) const;
  SimTime TestDuration(int program) const;

  std::array<ProgramSettings, kProgramCount> programs_;
  std::optional<Test> test_;
};
