#pragma once

#include <cstdint>

// One test program's settings in the operator's units, the one shape a program travels in from
// a file or the editor to the request frame and back from the tester's reply. The wire's own
// forms (the pulse-width code, the derived averages) belong to the frame builder and the reply
// decoder alone.

// The tester's mode numbers. A reply may carry another number, which the field keeps as
// received; the tester and the editor run any mode but Duration as a single measurement.
enum class TestMode : std::int16_t { Duration = 1, SingleMeasure = 2 };

struct ProgramSettings {
  std::int16_t number = 1;  // program 1..3
  // Positions + 1 in the tester's lists: current 1..5 for 5, 10, 20, 50, 100 mA; frequency
  // 1..8 for 2, 5, 10, 20, 50, 100, 120, 150 Hz.
  std::int16_t currentIndex = 1;
  std::int16_t frequencyIndex = 1;
  std::int16_t pulseWidthUs = 200;
  // The duration as two parts, seconds 0..3599 and hours; a single measurement ignores them.
  std::int16_t durationSeconds = 0;
  std::int16_t durationHours = 0;
  TestMode mode = TestMode::SingleMeasure;
  std::int16_t passOhms = 150;
  std::int16_t failOhms = 1000;
  bool operator==(const ProgramSettings&) const = default;
};
