#pragma once

#include <QString>

#include "programs/programs_model.h"

// One program of the model as a line of text, for comparisons in failure messages.
inline QString DescribeProgram(const TestProgramsModel& model, int index) {
  const auto value = [&](ProgramSlider s) { return model.Slider(index, s).value; };
  return QStringLiteral("%1mA %2Hz %3us(%4) %5 %6h %7s(%8) pass %9(%10) fail %11(%12)")
      .arg(model.ListText(index, ProgramList::Current),
           model.ListText(index, ProgramList::Frequency))
      .arg(value(ProgramSlider::PulseWidth))
      .arg(model.BoxText(index, ProgramBox::PulseWidth))
      .arg(model.Mode(index) == ProgramMode::Duration ? "duration" : "single")
      .arg(value(ProgramSlider::DurationHr))
      .arg(value(ProgramSlider::Duration))
      .arg(model.BoxText(index, ProgramBox::Duration))
      .arg(value(ProgramSlider::PassOhms))
      .arg(model.BoxText(index, ProgramBox::PassOhms))
      .arg(value(ProgramSlider::FailOhms))
      .arg(model.BoxText(index, ProgramBox::FailOhms));
}
