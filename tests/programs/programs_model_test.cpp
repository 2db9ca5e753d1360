#include <QLocale>

#include <gtest/gtest.h>
#include <QDate>
#include <memory>
#include <string>
#include <tuple>

#include "programs/program_comparison.h"
#include "programs/program_transfer_state.h"
#include "programs/program_values.h"
#include "programs/programs_model.h"
#include "programs/tester_identity.h"

namespace {

// The tester's mode numbers, also the ones it has no name for.
constexpr TestMode Mode(int number) { return static_cast<TestMode>(number); }

// Average current: whole microamperes, a half to the even neighbour. Charge: tenths, a half up.
TEST(DerivedValueTexts, RoundAndUseTheLocalesDecimalSeparator) {
  // mA, Hz, us, average current and pulse charge with "." for the decimal separator
  const std::tuple<int, int, int, QString, QString> cases[] = {{5, 2, 250, "000.002", "01.3"},
                                                               {5, 2, 350, "000.004", "01.8"},
                                                               {5, 2, 210, "000.002", "01.1"},
                                                               {100, 150, 300, "004.500", "30.0"}};
  for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German)}) {
    const QChar separator = locale.decimalPoint().at(0);
    for (auto [milliamps, hertz, width, average, charge] : cases) {
      EXPECT_EQ(AverageCurrentText(milliamps, hertz, width, locale),
                average.replace('.', separator))
          << milliamps << " mA " << hertz << " Hz " << width << " us";
      EXPECT_EQ(PulseChargeText(milliamps, width, locale), charge.replace('.', separator)) << width;
    }
  }
}

// A model after the editor's start-up: defaults on all three programs, derived values shown.
class Model : public ::testing::Test {
 protected:
  void SetUp() override { StartAgain(); }
  void StartAgain() {
    model = std::make_unique<TestProgramsModel>(QLocale::c());
    model->StartUp();
  }
  int Value(int i, ProgramSlider slider) const { return model->Slider(i, slider).value; }
  QString Box(int i, ProgramBox box) const { return model->BoxText(i, box); }
  // Program i in Duration mode at the given hours and seconds.
  void SetDuration(int i, int hours, int seconds) {
    model->SelectMode(i, ProgramMode::Duration);
    model->SetSliderValue(i, ProgramSlider::DurationHr, hours);
    model->SetSliderValue(i, ProgramSlider::Duration, seconds);
  }
  std::unique_ptr<TestProgramsModel> model;
};

TEST_F(Model, CurrentLevelSetsThePulseWidthRangeAndMovesTheSnappedWidthIntoIt) {
  // from mA at us, to mA: the width's minimum and maximum, the width, the pulse charge
  const std::tuple<const char*, int, const char*, int, int, int, const char*> cases[] = {
      {"50", 30, "5", 200, 500, 200, "01.0"},
      {"10", 500, "100", 20, 300, 300, "30.0"},
      {"100", 250, "50", 20, 500, 250, "12.5"},
      {"5", 200, "10", 100, 500, 200, "02.0"},
      {"5", 200, "20", 50, 500, 200, "04.0"},
      {"5", 205, "5", 200, 500, 200, "01.0"}};  // the slider snaps down to a multiple of 10
  for (const auto& [from, fromWidth, to, minimum, maximum, width, charge] : cases) {
    model->SetListText(1, ProgramList::Current, from);
    model->SetSliderValue(1, ProgramSlider::PulseWidth, fromWidth);
    model->SetListText(1, ProgramList::Current, to);
    EXPECT_EQ(model->Slider(1, ProgramSlider::PulseWidth),
              (SliderState{width, minimum, maximum, true}))
        << from << " mA at " << fromWidth << " us, then " << to << " mA";
    EXPECT_EQ(Box(1, ProgramBox::PulseWidth), QString::number(width));
    EXPECT_EQ(Box(1, ProgramBox::PulseCharge), charge);
  }
}

TEST_F(Model, TypedBoxesSettleTheirTextAndSlider) {
  using enum ProgramBox;
  // at mA, the box given a text: the text it settles on and its slider's value
  const std::tuple<const char*, ProgramBox, const char*, const char*, int> cases[] = {
      {"5", PassOhms, "", "0", 150},        {"5", PassOhms, "007", "7", 7},
      {"5", PassOhms, "2000", "2000", 150}, {"5", FailOhms, "1,5", "1000", 1000},
      {"5", PulseWidth, "600", "500", 500}, {"5", PulseWidth, "99999", "500", 500},
      {"50", PulseWidth, "10", "200", 200}, {"5", PulseWidth, "abc", "200", 200}};
  for (const auto& [current, box, text, shown, value] : cases) {
    StartAgain();
    model->SetListText(2, ProgramList::Current, current);
    model->SetSliderValue(2, ProgramSlider::FailOhms, 500);
    model->SetBoxText(2, box, text);
    EXPECT_EQ(Box(2, box), shown) << "\"" << text << "\" at " << current << " mA";
    EXPECT_EQ(Value(2, static_cast<ProgramSlider>(box)), value) << text;
  }
}

// A refused text leaves the value from before the editing began, not the last prefix the slider
// took; the editing ends when the box shows the program's value again ("|").
TEST_F(Model, RefusedTypingLeavesTheValueFromBeforeTheEdit) {
  using enum ProgramBox;
  // box, the texts one after another, the slider's value and the range a refusal names ("" for
  // none: the last text was taken)
  // clang-format off
  const std::tuple<ProgramBox, QStringList, int, QString> cases[] = {
      {PassOhms, {"5", "50", "500", "5000"},      150,  "1 to 999 ohms"},
      {PassOhms, {"5", "50", "500", "5000", "500"}, 500, ""},
      {FailOhms, {"2", "20", "200", "2000"},      1000, "2 to 1000 ohms"},
      {PassOhms, {"5", "50", "|", "500", "5000"}, 50,   "1 to 999 ohms"},
      {PassOhms, {"7", "0"},                      150,  "1 to 999 ohms"}};
  // clang-format on
  for (const auto& [box, texts, value, range] : cases) {
    StartAgain();
    for (const QString& text : texts) {
      if (text == "|") {
        model->ShowProgramValues(1);
      } else {
        model->SetBoxText(1, box, text);
      }
    }
    EXPECT_EQ(Value(1, static_cast<ProgramSlider>(box)), value) << texts.join(' ').toStdString();
    EXPECT_EQ(model->BoxRefusal(1, box),
              range.isEmpty() ? QString()
                              : QStringLiteral("%1 not applied: the program keeps %2 (%3)")
                                    .arg(texts.last())
                                    .arg(value)
                                    .arg(range));
    model->ShowProgramValues(1);
    EXPECT_EQ(Box(1, box), QString::number(value));
  }
}

// The seconds go down to zero only while the hours are above zero. Single Measure disables the
// duration (its reset is pinned with a received program), and Duration enables it.
TEST_F(Model, DurationFollowsItsHoursAndTheMode) {
  SetDuration(0, 1, 0);
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:00");
  model->SetSliderValue(0, ProgramSlider::DurationHr, 0);
  EXPECT_EQ(Value(0, ProgramSlider::Duration), 30);
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:30");
  SetDuration(1, 2, 45 * 60);
  model->SelectMode(1, ProgramMode::SingleMeasure);
  EXPECT_FALSE(model->Slider(1, ProgramSlider::Duration).enabled);
  EXPECT_FALSE(model->BoxEnabled(1, ProgramBox::DurationHr));
  model->SelectMode(1, ProgramMode::Duration);
  EXPECT_TRUE(model->Slider(1, ProgramSlider::DurationHr).enabled);
  EXPECT_TRUE(model->BoxEnabled(1, ProgramBox::Duration));
}

TEST_F(Model, PassFailLimitsHoldOnlyWhenEveryPassIsBelowItsFail) {
  model->SetSliderValue(1, ProgramSlider::PassOhms, 999);  // program 2 at 999 / 1000
  const std::tuple<int, int, bool> cases[] = {{10, 2, false}, {998, 999, true}, {999, 999, false}};
  for (const auto& [pass, fail, valid] : cases) {  // program 3
    model->SetSliderValue(2, ProgramSlider::PassOhms, pass);
    model->SetSliderValue(2, ProgramSlider::FailOhms, fail);
    EXPECT_EQ(model->ValidatePassFailLimits(), valid) << pass << " / " << fail;
  }
}

// What the tester reports is compared in upload form; a Single Measure program without its
// duration, which the tester does not use.
TEST(ProgramComparison, NamesEachDifferingSettingInTheOperatorsWords) {
  const auto differences = [](const ProgramSettings& editor, const ProgramSettings& reply) {
    QStringList lines;
    for (const SettingDifference& d : DifferingSettings(editor, UploadForm(reply))) {
      lines << SettingKey(d.setting) + ": " + SettingValueText(d.setting, d.editor) + " / " +
                   SettingValueText(d.setting, d.tester);
    }
    return lines;
  };
  EXPECT_EQ(
      differences({1, 3, 8, 200, 125, 1, Mode(1), 12, 14}, {1, 9, 8, 200, 5, 2, Mode(1), 12, 15}),
      (QStringList{"Current: 20 mA / index 9", "Duration: 3725 s / 7205 s",
                   "Fail: 14 ohms / 15 ohms"}));
  EXPECT_EQ(
      differences({1, 1, 2, 300, 0, 0, Mode(2), 12, 14}, {1, 1, 2, 300, 600, 4, Mode(3), 12, 14}),
      QStringList{});
  EXPECT_EQ(
      differences({1, 1, 2, 300, 0, 0, Mode(2), 12, 14}, {1, 1, 1, 290, 600, 4, Mode(1), 12, 14}),
      (QStringList{"Frequency: 5 Hz / 2 Hz", "PulseWidth: 300 us / 290 us",
                   "Mode: Single Measure / Duration", "Duration: 0 s / 15000 s"}));
}

// The calibration date plus the interval is the last day a tester is still in calibration.
TEST(CalibrationOverdue, ComesTheDayAfterTheDateTheIntervalReaches) {
  // year, month, day as the tester reports them; interval in months; today; overdue
  const std::tuple<QString, QString, QString, int, QDate, bool> cases[] = {
      {"2024", "03", "01", 12, {2025, 3, 1}, false},  // due today
      {"2024", "02", "29", 12, {2025, 3, 1}, true},   // due 2025-02-28
      {"2024", "08", "31", 6, {2025, 2, 28}, false},  // a 31st falls on the last day of February
      {"2024", "08", "31", 6, {2025, 3, 1}, true},
      {"2020", "01", "01", 0, {2030, 1, 1}, false},   // no interval: never
      {"2024", "01", "15", -3, {2030, 1, 1}, false},  // nor a negative one
      {"2024", "13", "01", 12, {2024, 2, 1}, true}};  // no real date: not shown calibrated
  for (const auto& [year, month, day, months, today, overdue] : cases) {
    const TesterIdentity identity{"01.02", "1", year, month, day};
    EXPECT_EQ(CalibrationOverdue(identity, months, today), overdue)
        << year.toStdString() << '-' << month.toStdString() << '-' << day.toStdString() << " + "
        << months << " on " << today.toString(Qt::ISODate).toStdString();
  }
}

// The derived values follow the lists and the pulse-width slider, however these changed, and
// never a box's text.
TEST_F(Model, DerivedValuesFollowEveryChangeOfTheirSettings) {
  using enum ProgramSlider;
  const auto derived = [&] {
    return Box(0, ProgramBox::AverageCurrent) + ' ' + Box(0, ProgramBox::PulseCharge);
  };
  model->PickListPosition(0, ProgramList::Frequency, 7);
  EXPECT_EQ(derived(), "000.150 01.0");
  model->SetSliderValue(0, PulseWidth, 300);
  EXPECT_EQ(derived(), "000.225 01.5");
  model->DragSlider(0, PulseWidth, 400);
  EXPECT_EQ(derived(), "000.300 02.0");
  // A width the slider refuses changes neither the derived values nor the box.
  model->SetBoxText(0, ProgramBox::PulseWidth, "100");
  EXPECT_EQ(derived(), "000.300 02.0");
  EXPECT_EQ(Box(0, ProgramBox::PulseWidth), "400");
  model->SetListText(0, ProgramList::Current, "10");
  model->SetSliderValue(0, PulseWidth, 100);
  EXPECT_EQ(derived(), "000.150 01.0");
  EXPECT_EQ(model->UploadSettings(0).pulseWidthUs, 100);
}

// A setting written by code applies whole or not at all, judged against the program as it
// stands (the pulse width against the current level picked before it).
TEST_F(Model, SettingsFromFilesApplyWholeOrNotAtAll) {
  using enum ProgramSetting;
  // setting, value, applied, allowed values, the upload's field afterwards
  const std::tuple<ProgramSetting, qint64, bool, const char*, int> cases[] = {
      {Current, 20, true, "5, 10, 20, 50 or 100 mA", 3},
      {Current, 7, false, "5, 10, 20, 50 or 100 mA", 1},
      {Frequency, 150, true, "2, 5, 10, 20, 50, 100, 120 or 150 Hz", 8},
      {Frequency, 0, false, "2, 5, 10, 20, 50, 100, 120 or 150 Hz", 1},
      {PulseWidth, 100, false, "200 to 500 us at 5 mA", 200},
      {PulseWidth, 1000, false, "200 to 500 us at 5 mA", 200},
      {PulseWidth, 205, true, "200 to 500 us at 5 mA", 200},
      {PulseWidth, 500, true, "200 to 500 us at 5 mA", 500},
      {Mode, 2, true, "1 Duration or 2 Single Measure", 2},
      {Mode, 7, false, "1 Duration or 2 Single Measure", 1},
      {Duration, 3725, true, "30 to 359999 s", 3725},
      {Duration, 10, false, "30 to 359999 s", 30},
      {Duration, 360000, false, "30 to 359999 s", 30},
      {Pass, 5000, false, "1 to 999 ohms", 150},
      {Pass, 999, true, "1 to 999 ohms", 999},
      {Fail, 1, false, "2 to 1000 ohms", 1000},
      {Fail, 2, true, "2 to 1000 ohms", 2}};
  for (const auto& [setting, value, applied, allowed, uploaded] : cases) {
    StartAgain();
    model->SelectMode(1, ProgramMode::Duration);
    EXPECT_EQ(model->Accepts(1, setting, value), applied) << static_cast<int>(setting) << value;
    EXPECT_EQ(model->AllowedValues(1, setting), allowed);
    model->ApplySetting(1, setting, value);
    const ProgramSettings sent = model->UploadSettings(1);
    const int fields[] = {sent.currentIndex,
                          sent.frequencyIndex,
                          sent.pulseWidthUs,
                          static_cast<int>(sent.mode),
                          sent.durationHours * 3600 + sent.durationSeconds,
                          sent.passOhms,
                          sent.failOhms};
    EXPECT_EQ(fields[static_cast<int>(setting)], uploaded) << value;
    for (const ProgramBox box :
         {ProgramBox::PulseWidth, ProgramBox::Duration, ProgramBox::DurationHr,
          ProgramBox::PassOhms, ProgramBox::FailOhms})
      EXPECT_TRUE(model->BoxRefusal(1, box).isEmpty()) << value;
  }
  // Any setting applied shows every box's value again, also one the operator left refused.
  model->SetBoxText(1, ProgramBox::PassOhms, "2000");
  model->ApplySetting(1, ProgramSetting::Fail, 500);
  EXPECT_EQ(Box(1, ProgramBox::PassOhms), "150");
}

// A reply is written into the tab of its program number step by step through the controls;
// steps the controls refuse are skipped.
TEST_F(Model, ReceivedProgramSettlesItsTabsControls) {
  // received, then sent by an upload, the duration's boxes
  // clang-format off
  const std::tuple<ProgramSettings, ProgramSettings, const char*> cases[] = {
    // Single Measure resets the duration, also where it was selected already.
    {{1, 5, 3, 100, 600, 3, Mode(2), 100, 900}, {1, 5, 3, 100, 0, 0, Mode(2), 100, 900}, "00:30 0"},
    {{3, 5, 3, 100, 600, 3, Mode(2), 100, 900}, {3, 5, 3, 100, 0, 0, Mode(2), 100, 900}, "00:30 0"},
    // Without hours, fewer than 30 seconds become 30.
    {{1, 5, 3, 100, 12, 0, Mode(1), 100, 900}, {1, 5, 3, 100, 30, 0, Mode(1), 100, 900}, "00:30 0"},
    // Any mode other than 1 is Single Measure.
    {{1, 5, 3, 100, 600, 3, Mode(0), 100, 900}, {1, 5, 3, 100, 0, 0, Mode(2), 100, 900}, "00:30 0"},
    // No list positions 0 and 9; 600 us is brought to the maximum by the box's rule; 5000 s,
    // 150 h and pass 0 are outside their sliders, and the boxes show what the sliders kept.
    {{2, 0, 9, 600, 5000, 1, Mode(1), 0, 900}, {2, 1, 1, 500, 30, 1, Mode(1), 150, 900}, "00:30 1"},
    {{2, 1, 1, 200, 45, 150, Mode(1), 10, 900}, {2, 1, 1, 200, 45, 0, Mode(1), 10, 900}, "00:45 0"},
    // 100 us at 5 mA lies below the slider's range: the slider and its box keep 200.
    {{3, 1, 1, 100, 45, 0, Mode(1), 10, 900}, {3, 1, 1, 200, 45, 0, Mode(1), 10, 900}, "00:45 0"}};
  // clang-format on
  for (const auto& [received, upload, durationBoxes] : cases) {
    StartAgain();
    SetDuration(0, 1, 300);  // program 1 in Duration mode, 2 and 3 Single Measure
    model->ApplyReceivedProgram(received);
    const int i = received.number - 1;
    EXPECT_EQ(model->UploadSettings(i), upload) << "program " << i + 1;
    EXPECT_EQ(Box(i, ProgramBox::PulseWidth), QString::number(upload.pulseWidthUs));
    EXPECT_EQ(Box(i, ProgramBox::Duration) + ' ' + Box(i, ProgramBox::DurationHr), durationBoxes);
  }
  // A program number outside 1 to 3 changes nothing.
  StartAgain();
  for (const qint16 program : {0, 4})
    model->ApplyReceivedProgram({program, 5, 3, 100, 600, 2, Mode(1)});
  for (int i = 0; i < kProgramCount; ++i)
    EXPECT_EQ(model->UploadSettings(i),
              (ProgramSettings{static_cast<qint16>(i + 1), 1, 1, 200, 0, 0, Mode(2), 150, 1000}));
}

// The editor's bookkeeping of a full download ('D') and upload ('U'): a transfer completes after
// three program-values replies ('r') whatever their program numbers.
TEST(ProgramTransferState, CountsRepliesAsTheEditorDoes) {
  const QString load = "Program data load complete.";
  // steps, what each reply completes ("-" for nothing), loading and saving afterwards
  const std::tuple<std::string, QStringList, bool, bool> cases[] = {
      // A reply after the third completes a single program's download.
      {"Drrrr", {"-", "-", load, load}, false, false},
      // An upload during a download restarts the count; the download takes the completion and
      // the upload is never reported complete.
      {"DrUrrrrr", {"-", "-", "-", load, "-", "-"}, false, true},
      {"DrrDrrr", {"-", "-", "-", "-", load}, false, false},
      // A full download leaves an upload's flag as it was.
      {"UrDrrr", {"-", "-", "-", load}, false, true}};
  for (const auto& [steps, lines, loading, saving] : cases) {
    ProgramTransferState state;
    QStringList completed;
    for (const char step : steps) {
      if (step == 'D') state.BeginDownload();
      if (step == 'U') state.BeginUpload();
      if (step == 'r') state.CountReply();
      if (step == 'r') completed << state.CompletionLine().value_or("-");
    }
    EXPECT_EQ(completed, lines) << steps;
    EXPECT_EQ(state.LoadingPrograms(), loading) << steps;
    EXPECT_EQ(state.SavingPrograms(), saving) << steps;
  }
}

}  // namespace
