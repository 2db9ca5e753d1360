#pragma once

// The named controls of one program's tab, as the editor's rules see them. Program n is edited
// with index n - 1 of every control (0..2).

inline constexpr int kProgramCount = 3;

// The two selection lists: cmbCurrent, cmbFrequency.
enum class ProgramList { Current, Frequency };

// The five horizontal sliders: hsPulseWidth, hsDuration, hsDurationHr, hsPassOhms, hsFailOhms.
enum class ProgramSlider { PulseWidth, Duration, DurationHr, PassOhms, FailOhms };
inline constexpr int kSliderCount = 5;

// The text boxes: the five beside the sliders, then txtPulseCharge and txtAverageCurrent.
enum class ProgramBox {
  PulseWidth,
  Duration,
  DurationHr,
  PassOhms,
  FailOhms,
  PulseCharge,
  AverageCurrent
};
inline constexpr int kBoxCount = 7;

// Which of the option pair optSingleMeasure/optDuration is selected; None only before start-up.
enum class ProgramMode { None, SingleMeasure, Duration };

// The settings as a program file names them ("Current" .. "Fail"), in the file's key order.
enum class ProgramSetting { Current, Frequency, PulseWidth, Mode, Duration, Pass, Fail };
inline constexpr int kSettingCount = 7;

// A slider never holds a value outside minimum..maximum.
struct SliderState {
  int value = 0;
  int minimum = 0;
  int maximum = 0;
  bool enabled = true;
  bool operator==(const SliderState&) const = default;
};
