#include <QLocale>

#include <gtest/gtest.h>
#include <ostream>

#include "program_values.h"

namespace {

struct DerivedCase {
  int milliamps, hertz, pulseWidth;
  const char* average;
  const char* charge;
};
void PrintTo(const DerivedCase& c, std::ostream* out) {
  *out << c.milliamps << "mA " << c.hertz << "Hz " << c.pulseWidth << "us";
}

class DerivedValueTexts : public ::testing::TestWithParam<DerivedCase> {};

// Average current: whole microamperes, a half to the even neighbour. Charge: tenths, a half up.
TEST_P(DerivedValueTexts, RoundAndUseTheLocalesDecimalSeparator) {
  const DerivedCase& c = GetParam();
  for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German)}) {
    const QChar separator = locale.decimalPoint().at(0);
    EXPECT_EQ(AverageCurrentText(c.milliamps, c.hertz, c.pulseWidth, locale),
              QString(c.average).replace('.', separator));
    EXPECT_EQ(PulseChargeText(c.milliamps, c.pulseWidth, locale),
              QString(c.charge).replace('.', separator));
  }
}

INSTANTIATE_TEST_SUITE_P(, DerivedValueTexts,
                         ::testing::Values(DerivedCase{5, 2, 250, "000.002", "01.3"},
                                           DerivedCase{5, 2, 350, "000.004", "01.8"},
                                           DerivedCase{5, 2, 200, "000.002", "01.0"},
                                           DerivedCase{5, 2, 210, "000.002", "01.1"},
                                           DerivedCase{5, 2, 270, "000.003", "01.4"},
                                           DerivedCase{100, 150, 300, "004.500", "30.0"}));

}  // namespace
