#pragma once

#include <QtGlobal>

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

// The arguments of one TXSetProgramValues call, taken from the sliders and lists.
struct UploadArguments {
  qint16 vProgramID = 0;
  qint16 vCurrentLevelIndex = 0;
  qint16 vFreqIndex = 0;
  qint16 vPW = 0;
  qint16 vDuration = 0;
  qint16 vDurationHr = 0;
  qint16 vMode = 0;
  qint16 vPass = 0;
  qint16 vFail = 0;
  bool operator==(const UploadArguments&) const = default;
};

// The fields of a program-values reply that the editor applies to a tab.
struct ReceivedProgram {
  qint16 vProgramIndex = 0;    // 1..3
  qint16 vCurrentIndex = 0;    // 1..5
  qint16 vFrequencyIndex = 0;  // 1..8
  qint16 vPW = 0;              // pulse-width code: (code + 1) * 10 microseconds
  qint16 vDuration = 0;
  qint16 vDurationHr = 0;
  qint16 vMode = 0;  // 1 Duration, anything else Single Measure
  qint16 vPassValue = 0;
  qint16 vFailValue = 0;
};
