#include "model_fixture.h"

namespace {

using ReceivedProgramTest = StartedModelTest;

// 100 mA, 10 Hz, code 9 (100 us), pass 100, fail 900.
ReceivedProgram Received(qint16 program, qint16 mode, qint16 hours, qint16 seconds) {
  return {program, 5, 3, 9, seconds, hours, mode, 100, 900};
}

TEST_F(ReceivedProgramTest, WritesEverySettingIntoItsTab) {
  model.ApplyReceivedProgram(Received(2, 1, 2, 610));
  EXPECT_EQ(model.UploadArgumentsFor(1), (UploadArguments{2, 5, 3, 100, 610, 2, 1, 100, 900}));
  EXPECT_EQ(Box(1, ProgramBox::Duration), "10:10");
  EXPECT_EQ(Box(1, ProgramBox::AverageCurrent), "000.100");
  EXPECT_EQ(Box(0, ProgramBox::PulseWidth), "200");
}

TEST_F(ReceivedProgramTest, SingleMeasureIntoADurationTabResetsTheDuration) {
  SetDuration(0, 1, 300);
  model.ApplyReceivedProgram(Received(1, 2, 3, 600));
  EXPECT_EQ(model.Mode(0), ProgramMode::SingleMeasure);
  EXPECT_FALSE(model.Slider(0, ProgramSlider::Duration).enabled);
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:30");
  EXPECT_EQ(Value(0, ProgramSlider::Duration), 30);
  EXPECT_EQ(Box(0, ProgramBox::DurationHr), "0");
}

// Re-selecting the option that is already selected runs the mode rule again.
TEST_F(ReceivedProgramTest, SingleMeasureIntoASingleMeasureTabAlsoShowsThirtySeconds) {
  model.ApplyReceivedProgram(Received(3, 2, 3, 600));
  EXPECT_EQ(Box(2, ProgramBox::Duration), "00:30");
  EXPECT_EQ(Value(2, ProgramSlider::DurationHr), 0);
}

TEST_F(ReceivedProgramTest, ShortDurationWithoutHoursBecomesThirtySeconds) {
  SetDuration(0, 1, 600);
  model.ApplyReceivedProgram(Received(1, 1, 0, 12));
  EXPECT_EQ(Value(0, ProgramSlider::Duration), 30);
  EXPECT_EQ(Box(0, ProgramBox::Duration), "00:30");
}

TEST_F(ReceivedProgramTest, RefusedStepsAreSkippedAndTheRestApplied) {
  // No list positions 0 and 9; 600 us is brought to the maximum by the box's rule; 5000 s and
  // pass 0 are outside their sliders.
  model.ApplyReceivedProgram({1, 0, 9, 59, 5000, 1, 1, 0, 900});
  EXPECT_EQ(model.UploadArgumentsFor(0), (UploadArguments{1, 1, 1, 500, 30, 1, 1, 150, 900}));
}

TEST_F(ReceivedProgramTest, ProgramNumberOutsideOneToThreeChangesNothing) {
  const auto uploads = [this] {
    std::vector<UploadArguments> all;
    for (int i = 0; i < kProgramCount; ++i) all.push_back(model.UploadArgumentsFor(i));
    return all;
  };
  const auto before = uploads();
  model.ApplyReceivedProgram(Received(4, 1, 2, 600));
  model.ApplyReceivedProgram(Received(0, 1, 2, 600));
  EXPECT_EQ(uploads(), before);
}

}  // namespace
