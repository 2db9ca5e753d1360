#include <ostream>

#include "model_fixture.h"

namespace {

using Model = StartedModelTest;

struct ClampCase {
  const char* fromCurrent;
  int fromWidth;
  const char* toCurrent;
  int minimum, maximum, width;
  const char* charge;
};
void PrintTo(const ClampCase& c, std::ostream* out) {
  *out << c.fromCurrent << "mA at " << c.fromWidth << "us, then " << c.toCurrent << "mA";
}

class CurrentLevelRule : public StartedModelTest,
                         public ::testing::WithParamInterface<ClampCase> {};

TEST_P(CurrentLevelRule, SetsThePulseWidthRangeAndMovesTheWidthIntoIt) {
  const ClampCase& c = GetParam();
  PickCurrent(1, c.fromCurrent);
  model.SetSliderValue(1, ProgramSlider::PulseWidth, c.fromWidth);
  PickCurrent(1, c.toCurrent);
  EXPECT_EQ(model.Slider(1, ProgramSlider::PulseWidth),
            (SliderState{c.width, c.minimum, c.maximum, true}));
  EXPECT_EQ(Box(1, ProgramBox::PulseWidth), QString::number(c.width));
  EXPECT_EQ(Box(1, ProgramBox::PulseCharge), c.charge);
}

INSTANTIATE_TEST_SUITE_P(, CurrentLevelRule,
                         ::testing::Values(ClampCase{"50", 30, "5", 200, 500, 200, "01.0"},
                                           ClampCase{"10", 500, "100", 20, 300, 300, "30.0"},
                                           ClampCase{"100", 250, "50", 20, 500, 250, "12.5"},
                                           ClampCase{"5", 200, "10", 100, 500, 200, "02.0"},
                                           ClampCase{"5", 200, "20", 50, 500, 200, "04.0"}));

TEST_F(Model, PulseWidthSliderSnapsDownToAMultipleOfTen) {
  model.SetSliderValue(0, ProgramSlider::PulseWidth, 205);
  EXPECT_EQ(Value(0, ProgramSlider::PulseWidth), 200);
  EXPECT_EQ(Box(0, ProgramBox::PulseWidth), "200");
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

INSTANTIATE_TEST_SUITE_P(, BoxValidation,
                         ::testing::Values(BoxCase{"5", kPass, "", "0", 150},
                                           BoxCase{"5", kPass, "007", "7", 7},
                                           BoxCase{"5", kPass, "2000", "2000", 150},
                                           BoxCase{"5", kPass, "99999", "99999", 150},
                                           BoxCase{"5", kFail, "1,5", "1000", 1000},
                                           BoxCase{"5", kFail, " 600 ", "600", 600},
                                           BoxCase{"5", kPulse, "", "0", 200},
                                           BoxCase{"5", kPulse, "600", "500", 500},
                                           BoxCase{"5", kPulse, "99999", "500", 500},
                                           BoxCase{"50", kPulse, "10", "10", 200},
                                           BoxCase{"100", kPulse, "0250", "250", 250}));

TEST_F(Model, HoursBackToZeroLiftTheSecondsToThirty) {
  SetDuration(0, 1, 10);
  model.SetSliderValue(0, ProgramSlider::DurationHr, 0);
  EXPECT_EQ(model.Slider(0, ProgramSlider::Duration).minimum, 30);
  EXPECT_EQ(Value(0, ProgramSlider::Duration), 30);
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:30");
}

TEST_F(Model, HoursAboveZeroLetTheSecondsGoDownToZero) {
  SetDuration(0, 1, 0);
  EXPECT_EQ(Value(0, ProgramSlider::Duration), 0);
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:00");
}

TEST_F(Model, SingleMeasureDisablesAndResetsTheDurationAndDurationEnablesIt) {
  SetDuration(1, 2, 45 * 60);
  model.SelectMode(1, ProgramMode::SingleMeasure);
  EXPECT_FALSE(model.Slider(1, ProgramSlider::Duration).enabled);
  EXPECT_FALSE(model.BoxEnabled(1, ProgramBox::DurationHr));
  EXPECT_EQ(Value(1, ProgramSlider::Duration), 30);
  EXPECT_EQ(Value(1, ProgramSlider::DurationHr), 0);
  EXPECT_EQ(Box(1, ProgramBox::Duration), "00:30");
  EXPECT_EQ(Box(1, ProgramBox::DurationHr), "0");
  model.SelectMode(1, ProgramMode::Duration);
  EXPECT_TRUE(model.Slider(1, ProgramSlider::DurationHr).enabled);
  EXPECT_TRUE(model.BoxEnabled(1, ProgramBox::Duration));
  EXPECT_EQ(Box(1, ProgramBox::Duration), "00:30");
}

TEST_F(Model, PassFailLimitsHoldOnlyWhenEveryPassIsBelowItsFail) {
  const std::vector<std::pair<std::array<int, 6>, bool>> table{
      {{150, 1000, 999, 1000, 10, 2}, false},
      {{150, 1000, 999, 1000, 998, 999}, true},
      {{150, 1000, 999, 1000, 999, 999}, false},
  };
  for (const auto& [limits, valid] : table) {
    for (int i = 0; i < kProgramCount; ++i) {
      model.SetSliderValue(i, ProgramSlider::PassOhms, limits[2 * i]);
      model.SetSliderValue(i, ProgramSlider::FailOhms, limits[2 * i + 1]);
    }
    EXPECT_EQ(model.ValidatePassFailLimits(), valid) << limits[4] << "/" << limits[5];
  }
}

TEST_F(Model, UploadSendsSlidersAndListsWithSingleMeasureDurationsZero) {
  PickCurrent(0, "20");
  model.SetListText(0, ProgramList::Frequency, "50");
  SetDuration(0, 2, 600);
  model.SetSliderValue(1, ProgramSlider::DurationHr, 3);
  EXPECT_EQ(model.UploadArgumentsFor(0), (UploadArguments{1, 3, 5, 200, 600, 2, 1, 150, 1000}));
  EXPECT_EQ(model.UploadArgumentsFor(1), (UploadArguments{2, 1, 1, 200, 0, 0, 2, 150, 1000}));
}

}  // namespace
