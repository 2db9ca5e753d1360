#pragma once

#include <QByteArray>
#include <QString>

#include "programs/programs_model.h"

// One program of the model as a line of text, for comparisons in failure messages.
inline QString DescribeProgram(const TestProgramsModel& model, int index) {
  const auto value = [&](ProgramSlider s) { return QString::number(model.Slider(index, s).value); };
  const auto box = [&](ProgramBox b) { return model.BoxText(index, b); };
  const bool duration = model.Mode(index) == ProgramMode::Duration;
  return QStringLiteral("%1mA %2Hz %3us(%4) %5 %6h %7s(%8) pass %9(%10) fail %11(%12)")
      .arg(model.ListText(index, ProgramList::Current),
           model.ListText(index, ProgramList::Frequency), value(ProgramSlider::PulseWidth),
           box(ProgramBox::PulseWidth), duration ? "duration" : "single",
           value(ProgramSlider::DurationHr), value(ProgramSlider::Duration),
           box(ProgramBox::Duration), value(ProgramSlider::PassOhms))
      .arg(box(ProgramBox::PassOhms), value(ProgramSlider::FailOhms), box(ProgramBox::FailOhms));
}

// Three complete programs: a timed one, a Single Measure one with a duration of its own, and a
// second timed one.
inline const QByteArray kThreePrograms =
    "[Program1]\r\nCurrent=20\r\nFrequency=150\r\nPulseWidth=200\r\nMode=1\r\nDuration=3725\r\n"
    "Pass=12\r\nFail=14\r\n\r\n"
    "[Program2]\r\nCurrent=100\r\nFrequency=2\r\nPulseWidth=300\r\nMode=2\r\nDuration=600\r\n"
    "Pass=150\r\nFail=1000\r\n\r\n"
    "[Program3]\r\nCurrent=50\r\nFrequency=5\r\nPulseWidth=20\r\nMode=1\r\nDuration=45\r\n"
    "Pass=999\r\nFail=1000\r\n";
