#pragma once

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
