#include "simulated_tester_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "reply_decoder.h"

using namespace std::chrono_literals;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::IsEmpty;
using ::testing::NiceMock;

namespace {
// The replies to a request, without their timing.
std::vector<std::string> Frames(SimulatedTesterModel& tester, std::string_view request,
                                SimTime now = SimTime{0}) {
  std::vector<std::string> frames;
  for (const TimedReply& reply : tester.Answer(request, now)) frames.push_back(reply.frame);
  return frames;
}

struct Exchange {
  const char* request;
  std::vector<std::string> replies;
};

void PrintTo(const Exchange& exchange, std::ostream* out) { *out << exchange.request; }

class TesterAnswers : public ::testing::TestWithParam<Exchange> {};

TEST_P(TesterAnswers, AnswersAsTheTester) {
  SimulatedTesterModel tester;
  EXPECT_EQ(Frames(tester, GetParam().request), GetParam().replies);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, TesterAnswers,
    ::testing::Values(Exchange{"(*)", {"(*)"}},
                      Exchange{"(MP11)", {"(MP11,1,1,19,0030,2,000,002,010,0150,0000,1000)"}},
                      Exchange{"(MP13)", {"(MP13,1,1,19,0030,2,000,002,010,0150,0000,1000)"}},
                      Exchange{"(MP14)", {}}, Exchange{"(MP10)", {}}, Exchange{"(MP1)", {}},
                      Exchange{"(MV1)", {"(MV101.02)"}}, Exchange{"(MS1)", {"(MS100001)"}},
                      Exchange{"(MD1)", {"(MD12024,01,15)"}},
                      Exchange{"(I?)", {"(I005,010,020,050,100)"}},
                      Exchange{"(I3+)", {"(I13,021)"}}, Exchange{"(I1-)", {"(I11,004)"}},
                      Exchange{"(I6+)", {}}, Exchange{"(I0-)", {}}, Exchange{"(?)", {"(*)"}},
                      Exchange{"(L)", {}}, Exchange{"(G4)", {}}, Exchange{"(MS0123)", {}},
                      Exchange{"(MD02024,1,5)", {}}, Exchange{"(MP0garbage)", {}},
                      Exchange{"(Z)", {}}, Exchange{"()", {}}, Exchange{"*", {}}));

TEST(SimulatedTesterModel, StoresAWrittenProgramAndEchoesIt) {
  SimulatedTesterModel tester;
  ProgramWrite written;
  written.programId = 2;
  written.currentLevelIndex = 5;
  written.freqIndex = 3;
  written.pulseWidthUs = 100;
  written.duration = 30;
  written.durationHr = 4;
  written.mode = 1;
  written.pass = 100;
  written.fail = 999;

  EXPECT_THAT(Frames(tester, frames::SetProgramValues(written)),
              ElementsAre("(MP12,5,3,09,0030,1,000,100,100,0100,0004,0999)"));
  const auto stored = tester.Program(2);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->pulseWidthUs, 100);
  EXPECT_EQ(stored->durationHr, 4);
  EXPECT_EQ(stored->fail, 999);
  EXPECT_THAT(Frames(tester, "(MP12)"),
              ElementsAre("(MP12,5,3,09,0030,1,000,100,100,0100,0004,0999)"));
  EXPECT_THAT(Frames(tester, "(MP11)"),
              ElementsAre("(MP11,1,1,19,0030,2,000,002,010,0150,0000,1000)"));
}

TEST(SimulatedTesterModel, RefusesAProgramNumberItDoesNotHold) {
  SimulatedTesterModel tester;
  ProgramWrite fourth;
  fourth.programId = 4;
  EXPECT_FALSE(tester.SetProgram(fourth));
  EXPECT_THAT(Frames(tester, frames::SetProgramValues(fourth)), IsEmpty());
  EXPECT_FALSE(tester.Program(4));
}

TEST(SimulatedTesterModel, StoresSerialNumberAndCalibrationDate) {
  SimulatedTesterModel tester;
  EXPECT_THAT(Frames(tester, frames::SetSerialNumber(42)), ElementsAre("(MS100042)"));
  EXPECT_THAT(Frames(tester, frames::SetCalibrationDate(2025, 3, 9)),
              ElementsAre("(MD12025,03,09)"));
  EXPECT_THAT(Frames(tester, "(MS1)"), ElementsAre("(MS100042)"));
  EXPECT_THAT(Frames(tester, "(MD1)"), ElementsAre("(MD12025,03,09)"));
}

TEST(SimulatedTesterModel, SetpointsStayWithinThreeDigits) {
  SimulatedTesterModel tester;
  tester.setpoints = {0, 10, 20, 50, 999};
  EXPECT_THAT(Frames(tester, "(I1-)"), ElementsAre("(I11,000)"));
  EXPECT_THAT(Frames(tester, "(I5+)"), ElementsAre("(I15,999)"));
}

TEST(SimulatedTesterModel, ATestReportsRunningThenItsLastDataAfterItsDuration) {
  SimulatedTesterModel tester;
  tester.testDuration = 3s;
  tester.impedanceOhms = 87;
  const std::vector<TimedReply> replies = tester.Answer("(G2)", 10s);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].frame, "(!)");
  EXPECT_EQ(replies[0].delay, 0s);
  EXPECT_EQ(replies[1].frame, "(G20087,0010,0004)");
  EXPECT_EQ(replies[1].delay, 3s);

  EXPECT_THAT(Frames(tester, "(?)", 12s), ElementsAre("(!)"));
  EXPECT_THAT(Frames(tester, "(G1)", 12s), ElementsAre("(!)"));  // one test at a time
  EXPECT_THAT(Frames(tester, "(L)", 12s), IsEmpty());
  EXPECT_THAT(Frames(tester, "(?)", 13s), ElementsAre("(*)"));
  EXPECT_THAT(Frames(tester, "(L)", 13s), ElementsAre("(G20087,0010,0004)"));
}

class MockReplyEvents : public ReplyEvents {
 public:
  MOCK_METHOD(void, RXData, (const std::string&), (override));
  MOCK_METHOD(void, RXDataInBuffer, (const std::string&), (override));
  MOCK_METHOD(void, RXIdle, (), (override));
  MOCK_METHOD(void, RXRunningTest, (), (override));
  MOCK_METHOD(void, RXCurrentSetpoint, (std::int16_t, std::int16_t), (override));
  MOCK_METHOD(void, RXAllCurrentSetpoints,
              (std::int16_t, std::int16_t, std::int16_t, std::int16_t, std::int16_t), (override));
  MOCK_METHOD(void, RXLastData, (std::int16_t, std::int16_t, std::int16_t, std::int16_t, double),
              (override));
  MOCK_METHOD(void, RXCalibrationDate, (const std::string&, const std::string&, const std::string&),
              (override));
  MOCK_METHOD(void, RXFirmwareVersion, (const std::string&), (override));
  MOCK_METHOD(void, RXSerialNumber, (const std::string&), (override));
  MOCK_METHOD(void, RXProgramValues, (const ProgramValuesReply&), (override));
};

// The link's decoder must read every reply the simulator sends as the reply it stands for.
TEST(SimulatedTesterModel, RepliesDecodeAsTheirEvents) {
  SimulatedTesterModel tester;
  tester.impedanceOhms = 120;
  std::string wire;
  for (const char* request : {"(I4+)", "(I?)", "(MV1)", "(MS1)", "(MD1)", "(G3)", "(MP12)"}) {
    for (const TimedReply& reply : tester.Answer(request, SimTime{0})) wire += reply.frame;
  }

  NiceMock<MockReplyEvents> events;
  ::testing::InSequence order;
  EXPECT_CALL(events, RXCurrentSetpoint(4, 51));
  EXPECT_CALL(events, RXAllCurrentSetpoints(5, 10, 20, 51, 100));
  EXPECT_CALL(events, RXFirmwareVersion("01.02"));
  EXPECT_CALL(events, RXSerialNumber("00001"));
  EXPECT_CALL(events, RXCalibrationDate("2024", "01", "15"));
  EXPECT_CALL(events, RXRunningTest());
  EXPECT_CALL(events, RXLastData(3, 120, 10, 4, 120.0));
  EXPECT_CALL(events, RXProgramValues(AllOf(Field(&ProgramValuesReply::programIndex, 2),
                                            Field(&ProgramValuesReply::pwValue, 200),
                                            Field(&ProgramValuesReply::duration, 30),
                                            Field(&ProgramValuesReply::mode, 2),
                                            Field(&ProgramValuesReply::passValue, 150),
                                            Field(&ProgramValuesReply::failValue, 1000))));
  ReplyDecoder decoder;
  decoder.Decode(wire, events);
  EXPECT_EQ(decoder.remainder(), "");
}
}  // namespace
