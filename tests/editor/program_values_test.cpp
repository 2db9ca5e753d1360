#include <QLocale>

#include <ostream>

#include <gtest/gtest.h>

#include "program_values.h"

namespace {

const QLocale kPoint = QLocale::c();
const QLocale kComma{QLocale::German};

struct AverageCase {
  int milliamps, hertz, pulseWidth;
  const char* shown;
};
void PrintTo(const AverageCase& c, std::ostream* out) {
  *out << c.milliamps << "mA " << c.hertz << "Hz " << c.pulseWidth << "us";
}

class AverageCurrentTextTest : public ::testing::TestWithParam<AverageCase> {};

TEST_P(AverageCurrentTextTest, RoundsToWholeMicroampsHalfToEven) {
  const AverageCase& c = GetParam();
  EXPECT_EQ(AverageCurrentText(c.milliamps, c.hertz, c.pulseWidth, kPoint), c.shown);
  EXPECT_EQ(AverageCurrentText(c.milliamps, c.hertz, c.pulseWidth, kComma),
            QString(c.shown).replace('.', ','));
}

INSTANTIATE_TEST_SUITE_P(
    , AverageCurrentTextTest,
    ::testing::Values(AverageCase{5, 2, 250, "000.002"}, AverageCase{5, 2, 350, "000.004"},
                      AverageCase{5, 2, 200, "000.002"}, AverageCase{5, 2, 270, "000.003"},
                      AverageCase{100, 150, 300, "004.500"}, AverageCase{50, 20, 100, "000.100"},
                      AverageCase{100, 120, 250, "003.000"}));

struct ChargeCase {
  int milliamps, pulseWidth;
  const char* shown;
};
void PrintTo(const ChargeCase& c, std::ostream* out) {
  *out << c.milliamps << "mA " << c.pulseWidth << "us";
}

class PulseChargeTextTest : public ::testing::TestWithParam<ChargeCase> {};

TEST_P(PulseChargeTextTest, ShowsTenthsWithHalfRoundingUp) {
  const ChargeCase& c = GetParam();
  EXPECT_EQ(PulseChargeText(c.milliamps, c.pulseWidth, kPoint), c.shown);
  EXPECT_EQ(PulseChargeText(c.milliamps, c.pulseWidth, kComma), QString(c.shown).replace('.', ','));
}

INSTANTIATE_TEST_SUITE_P(, PulseChargeTextTest,
                         ::testing::Values(ChargeCase{5, 200, "01.0"}, ChargeCase{5, 210, "01.1"},
                                           ChargeCase{5, 250, "01.3"}, ChargeCase{100, 300, "30.0"},
                                           ChargeCase{10, 20, "00.2"}, ChargeCase{20, 50, "01.0"}));

TEST(DurationTextTest, ShowsMinutesAndSecondsWithTwoDigitsEach) {
  EXPECT_EQ(DurationText(30), "00:30");
  EXPECT_EQ(DurationText(0), "00:00");
  EXPECT_EQ(DurationText(125), "02:05");
  EXPECT_EQ(DurationText(3599), "59:59");
}

struct NumberCase {
  const char* text;
  bool isNumber;
  std::optional<qint16> value;
};
void PrintTo(const NumberCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class ReadWholeNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadWholeNumberTest, AcceptsOnlySignedDigitRuns) {
  const NumberCase& c = GetParam();
  const WholeNumberText read = ReadWholeNumber(QString::fromUtf8(c.text));
  EXPECT_EQ(read.isNumber, c.isNumber);
  EXPECT_EQ(read.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    , ReadWholeNumberTest,
    ::testing::Values(
        NumberCase{"", false, {}}, NumberCase{"   ", false, {}}, NumberCase{"007", true, 7},
        NumberCase{" 12 ", true, 12}, NumberCase{"+7", true, 7}, NumberCase{"-3", true, -3},
        NumberCase{"32767", true, 32767}, NumberCase{"-32768", true, -32768},
        NumberCase{"32768", true, {}}, NumberCase{"123456789012345678901234567890", true, {}},
        NumberCase{"1,5", false, {}}, NumberCase{"1.0", false, {}}, NumberCase{"1e3", false, {}},
        NumberCase{"abc", false, {}}, NumberCase{"-", false, {}}, NumberCase{"1 2", false, {}}));

TEST(PulseWidthRangeTest, NarrowsByCurrentLevel) {
  const std::vector<std::tuple<int, int, int>> table{
      {5, 200, 500}, {10, 100, 500}, {20, 50, 500}, {50, 20, 500}, {100, 20, 300}};
  for (const auto& [milliamps, minimum, maximum] : table) {
    const auto range = PulseWidthRangeFor(milliamps);
    ASSERT_TRUE(range) << milliamps;
    EXPECT_EQ(range->minimum, minimum) << milliamps;
    EXPECT_EQ(range->maximum, maximum) << milliamps;
  }
  EXPECT_FALSE(PulseWidthRangeFor(7));
}

}  // namespace
