#include "programs/programs_model.h"

#include <utility>

#include "programs/program_comparison.h"
#include "programs/program_values.h"

namespace {

constexpr int kSecondsMinimumWithoutHours = 30;
constexpr int kSecondsPerHour = 3600;

int Ordinal(auto control) { return static_cast<int>(control); }

ProgramSlider SliderBeside(ProgramBox box) { return static_cast<ProgramSlider>(Ordinal(box)); }

// The controls as the window is built, before the start-up defaults: each slider at its
// minimum with its box showing that value, nothing picked, neither option selected.
SliderState DesignSlider(ProgramSlider slider) {
  switch (slider) {
    case ProgramSlider::PulseWidth:
      return {.value = 20, .minimum = 20, .maximum = 500};
    case ProgramSlider::Duration:
      return {.value = 30, .minimum = 30, .maximum = 3599};
    case ProgramSlider::DurationHr:
      return {.value = 0, .minimum = 0, .maximum = 99};
    case ProgramSlider::PassOhms:
      return {.value = 1, .minimum = 1, .maximum = 999};
    case ProgramSlider::FailOhms:
      return {.value = 2, .minimum = 2, .maximum = 1000};
  }
  return {};
}

ProgramList ListOf(ProgramSetting setting) {
  return setting == ProgramSetting::Current ? ProgramList::Current : ProgramList::Frequency;
}

// How a box beside a slider shows the slider's value.
QString ShownText(ProgramBox box, int value) {
  return box == ProgramBox::Duration ? DurationText(value) : QString::number(value);
}

QString BoxUnit(ProgramBox box) {
  switch (box) {
    case ProgramBox::PulseWidth:
      return QStringLiteral(" us");
    case ProgramBox::DurationHr:
      return QStringLiteral(" h");
    case ProgramBox::Duration:
      return {};
    default:
      return QStringLiteral(" ohms");
  }
}

QString DesignBoxText(ProgramBox box) {
  switch (box) {
    case ProgramBox::Duration:
      return DurationText(DesignSlider(ProgramSlider::Duration).value);
    case ProgramBox::PulseCharge:
    case ProgramBox::AverageCurrent:
      return {};
    default:
      return QString::number(DesignSlider(SliderBeside(box)).value);
  }
}

}  // namespace

// Scope of one operation: nested operations join the outermost one, which tells the views
// about every program touched once the rules have settled.
class TestProgramsModel::Operation {
 public:
  Operation(TestProgramsModel& model, int vIndex) : model_(model) {
    ++model_.operationDepth_;
    if (model_.At(vIndex) != nullptr) model_.touched_[vIndex] = true;
  }
  ~Operation() {
    if (--model_.operationDepth_ > 0) return;
    const auto touched = std::exchange(model_.touched_, {});
    for (int i = 0; i < kProgramCount; ++i) {
      if (touched[i]) emit model_.ProgramChanged(i);
    }
  }
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

 private:
  TestProgramsModel& model_;
};

TestProgramsModel::TestProgramsModel(QLocale locale, QObject* parent)
    : QObject(parent), locale_(std::move(locale)) {
  for (Program& program : programs_) {
    for (int s = 0; s < kSliderCount; ++s) {
      program.sliders[s].state = DesignSlider(static_cast<ProgramSlider>(s));
    }
    for (int b = 0; b < kBoxCount; ++b) {
      program.boxes[b].text = DesignBoxText(static_cast<ProgramBox>(b));
    }
  }
}

void TestProgramsModel::InitializeEditor() {
  for (int i = 0; i < kProgramCount; ++i) {
    Operation op(*this, i);
    PickListPosition(i, ProgramList::Current, 0);
    const SliderState pulse = Slider(i, ProgramSlider::PulseWidth);
    WriteSliderRange(i, ProgramSlider::PulseWidth, 200, pulse.maximum);
    WriteSlider(i, ProgramSlider::PulseWidth, 200);
    WriteBox(i, ProgramBox::PulseWidth, QStringLiteral("200"));
    PickListPosition(i, ProgramList::Frequency, 0);
    SelectMode(i, ProgramMode::SingleMeasure);
    const SliderState duration = Slider(i, ProgramSlider::Duration);
    WriteSliderRange(i, ProgramSlider::Duration, kSecondsMinimumWithoutHours, duration.maximum);
    WriteSlider(i, ProgramSlider::Duration, kSecondsMinimumWithoutHours);
    WriteBox(i, ProgramBox::Duration, QStringLiteral("00:30"));
    WriteSlider(i, ProgramSlider::DurationHr, 0);
    UpdateDurationControls(i);
    WriteSlider(i, ProgramSlider::PassOhms, 150);
    WriteSlider(i, ProgramSlider::FailOhms, 1000);
  }
}

void TestProgramsModel::SetEditorReady(bool ready) { editorReady_ = ready; }

void TestProgramsModel::PickListPosition(int vIndex, ProgramList list, int position) {
  Program* program = At(vIndex);
  if (program == nullptr || position < 0 || position >= ListItems(list).size()) return;
  Operation op(*this, vIndex);
  program->listPosition[Ordinal(list)] = position;
  if (list == ProgramList::Current) {
    CurrentPicked(vIndex);
  } else {
    UpdateAverageCurrent(vIndex);
  }
}

void TestProgramsModel::SetListText(int vIndex, ProgramList list, const QString& text) {
  PickListPosition(vIndex, list, static_cast<int>(ListItems(list).indexOf(text)));
}

void TestProgramsModel::SetSliderValue(int vIndex, ProgramSlider slider, int value) {
  Program* program = At(vIndex);
  if (program == nullptr) return;
  Operation op(*this, vIndex);
  program->editStart[Ordinal(slider)].reset();
  WriteSlider(vIndex, slider, value);
}

void TestProgramsModel::DragSlider(int vIndex, ProgramSlider slider, int value) {
  Program* program = At(vIndex);
  if (program == nullptr) return;
  Operation op(*this, vIndex);
  program->editStart[Ordinal(slider)].reset();
  SliderControl& control = SliderOf(vIndex, slider);
  if (value < control.state.minimum || value > control.state.maximum) return;
  control.dragPending = control.dragPending || value != control.state.value;
  control.state.value = value;
  SliderDragged(vIndex, slider);
}

void TestProgramsModel::EndSliderDrag(int vIndex, ProgramSlider slider) {
  if (At(vIndex) == nullptr) return;
  Operation op(*this, vIndex);
  SliderControl& control = SliderOf(vIndex, slider);
  if (!control.dragPending) return;
  control.dragPending = false;
  SliderMoved(vIndex, slider);
}

void TestProgramsModel::SetBoxText(int vIndex, ProgramBox box, const QString& text) {
  Program* program = At(vIndex);
  if (program == nullptr) return;
  Operation op(*this, vIndex);
  if (Ordinal(box) >= kSliderCount) {
    WriteBox(vIndex, box, text);
    return;
  }
  std::optional<int>& start = program->editStart[Ordinal(box)];
  if (!start) start = Slider(vIndex, SliderBeside(box)).value;
  WriteBox(vIndex, box, text);
  if (!BoxRefusal(vIndex, box).isEmpty()) KeepValueBeforeEdit(vIndex, box);
}

void TestProgramsModel::KeepValueBeforeEdit(int vIndex, ProgramBox box) {
  const ProgramSlider slider = SliderBeside(box);
  const std::optional<int> start = programs_[vIndex].editStart[Ordinal(box)];
  SliderControl& control = SliderOf(vIndex, slider);
  if (!start || *start == control.state.value || *start < control.state.minimum ||
      *start > control.state.maximum) {
    return;
  }
  // Written past the slider's notifications, which would replace the refused text the operator
  // is still editing; the pulse width's derived values follow it all the same.
  control.state.value = *start;
  control.dragPending = false;
  if (slider == ProgramSlider::PulseWidth) UpdateAverageCurrent(vIndex);
}

void TestProgramsModel::SelectMode(int vIndex, ProgramMode mode) {
  Program* program = At(vIndex);
  if (program == nullptr || mode == ProgramMode::None) return;
  Operation op(*this, vIndex);
  program->mode = mode;
  UpdateDurationControls(vIndex);
}

void TestProgramsModel::CheckDurationMin(int vIndex) {
  if (At(vIndex) == nullptr) return;
  Operation op(*this, vIndex);
  const int hours = Slider(vIndex, ProgramSlider::DurationHr).value;
  WriteSliderRange(vIndex, ProgramSlider::Duration, hours == 0 ? kSecondsMinimumWithoutHours : 0,
                   Slider(vIndex, ProgramSlider::Duration).maximum);
}

void TestProgramsModel::UpdateAverageCurrent(int vIndex) {
  if (At(vIndex) == nullptr || !editorReady_) return;
  Operation op(*this, vIndex);
  const auto milliamps = ReadWholeNumber(ListText(vIndex, ProgramList::Current)).value;
  const auto hertz = ReadWholeNumber(ListText(vIndex, ProgramList::Frequency)).value;
  if (milliamps && hertz) {
    WriteBox(vIndex, ProgramBox::AverageCurrent,
             AverageCurrentText(*milliamps, *hertz, Slider(vIndex, ProgramSlider::PulseWidth).value,
                                locale_));
  }
  UpdatePulseCharge(vIndex);
}

void TestProgramsModel::UpdatePulseCharge(int vIndex) {
  if (At(vIndex) == nullptr) return;
  Operation op(*this, vIndex);
  const auto milliamps = ReadWholeNumber(ListText(vIndex, ProgramList::Current)).value;
  if (!milliamps) return;
  WriteBox(vIndex, ProgramBox::PulseCharge,
           PulseChargeText(*milliamps, Slider(vIndex, ProgramSlider::PulseWidth).value, locale_));
}

void TestProgramsModel::UpdateDurationControls(int vIndex) {
  Program* program = At(vIndex);
  if (program == nullptr) return;
  Operation op(*this, vIndex);
  if (program->mode == ProgramMode::Duration) {
    EnableDurationControls(vIndex, true);
    return;
  }
  SliderOf(vIndex, ProgramSlider::Duration).state.enabled = false;
  BoxOf(vIndex, ProgramBox::Duration).enabled = false;
  WriteSlider(vIndex, ProgramSlider::Duration, Slider(vIndex, ProgramSlider::Duration).minimum);
  WriteBox(vIndex, ProgramBox::Duration, QStringLiteral("00:30"));
  SliderOf(vIndex, ProgramSlider::DurationHr).state.enabled = false;
  BoxOf(vIndex, ProgramBox::DurationHr).enabled = false;
  // The hours' moved notification raises the seconds minimum to 30, lifting the seconds too.
  WriteSlider(vIndex, ProgramSlider::DurationHr, Slider(vIndex, ProgramSlider::DurationHr).minimum);
  WriteBox(vIndex, ProgramBox::DurationHr,
           QString::number(Slider(vIndex, ProgramSlider::DurationHr).value));
}

bool TestProgramsModel::ValidatePassFailLimits() const {
  for (int i = 0; i < kProgramCount; ++i) {
    if (!PassBelowFail(i)) return false;
  }
  return true;
}

bool TestProgramsModel::PassBelowFail(int vIndex) const {
  return Slider(vIndex, ProgramSlider::PassOhms).value <
         Slider(vIndex, ProgramSlider::FailOhms).value;
}

QString TestProgramsModel::LimitsProblem(int vIndex) const {
  if (At(vIndex) == nullptr || PassBelowFail(vIndex)) return {};
  return QStringLiteral("Pass %1 ohms is not below Fail %2 ohms: an upload refuses this program")
      .arg(Slider(vIndex, ProgramSlider::PassOhms).value)
      .arg(Slider(vIndex, ProgramSlider::FailOhms).value);
}

void TestProgramsModel::StartUp() {
  InitializeEditor();
  SetEditorReady(true);
  for (int i = 0; i < kProgramCount; ++i) UpdateAverageCurrent(i);
}

void TestProgramsModel::ApplyReceivedProgram(const ProgramSettings& received) {
  const int i = received.number - 1;
  if (At(i) == nullptr) return;
  Operation op(*this, i);
  PickListPosition(i, ProgramList::Current, received.currentIndex - 1);
  PickListPosition(i, ProgramList::Frequency, received.frequencyIndex - 1);
  WriteSlider(i, ProgramSlider::PulseWidth, received.pulseWidthUs);
  WriteBox(i, ProgramBox::PulseWidth, QString::number(received.pulseWidthUs));
  WriteSlider(i, ProgramSlider::DurationHr, received.durationHours);
  WriteBox(i, ProgramBox::DurationHr, QString::number(received.durationHours));
  CheckDurationMin(i);
  WriteSlider(i, ProgramSlider::Duration, received.durationSeconds);
  WriteBox(i, ProgramBox::Duration, DurationText(received.durationSeconds));
  if (received.durationHours == 0 && received.durationSeconds < kSecondsMinimumWithoutHours) {
    WriteSlider(i, ProgramSlider::Duration, kSecondsMinimumWithoutHours);
    WriteBox(i, ProgramBox::Duration, QStringLiteral("00:30"));
  }
  SelectMode(
      i, received.mode != TestMode::Duration ? ProgramMode::SingleMeasure : ProgramMode::Duration);
  WriteSlider(i, ProgramSlider::PassOhms, received.passOhms);
  WriteBox(i, ProgramBox::PassOhms, QString::number(received.passOhms));
  WriteSlider(i, ProgramSlider::FailOhms, received.failOhms);
  WriteBox(i, ProgramBox::FailOhms, QString::number(received.failOhms));
  ShowProgramValues(i);
}

void TestProgramsModel::ShowProgramValues(int vIndex) {
  Program* program = At(vIndex);
  if (program == nullptr) return;
  Operation op(*this, vIndex);
  program->editStart = {};
  for (int b = 0; b < kSliderCount; ++b) {
    const auto box = static_cast<ProgramBox>(b);
    WriteBox(vIndex, box, ShownText(box, Slider(vIndex, SliderBeside(box)).value));
  }
}

QString TestProgramsModel::BoxRefusal(int vIndex, ProgramBox box) const {
  if (At(vIndex) == nullptr || Ordinal(box) >= kSliderCount) return {};
  const SliderState slider = Slider(vIndex, SliderBeside(box));
  const QString kept = ShownText(box, slider.value);
  if (BoxText(vIndex, box) == kept) return {};
  return QStringLiteral("%1 not applied: the program keeps %2 (%3 to %4%5)")
      .arg(BoxText(vIndex, box), kept, ShownText(box, slider.minimum),
           ShownText(box, slider.maximum), BoxUnit(box));
}

bool TestProgramsModel::Accepts(int vIndex, ProgramSetting setting, qint64 value) const {
  if (At(vIndex) == nullptr) return false;
  switch (setting) {
    case ProgramSetting::Current:
    case ProgramSetting::Frequency:
      return ListItems(ListOf(setting)).contains(QString::number(value));
    case ProgramSetting::Mode:
      return value == 1 || value == 2;
    default: {
      const auto [minimum, maximum] = SettingRange(vIndex, setting);
      return value >= minimum && value <= maximum;
    }
  }
}

QString TestProgramsModel::AllowedValues(int vIndex, ProgramSetting setting) const {
  switch (setting) {
    case ProgramSetting::Current:
    case ProgramSetting::Frequency: {
      QStringList items = ListItems(ListOf(setting));
      const QString last = items.takeLast();
      return items.join(QLatin1String(", ")) + QStringLiteral(" or ") + last +
             (setting == ProgramSetting::Current ? QStringLiteral(" mA") : QStringLiteral(" Hz"));
    }
    case ProgramSetting::Mode:
      return QStringLiteral("1 Duration or 2 Single Measure");
    default:
      break;
  }
  const auto [minimum, maximum] = SettingRange(vIndex, setting);
  QString allowed = QStringLiteral("%1 to %2").arg(minimum).arg(maximum);
  switch (setting) {
    case ProgramSetting::PulseWidth:
      return allowed + QStringLiteral(" us at %1 mA").arg(ListText(vIndex, ProgramList::Current));
    case ProgramSetting::Duration:
      return allowed + QStringLiteral(" s");
    default:
      return allowed + QStringLiteral(" ohms");
  }
}

void TestProgramsModel::ApplySetting(int vIndex, ProgramSetting setting, qint64 value) {
  if (!Accepts(vIndex, setting, value)) return;
  Operation op(*this, vIndex);
  const auto write = [&](ProgramSlider slider, ProgramBox box) {
    WriteSlider(vIndex, slider, static_cast<int>(value));
    WriteBox(vIndex, box, QString::number(value));
  };
  switch (setting) {
    case ProgramSetting::Current:
    case ProgramSetting::Frequency:
      SetListText(vIndex, ListOf(setting), QString::number(value));
      break;
    case ProgramSetting::Mode:
      SelectMode(vIndex, value == 1 ? ProgramMode::Duration : ProgramMode::SingleMeasure);
      break;
    case ProgramSetting::PulseWidth:
      write(ProgramSlider::PulseWidth, ProgramBox::PulseWidth);
      break;
    case ProgramSetting::Duration: {
      const int hours = static_cast<int>(value / kSecondsPerHour);
      const int seconds = static_cast<int>(value % kSecondsPerHour);
      WriteSlider(vIndex, ProgramSlider::DurationHr, hours);
      WriteBox(vIndex, ProgramBox::DurationHr, QString::number(hours));
      CheckDurationMin(vIndex);
      WriteSlider(vIndex, ProgramSlider::Duration, seconds);
      WriteBox(vIndex, ProgramBox::Duration, DurationText(seconds));
      break;
    }
    case ProgramSetting::Pass:
      write(ProgramSlider::PassOhms, ProgramBox::PassOhms);
      break;
    case ProgramSetting::Fail:
      write(ProgramSlider::FailOhms, ProgramBox::FailOhms);
      break;
  }
  ShowProgramValues(vIndex);
}

std::pair<qint64, qint64> TestProgramsModel::SettingRange(int vIndex,
                                                          ProgramSetting setting) const {
  const auto range = [&](ProgramSlider slider) {
    const SliderState state = Slider(vIndex, slider);
    return std::pair<qint64, qint64>{state.minimum, state.maximum};
  };
  switch (setting) {
    case ProgramSetting::PulseWidth:
      return range(ProgramSlider::PulseWidth);
    case ProgramSetting::Duration:
      // Below an hour the seconds start at 30; from an hour on they start at 0.
      return {kSecondsMinimumWithoutHours,
              qint64{Slider(vIndex, ProgramSlider::DurationHr).maximum} * kSecondsPerHour +
                  Slider(vIndex, ProgramSlider::Duration).maximum};
    case ProgramSetting::Pass:
      return range(ProgramSlider::PassOhms);
    default:
      return range(ProgramSlider::FailOhms);
  }
}

ProgramSettings TestProgramsModel::Settings(int vIndex) const {
  if (At(vIndex) == nullptr) return {};
  const auto value = [&](ProgramSlider slider) {
    return static_cast<qint16>(Slider(vIndex, slider).value);
  };
  return {
      .number = static_cast<qint16>(vIndex + 1),
      .currentIndex = static_cast<qint16>(ListPosition(vIndex, ProgramList::Current) + 1),
      .frequencyIndex = static_cast<qint16>(ListPosition(vIndex, ProgramList::Frequency) + 1),
      .pulseWidthUs = value(ProgramSlider::PulseWidth),
      .durationSeconds = value(ProgramSlider::Duration),
      .durationHours = value(ProgramSlider::DurationHr),
      .mode = Mode(vIndex) == ProgramMode::Duration ? TestMode::Duration : TestMode::SingleMeasure,
      .passOhms = value(ProgramSlider::PassOhms),
      .failOhms = value(ProgramSlider::FailOhms)};
}

ProgramSettings TestProgramsModel::UploadSettings(int vIndex) const {
  if (At(vIndex) == nullptr) return {};
  return UploadForm(Settings(vIndex));
}

int TestProgramsModel::ListPosition(int vIndex, ProgramList list) const {
  const Program* program = At(vIndex);
  return program == nullptr ? -1 : program->listPosition[Ordinal(list)];
}

QString TestProgramsModel::ListText(int vIndex, ProgramList list) const {
  const int position = ListPosition(vIndex, list);
  return position < 0 ? QString() : ListItems(list).at(position);
}

const QStringList& TestProgramsModel::ListItems(ProgramList list) {
  return list == ProgramList::Current ? CurrentListItems() : FrequencyListItems();
}

SliderState TestProgramsModel::Slider(int vIndex, ProgramSlider slider) const {
  const Program* program = At(vIndex);
  return program == nullptr ? SliderState{} : program->sliders[Ordinal(slider)].state;
}

QString TestProgramsModel::BoxText(int vIndex, ProgramBox box) const {
  const Program* program = At(vIndex);
  return program == nullptr ? QString() : program->boxes[Ordinal(box)].text;
}

bool TestProgramsModel::BoxEnabled(int vIndex, ProgramBox box) const {
  const Program* program = At(vIndex);
  return program != nullptr && program->boxes[Ordinal(box)].enabled;
}

ProgramMode TestProgramsModel::Mode(int vIndex) const {
  const Program* program = At(vIndex);
  return program == nullptr ? ProgramMode::None : program->mode;
}

TestProgramsModel::Program* TestProgramsModel::At(int vIndex) {
  return vIndex >= 0 && vIndex < kProgramCount ? &programs_[vIndex] : nullptr;
}

const TestProgramsModel::Program* TestProgramsModel::At(int vIndex) const {
  return vIndex >= 0 && vIndex < kProgramCount ? &programs_[vIndex] : nullptr;
}

TestProgramsModel::SliderControl& TestProgramsModel::SliderOf(int vIndex, ProgramSlider slider) {
  return programs_[vIndex].sliders[Ordinal(slider)];
}

TestProgramsModel::BoxControl& TestProgramsModel::BoxOf(int vIndex, ProgramBox box) {
  return programs_[vIndex].boxes[Ordinal(box)];
}

bool TestProgramsModel::WriteSlider(int vIndex, ProgramSlider slider, int value) {
  SliderControl& control = SliderOf(vIndex, slider);
  if (value < control.state.minimum || value > control.state.maximum) return false;
  if (value == control.state.value) return true;
  control.state.value = value;
  control.dragPending = false;
  SliderMoved(vIndex, slider);
  return true;
}

void TestProgramsModel::WriteSliderRange(int vIndex, ProgramSlider slider, int minimum,
                                         int maximum) {
  SliderState& state = SliderOf(vIndex, slider).state;
  state.minimum = minimum;
  state.maximum = maximum;
  if (state.value < minimum || state.value > maximum) {
    state.value = state.value < minimum ? minimum : maximum;
    SliderOf(vIndex, slider).dragPending = false;
    SliderMoved(vIndex, slider);
  }
}

void TestProgramsModel::WriteBox(int vIndex, ProgramBox box, const QString& text) {
  BoxControl& control = BoxOf(vIndex, box);
  if (control.text == text) return;
  control.text = text;
  BoxChanged(vIndex, box);
}

void TestProgramsModel::EnableDurationControls(int vIndex, bool enabled) {
  SliderOf(vIndex, ProgramSlider::Duration).state.enabled = enabled;
  BoxOf(vIndex, ProgramBox::Duration).enabled = enabled;
  SliderOf(vIndex, ProgramSlider::DurationHr).state.enabled = enabled;
  BoxOf(vIndex, ProgramBox::DurationHr).enabled = enabled;
}

void TestProgramsModel::CurrentPicked(int vIndex) {
  // An unreadable box counts as 0, the working value's start.
  const int shown = ReadWholeNumber(BoxText(vIndex, ProgramBox::PulseWidth)).value.value_or(0);
  const auto milliamps = ReadWholeNumber(ListText(vIndex, ProgramList::Current)).value;
  if (const auto range = PulseWidthRangeFor(milliamps.value_or(0))) {
    WriteSliderRange(vIndex, ProgramSlider::PulseWidth, range->minimum, range->maximum);
    if (shown < range->minimum) {
      WriteBox(vIndex, ProgramBox::PulseWidth, QString::number(range->minimum));
    } else if (shown > range->maximum) {
      WriteBox(vIndex, ProgramBox::PulseWidth, QString::number(range->maximum));
    }
  }
  UpdateAverageCurrent(vIndex);
}

void TestProgramsModel::SliderMoved(int vIndex, ProgramSlider slider) {
  SliderDragged(vIndex, slider);
  if (slider == ProgramSlider::DurationHr) CheckDurationMin(vIndex);
  // The box may not have changed (it could show this value already), the pulse width has.
  if (slider == ProgramSlider::PulseWidth) UpdateAverageCurrent(vIndex);
}

void TestProgramsModel::SliderDragged(int vIndex, ProgramSlider slider) {
  const int value = Slider(vIndex, slider).value;
  switch (slider) {
    case ProgramSlider::PulseWidth: {
      // Snap to a multiple of 10, then follow whatever the box's own rule left in it.
      WriteBox(vIndex, ProgramBox::PulseWidth, QString::number(value / 10 * 10));
      if (const auto shown = ReadWholeNumber(BoxText(vIndex, ProgramBox::PulseWidth)).value) {
        WriteSlider(vIndex, ProgramSlider::PulseWidth, *shown);
      }
      break;
    }
    case ProgramSlider::Duration:
      WriteBox(vIndex, ProgramBox::Duration, DurationText(value));
      break;
    case ProgramSlider::DurationHr:
      WriteBox(vIndex, ProgramBox::DurationHr, QString::number(value));
      break;
    case ProgramSlider::PassOhms:
      WriteBox(vIndex, ProgramBox::PassOhms, QString::number(value));
      break;
    case ProgramSlider::FailOhms:
      WriteBox(vIndex, ProgramBox::FailOhms, QString::number(value));
      break;
  }
}

void TestProgramsModel::BoxChanged(int vIndex, ProgramBox box) {
  switch (box) {
    case ProgramBox::PulseWidth:
    case ProgramBox::PassOhms:
    case ProgramBox::FailOhms:
      ValidateNumberBox(vIndex, box);
      break;
    default:
      break;  // nothing reads the other boxes' text
  }
}

void TestProgramsModel::ValidateNumberBox(int vIndex, ProgramBox box) {
  const ProgramSlider slider = SliderBeside(box);
  const auto number = [&] { return ReadWholeNumber(BoxText(vIndex, box)); };
  // Only a signed run of digits reads as a number, so "." and "," never pass.
  if (!number().isNumber) {
    WriteBox(vIndex, box,
             box == ProgramBox::FailOhms ? QStringLiteral("1000") : QStringLiteral("0"));
  }
  if (const auto value = number().value) WriteBox(vIndex, box, QString::number(*value));
  if (box == ProgramBox::PulseWidth) {
    const int maximum = Slider(vIndex, slider).maximum;
    const auto value = number().value;
    if (!value || *value > maximum) WriteBox(vIndex, box, QString::number(maximum));
  }
  if (const auto value = number().value) WriteSlider(vIndex, slider, *value);
  if (box != ProgramBox::PulseWidth) return;
  // The operator cannot type here: the box shows the width an upload sends, and a width the
  // slider refused (a tester's program outside its current's range) shows as the tab's
  // difference from the tester instead.
  const QString sent = QString::number(Slider(vIndex, slider).value);
  if (BoxText(vIndex, box) != sent) WriteBox(vIndex, box, sent);
  UpdateAverageCurrent(vIndex);
}
