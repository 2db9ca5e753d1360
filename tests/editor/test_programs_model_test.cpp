#include <QSignalSpy>

#include "model_fixture.h"

namespace {

using Model = StartedModelTest;

TEST_F(Model, StartsEveryProgramWithTheDefaults) {
  for (int i = 0; i < kProgramCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(model.ListText(i, ProgramList::Current), "5");
    EXPECT_EQ(model.ListText(i, ProgramList::Frequency), "2");
    EXPECT_EQ(model.Slider(i, ProgramSlider::PulseWidth), (SliderState{200, 200, 500, true}));
    EXPECT_EQ(Box(i, ProgramBox::PulseWidth), "200");
    EXPECT_EQ(model.Mode(i), ProgramMode::SingleMeasure);
    EXPECT_EQ(model.Slider(i, ProgramSlider::Duration), (SliderState{30, 30, 3599, false}));
    EXPECT_EQ(Box(i, ProgramBox::Duration), "00:30");
    EXPECT_EQ(model.Slider(i, ProgramSlider::DurationHr), (SliderState{0, 0, 99, false}));
    EXPECT_EQ(Box(i, ProgramBox::DurationHr), "0");
    EXPECT_FALSE(model.BoxEnabled(i, ProgramBox::Duration));
    EXPECT_FALSE(model.BoxEnabled(i, ProgramBox::DurationHr));
    EXPECT_EQ(Value(i, ProgramSlider::PassOhms), 150);
    EXPECT_EQ(Box(i, ProgramBox::PassOhms), "150");
    EXPECT_EQ(Value(i, ProgramSlider::FailOhms), 1000);
    EXPECT_EQ(Box(i, ProgramBox::FailOhms), "1000");
    EXPECT_EQ(Box(i, ProgramBox::AverageCurrent), "000.002");
    EXPECT_EQ(Box(i, ProgramBox::PulseCharge), "01.0");
  }
}

TEST(ModelStartUp, ComputesNoDerivedValueBeforeEditorReady) {
  TestProgramsModel model(QLocale::c());
  model.InitializeEditor();
  model.SetListText(0, ProgramList::Current, "100");
  EXPECT_EQ(model.BoxText(0, ProgramBox::AverageCurrent), "");
  EXPECT_EQ(model.BoxText(0, ProgramBox::PulseCharge), "");
}

TEST_F(Model, PickingACurrentLevelSetsThePulseWidthRange) {
  const std::vector<std::tuple<const char*, int, int>> table{
      {"10", 100, 500}, {"20", 50, 500}, {"50", 20, 500}, {"100", 20, 300}, {"5", 200, 500}};
  for (const auto& [milliamps, minimum, maximum] : table) {
    PickCurrent(0, milliamps);
    const SliderState pulse = model.Slider(0, ProgramSlider::PulseWidth);
    EXPECT_EQ(pulse.minimum, minimum) << milliamps;
    EXPECT_EQ(pulse.maximum, maximum) << milliamps;
  }
}

struct ClampCase {
  const char* fromCurrent;
  int fromWidth;
  const char* toCurrent;
  int expectedWidth;
  const char* average;  // at 2 Hz
  const char* charge;
};
void PrintTo(const ClampCase& c, std::ostream* out) {
  *out << c.fromCurrent << "mA at " << c.fromWidth << "us, then " << c.toCurrent << "mA";
}

class CurrentLevelClamp : public StartedModelTest,
                          public ::testing::WithParamInterface<ClampCase> {};

TEST_P(CurrentLevelClamp, MovesPulseWidthIntoTheNewRange) {
  const ClampCase& c = GetParam();
  PickCurrent(1, c.fromCurrent);
  model.SetSliderValue(1, ProgramSlider::PulseWidth, c.fromWidth);
  ASSERT_EQ(Value(1, ProgramSlider::PulseWidth), c.fromWidth);
  PickCurrent(1, c.toCurrent);
  EXPECT_EQ(Value(1, ProgramSlider::PulseWidth), c.expectedWidth);
  EXPECT_EQ(Box(1, ProgramBox::PulseWidth), QString::number(c.expectedWidth));
  EXPECT_EQ(Box(1, ProgramBox::AverageCurrent), c.average);
  EXPECT_EQ(Box(1, ProgramBox::PulseCharge), c.charge);
}

INSTANTIATE_TEST_SUITE_P(, CurrentLevelClamp,
                         ::testing::Values(ClampCase{"50", 30, "5", 200, "000.002", "01.0"},
                                           ClampCase{"10", 500, "100", 300, "000.060", "30.0"},
                                           ClampCase{"100", 250, "50", 250, "000.025", "12.5"}));

TEST_F(Model, PulseWidthSliderSnapsDownToAMultipleOfTen) {
  model.SetSliderValue(0, ProgramSlider::PulseWidth, 205);
  EXPECT_EQ(Value(0, ProgramSlider::PulseWidth), 200);
  EXPECT_EQ(Box(0, ProgramBox::PulseWidth), "200");
  model.SetSliderValue(0, ProgramSlider::PulseWidth, 259);
  EXPECT_EQ(Value(0, ProgramSlider::PulseWidth), 250);
  EXPECT_EQ(Box(0, ProgramBox::AverageCurrent), "000.002");
  EXPECT_EQ(Box(0, ProgramBox::PulseCharge), "01.3");
}

TEST_F(Model, SliderRefusesAValueOutsideItsRange) {
  model.SetSliderValue(0, ProgramSlider::PassOhms, 1000);
  model.SetSliderValue(0, ProgramSlider::PulseWidth, 190);
  EXPECT_EQ(Value(0, ProgramSlider::PassOhms), 150);
  EXPECT_EQ(Value(0, ProgramSlider::PulseWidth), 200);
}

struct BoxCase {
  const char* current;
  ProgramBox box;
  const char* text;
  const char* shown;
  int value;
};
void PrintTo(const BoxCase& c, std::ostream* out) {
  *out << "box " << static_cast<int>(c.box) << " at " << c.current << "mA given \"" << c.text
       << '"';
}

class BoxValidation : public StartedModelTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(BoxValidation, SettlesBoxAndSlider) {
  const BoxCase& c = GetParam();
  PickCurrent(2, c.current);
  model.SetSliderValue(2, ProgramSlider::FailOhms, 500);
  model.SetBoxText(2, c.box, QString::fromUtf8(c.text));
  EXPECT_EQ(Box(2, c.box), c.shown);
  EXPECT_EQ(Value(2, static_cast<ProgramSlider>(c.box)), c.value);
}

constexpr auto kPulse = ProgramBox::PulseWidth;
constexpr auto kPass = ProgramBox::PassOhms;
constexpr auto kFail = ProgramBox::FailOhms;

INSTANTIATE_TEST_SUITE_P(
    , BoxValidation,
    ::testing::Values(
        BoxCase{"5", kPass, "", "0", 150}, BoxCase{"5", kPass, "007", "7", 7},
        BoxCase{"5", kPass, "2000", "2000", 150}, BoxCase{"5", kPass, "1,5", "0", 150},
        BoxCase{"5", kPass, "99999", "99999", 150}, BoxCase{"5", kFail, "1,5", "1000", 1000},
        BoxCase{"5", kFail, "", "1000", 1000}, BoxCase{"5", kFail, " 600 ", "600", 600},
        BoxCase{"5", kPulse, "", "0", 200}, BoxCase{"5", kPulse, "600", "500", 500},
        BoxCase{"5", kPulse, "99999", "500", 500}, BoxCase{"5", kPulse, "0300", "300", 300},
        BoxCase{"50", kPulse, "10", "10", 200}, BoxCase{"100", kPulse, "400", "300", 300}));

TEST_F(Model, PulseWidthBoxBelowTheRangeLeavesTheDerivedValuesOnTheSlider) {
  PickCurrent(0, "50");
  model.SetBoxText(0, ProgramBox::PulseWidth, "10");
  EXPECT_EQ(Box(0, ProgramBox::PulseCharge), "10.0");  // 50 mA x 200 us
  EXPECT_EQ(model.UploadArgumentsFor(0).vPW, 200);
}

TEST_F(Model, HoursBackToZeroLiftsTheSecondsToThirty) {
  SetDuration(0, 1, 10);
  ASSERT_EQ(model.Slider(0, ProgramSlider::Duration).minimum, 0);
  ASSERT_EQ(Box(0, ProgramBox::Duration), "00:10");
  model.SetSliderValue(0, ProgramSlider::DurationHr, 0);
  EXPECT_EQ(model.Slider(0, ProgramSlider::Duration).minimum, 30);
  EXPECT_EQ(Value(0, ProgramSlider::Duration), 30);
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:30");
}

TEST_F(Model, HoursAboveZeroLetTheSecondsGoDownToZero) {
  SetDuration(0, 1, 0);
  EXPECT_EQ(model.Slider(0, ProgramSlider::Duration).minimum, 0);
  EXPECT_EQ(Value(0, ProgramSlider::Duration), 0);
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:00");
  EXPECT_EQ(Box(0, ProgramBox::DurationHr), "1");
}

TEST_F(Model, DraggingTheHoursShowsThemAtOnceAndSettlesTheSecondsOnRelease) {
  SetDuration(0, 1, 10);
  model.DragSlider(0, ProgramSlider::DurationHr, 0);
  EXPECT_EQ(Box(0, ProgramBox::DurationHr), "0");
  EXPECT_EQ(model.Slider(0, ProgramSlider::Duration).minimum, 0);
  EXPECT_EQ(Value(0, ProgramSlider::Duration), 10);
  model.EndSliderDrag(0, ProgramSlider::DurationHr);
  EXPECT_EQ(model.Slider(0, ProgramSlider::Duration).minimum, 30);
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:30");
}

TEST_F(Model, DraggingThePulseWidthSnapsWhileDragging) {
  model.DragSlider(0, ProgramSlider::PulseWidth, 347);
  EXPECT_EQ(Value(0, ProgramSlider::PulseWidth), 340);
  EXPECT_EQ(Box(0, ProgramBox::PulseWidth), "340");
  EXPECT_EQ(Box(0, ProgramBox::PulseCharge), "01.7");
}

TEST_F(Model, SingleMeasureDisablesAndResetsTheDuration) {
  SetDuration(1, 2, 45 * 60);
  ASSERT_TRUE(model.BoxEnabled(1, ProgramBox::Duration));
  model.SelectMode(1, ProgramMode::SingleMeasure);
  EXPECT_FALSE(model.Slider(1, ProgramSlider::Duration).enabled);
  EXPECT_FALSE(model.Slider(1, ProgramSlider::DurationHr).enabled);
  EXPECT_FALSE(model.BoxEnabled(1, ProgramBox::Duration));
  EXPECT_FALSE(model.BoxEnabled(1, ProgramBox::DurationHr));
  EXPECT_EQ(Value(1, ProgramSlider::Duration), 30);
  EXPECT_EQ(Value(1, ProgramSlider::DurationHr), 0);
  EXPECT_EQ(Box(1, ProgramBox::Duration), "00:30");
  EXPECT_EQ(Box(1, ProgramBox::DurationHr), "0");

  model.SelectMode(1, ProgramMode::Duration);
  EXPECT_TRUE(model.Slider(1, ProgramSlider::Duration).enabled);
  EXPECT_TRUE(model.BoxEnabled(1, ProgramBox::DurationHr));
  EXPECT_EQ(Value(1, ProgramSlider::Duration), 30);
  EXPECT_EQ(Box(1, ProgramBox::Duration), "00:30");
}

TEST_F(Model, ReselectingSingleMeasureRunsTheModeRuleAgain) {
  model.SetSliderValue(0, ProgramSlider::DurationHr, 2);
  ASSERT_EQ(Box(0, ProgramBox::DurationHr), "2");
  model.SelectMode(0, ProgramMode::SingleMeasure);
  EXPECT_EQ(Value(0, ProgramSlider::DurationHr), 0);
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:30");
}

TEST_F(Model, PassFailLimitsHoldOnlyWhenEveryPassIsBelowItsFail) {
  struct Case {
    std::array<std::pair<int, int>, 3> limits;
    bool valid;
  };
  const std::vector<Case> table{
      {{{{150, 1000}, {999, 1000}, {10, 2}}}, false},
      {{{{150, 1000}, {999, 1000}, {998, 999}}}, true},
      {{{{150, 1000}, {999, 1000}, {999, 999}}}, false},
      {{{{500, 400}, {1, 2}, {1, 2}}}, false},
  };
  for (const Case& c : table) {
    for (int i = 0; i < kProgramCount; ++i) {
      model.SetSliderValue(i, ProgramSlider::PassOhms, c.limits[i].first);
      model.SetSliderValue(i, ProgramSlider::FailOhms, c.limits[i].second);
    }
    EXPECT_EQ(model.ValidatePassFailLimits(), c.valid) << c.limits[2].first;
  }
}

TEST_F(Model, ListTextSelectsTheMatchingItemOnly) {
  model.SetListText(0, ProgramList::Frequency, "120");
  EXPECT_EQ(model.ListPosition(0, ProgramList::Frequency), 6);
  model.SetListText(0, ProgramList::Frequency, "7");
  model.PickListPosition(0, ProgramList::Frequency, 8);
  EXPECT_EQ(model.ListPosition(0, ProgramList::Frequency), 6);
  EXPECT_EQ(Box(0, ProgramBox::AverageCurrent), "000.120");
}

TEST_F(Model, UploadSendsSlidersAndListsWithSingleMeasureDurationsZero) {
  PickCurrent(0, "20");
  model.SetListText(0, ProgramList::Frequency, "50");
  SetDuration(0, 2, 600);
  model.SetSliderValue(1, ProgramSlider::DurationHr, 3);
  model.SetBoxText(2, ProgramBox::PassOhms, "2000");
  EXPECT_EQ(model.UploadArgumentsFor(0), (UploadArguments{1, 3, 5, 200, 600, 2, 1, 150, 1000}));
  EXPECT_EQ(model.UploadArgumentsFor(1), (UploadArguments{2, 1, 1, 200, 0, 0, 2, 150, 1000}));
  EXPECT_EQ(model.UploadArgumentsFor(2), (UploadArguments{3, 1, 1, 200, 0, 0, 2, 150, 1000}));
}

TEST_F(Model, TellsTheViewOnceAboutTheProgramAnOperationTouched) {
  QSignalSpy changed(&model, &TestProgramsModel::ProgramChanged);
  PickCurrent(1, "100");
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.at(0).at(0).toInt(), 1);
}

class ModelInGermany : public StartedModelTest {
 protected:
  ModelInGermany() : StartedModelTest(QLocale(QLocale::German)) {}
};

TEST_F(ModelInGermany, ShowsDerivedValuesWithADecimalComma) {
  EXPECT_EQ(Box(0, ProgramBox::AverageCurrent), "000,002");
  EXPECT_EQ(Box(0, ProgramBox::PulseCharge), "01,0");
  PickCurrent(0, "100");
  model.SetListText(0, ProgramList::Frequency, "150");
  model.SetSliderValue(0, ProgramSlider::PulseWidth, 300);
  EXPECT_EQ(Box(0, ProgramBox::AverageCurrent), "004,500");
  EXPECT_EQ(Box(0, ProgramBox::PulseCharge), "30,0");
}

}  // namespace
