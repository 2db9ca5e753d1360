#include <gtest/gtest.h>

#include "device_link/command_frames.h"
#include "device_link/protocol_numbers.h"
#include "device_link/reply_decoder.h"

#include <optional>
#include <utility>

namespace {

TEST(ProgramWriteFrame, WorkedExampleAndRoundingCases) {
  constexpr TestMode kD = TestMode::Duration;
  constexpr TestMode kS = TestMode::SingleMeasure;
  struct Case {
    ProgramSettings program;
    const char* frame;
  };
  const Case cases[] = {
      // 100 mA, 10 Hz, 100 us: A = 100 uA, C = 100.
      {{1, 5, 3, 100, 30, 0, kD, 100, 1000}, "(MP01,5,3,09,0030,1,000,100,100,0100,0000,1000)"},
      // 5 mA, 2 Hz, 10 us: C = 0.5 goes to the even 0; code 00.
      {{2, 1, 1, 10, 0, 0, kS, 1, 2}, "(MP02,1,1,00,0000,2,000,000,000,0001,0000,0002)"},
      // 30 us: C = 1.5 goes to 2.
      {{2, 1, 1, 30, 0, 0, kS, 1, 2}, "(MP02,1,1,02,0000,2,000,000,002,0001,0000,0002)"},
      // 1000 us: code 99; 15 us: 0.5 -> 0; 25 us: 1.5 -> 2.
      {{3, 1, 1, 1000, 1, 2, kD, 3, 4}, "(MP03,1,1,99,0001,1,000,010,050,0003,0002,0004)"},
      {{3, 1, 1, 15, 1, 2, kD, 3, 4}, "(MP03,1,1,00,0001,1,000,000,001,0003,0002,0004)"},
      {{3, 1, 1, 25, 1, 2, kD, 3, 4}, "(MP03,1,1,02,0001,1,000,000,001,0003,0002,0004)"},
      // A = 999: 0 mA and 999 uA; A = 1000: 1 and 000; A = 2499: 2 and 499.
      {{1, 3, 7, 416, 30, 0, kD, 150, 1000}, "(MP01,3,7,41,0030,1,000,998,083,0150,0000,1000)"},
      {{1, 4, 4, 1000, 30, 0, kD, 150, 1000}, "(MP01,4,4,99,0030,1,001,000,500,0150,0000,1000)"},
      {{1, 5, 5, 500, 3599, 99, kD, 999, 1000}, "(MP01,5,5,49,3599,1,002,500,500,0999,0099,1000)"},
      // 20 mA at 50 Hz: A equals the pulse width, 999 -> 0 mA 999 uA, 2499 -> 2 mA 499 uA.
      {{1, 3, 5, 999, 0, 0, kD, 1, 2}, "(MP01,3,5,99,0000,1,000,999,200,0001,0000,0002)"},
      {{1, 3, 5, 2499, 0, 0, kD, 1, 2}, "(MP01,3,5,249,0000,1,002,499,500,0001,0000,0002)"},
      // Fields longer than their width are written whole; unknown indexes give zeros.
      {{1, 9, 0, 200, 12345, 0, kD, 10, 20}, "(MP01,9,0,19,12345,1,000,000,000,0010,0000,0020)"},
  };
  for (const Case& c : cases) EXPECT_EQ(frames::SetProgramValues(c.program), c.frame) << c.frame;
}

// Codes back to microseconds as the decoder turns them, and widths to codes as the builder does
// (its rounding of other widths is in the frames above); past 16 bits a code has no width.
TEST(PulseWidthCode, TravelsBothWays) {
  using Code = std::pair<std::int16_t, std::optional<std::int16_t>>;
  const Code cases[] = {{0, 10}, {1, 20},         {19, 200},     {49, 500},  {99, 1000},
                        {-1, 0}, {-3277, -32760}, {3275, 32760}, {3276, {}}, {-3278, {}}};
  for (const auto& [code, microseconds] : cases) {
    EXPECT_EQ(PulseWidthMicroseconds(code), microseconds) << code;
    if (microseconds) {
      EXPECT_EQ(PulseWidthCode(*microseconds), code) << *microseconds;
    }
  }
}

TEST(RequestFrames, FixedAndParameterisedFrames) {
  struct Case {
    std::string actual;
    const char* expected;
  };
  // clang-format off
  const Case cases[] = {
      {frames::CommCheck(), "(*)"}, {frames::Query(), "(?)"}, {frames::RequestData(), "(L)"},
      {frames::GetCalibrationDate(), "(MD1)"}, {frames::GetCalValues(), "(I?)"},
      {frames::SetCalibrationDate(2020, 1, 5), "(MD02020,01,05)"},
      {frames::SetCalibrationDate(12345, 123, 7), "(MD012345,123,07)"},
      {frames::GetFirmwareVersion(), "(MV1)"}, {frames::GetSerialNumber(), "(MS1)"},
      {frames::SetSerialNumber(7), "(MS000007)"}, {frames::SetSerialNumber(42), "(MS000042)"},
      {frames::SetSerialNumber(32767), "(MS032767)"},
      {frames::SetProgramValuesDirect("1,2,3"), "(MP01,2,3)"},
      {frames::CurrentCalAdjust(2, true), "(I2+)"}, {frames::CurrentCalAdjust(2, false), "(I2-)"},
      {frames::CurrentCalAdjust(17, true), "(I17+)"},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(RequestFrames, RangeCheckedRequestsQueueNothingOutsideOneToThree) {
  for (std::int16_t id : {0, -1, 4, 32767}) {
    EXPECT_FALSE(frames::GetProgramValues(id)) << id;
    EXPECT_FALSE(frames::RunTest(id)) << id;
  }
  EXPECT_EQ(frames::GetProgramValues(2), "(MP12)");
  EXPECT_EQ(frames::RunTest(3), "(G3)");
}

TEST(ProtocolNumbers, LookupsGiveZeroOutsideTheirTables) {
  EXPECT_EQ(CurrentLevelMilliamps(5), 100);
  EXPECT_EQ(FrequencyHertz(7), 120);
  for (std::int16_t outside : {0, -3, 6}) EXPECT_EQ(CurrentLevelMilliamps(outside), 0);
  for (std::int16_t outside : {0, -3, 9}) EXPECT_EQ(FrequencyHertz(outside), 0);
}

TEST(ProtocolNumbers, ParseInt16AcceptsBlanksAndSignOnly) {
  const std::pair<const char*, std::optional<std::int16_t>> cases[] = {
      {"0042", 42},     {" 7 ", 7},         {"-12", -12},  {"+3", 3},
      {"32767", 32767}, {"-32768", -32768}, {"32768", {}}, {"-32769", {}},
      {"", {}},         {"  ", {}},         {"1.5", {}},   {"1,5", {}},
      {"x1", {}},       {"1 2", {}},        {"-", {}},     {"99999999999", {}}};
  for (auto [text, expected] : cases) EXPECT_EQ(ParseInt16(text), expected) << text;
}

}  // namespace
