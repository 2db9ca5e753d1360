#include "model_fixture.h"

namespace {

using ReceivedProgramTest = StartedModelTest;

ReceivedProgram Received(qint16 program, qint16 mode, qint16 hours, qint16 seconds) {
  return {.vProgramIndex = program,
          .vCurrentIndex = 5,
          .vFrequencyIndex = 3,
          .vPW = 9,
          .vDuration = seconds,
          .vDurationHr = hours,
          .vMode = mode,
          .vPassValue = 100,
          .vFailValue = 900};
}

TEST_F(ReceivedProgramTest, WritesEverySettingIntoItsTab) {
  model.ApplyReceivedProgram(Received(2, 1, 2, 610));
  EXPECT_EQ(model.ListText(1, ProgramList::Current), "100");
  EXPECT_EQ(model.ListText(1, ProgramList::Frequency), "10");
  EXPECT_EQ(Value(1, ProgramSlider::PulseWidth), 100);
  EXPECT_EQ(Box(1, ProgramBox::PulseWidth), "100");
  EXPECT_EQ(model.Mode(1), ProgramMode::Duration);
  EXPECT_TRUE(model.BoxEnabled(1, ProgramBox::Duration));
  EXPECT_EQ(Value(1, ProgramSlider::DurationHr), 2);
  EXPECT_EQ(Box(1, ProgramBox::DurationHr), "2");
  EXPECT_EQ(Value(1, ProgramSlider::Duration), 610);
  EXPECT_EQ(Box(1, ProgramBox::Duration), "10:10");
  EXPECT_EQ(Box(1, ProgramBox::PassOhms), "100");
  EXPECT_EQ(Value(1, ProgramSlider::FailOhms), 900);
  EXPECT_EQ(Box(1, ProgramBox::AverageCurrent), "000.100");
  EXPECT_EQ(Box(1, ProgramBox::PulseCharge), "10.0");
  EXPECT_EQ(Box(0, ProgramBox::PulseWidth), "200");
}

TEST_F(ReceivedProgramTest, SingleMeasureIntoADurationTabResetsTheDuration) {
  SetDuration(0, 1, 300);
  model.ApplyReceivedProgram(Received(1, 2, 3, 600));
  EXPECT_EQ(model.Mode(0), ProgramMode::SingleMeasure);
  EXPECT_FALSE(model.Slider(0, ProgramSlider::Duration).enabled);
  EXPECT_FALSE(model.BoxEnabled(0, ProgramBox::DurationHr));
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:30");
  EXPECT_EQ(Value(0, ProgramSlider::Duration), 30);
  EXPECT_EQ(Box(0, ProgramBox::DurationHr), "0");
  EXPECT_EQ(Value(0, ProgramSlider::DurationHr), 0);
}

TEST_F(ReceivedProgramTest, SingleMeasureIntoASingleMeasureTabAlsoShowsThirtySeconds) {
  model.ApplyReceivedProgram(Received(3, 2, 3, 600));
  EXPECT_EQ(Box(2, ProgramBox::Duration), "00:30");
  EXPECT_EQ(Box(2, ProgramBox::DurationHr), "0");
}

TEST_F(ReceivedProgramTest, ShortDurationWithoutHoursBecomesThirtySeconds) {
  SetDuration(0, 1, 600);
  model.ApplyReceivedProgram(Received(1, 1, 0, 12));
  EXPECT_EQ(Value(0, ProgramSlider::Duration), 30);
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:30");
  EXPECT_EQ(model.Slider(0, ProgramSlider::Duration).minimum, 30);
}

TEST_F(ReceivedProgramTest, PulseWidthCodeNineteenIsTwoHundredMicroseconds) {
  ReceivedProgram received = Received(1, 2, 0, 30);
  received.vCurrentIndex = 4;
  received.vPW = 19;
  model.ApplyReceivedProgram(received);
  EXPECT_EQ(Value(0, ProgramSlider::PulseWidth), 200);
}

TEST_F(ReceivedProgramTest, RefusedStepsAreSkippedAndTheRestApplied) {
  ReceivedProgram received = Received(1, 1, 1, 5000);
  received.vCurrentIndex = 0;    // no such list position
  received.vFrequencyIndex = 9;  // no such list position
  received.vPW = 59;             // 600 us: the box's rule brings it to the maximum
  received.vPassValue = 0;       // below the pass minimum
  model.ApplyReceivedProgram(received);
  EXPECT_EQ(model.ListText(0, ProgramList::Current), "5");
  EXPECT_EQ(model.ListText(0, ProgramList::Frequency), "2");
  EXPECT_EQ(Value(0, ProgramSlider::PulseWidth), 500);
  EXPECT_EQ(Value(0, ProgramSlider::DurationHr), 1);
  EXPECT_EQ(Value(0, ProgramSlider::Duration), 30);
  EXPECT_EQ(Value(0, ProgramSlider::PassOhms), 150);
  EXPECT_EQ(Box(0, ProgramBox::PassOhms), "0");
  EXPECT_EQ(Value(0, ProgramSlider::FailOhms), 900);
}

TEST_F(ReceivedProgramTest, ProgramNumberOutsideOneToThreeChangesNothing) {
  const auto snapshot = [this] {
    QStringList state;
    for (int i = 0; i < kProgramCount; ++i) {
      state << model.ListText(i, ProgramList::Current) << model.ListText(i, ProgramList::Frequency);
      for (int s = 0; s < kSliderCount; ++s) {
        state << QString::number(Value(i, static_cast<ProgramSlider>(s)));
      }
      for (int b = 0; b < kBoxCount; ++b) state << Box(i, static_cast<ProgramBox>(b));
      state << QString::number(static_cast<int>(model.Mode(i)));
    }
    return state;
  };
  const QStringList before = snapshot();
  model.ApplyReceivedProgram(Received(4, 1, 2, 600));
  model.ApplyReceivedProgram(Received(0, 1, 2, 600));
  EXPECT_EQ(snapshot(), before);
}

}  // namespace
