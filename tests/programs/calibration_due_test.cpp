// When a tester's calibration is overdue, from the date it reports and the bench's interval.
#include <QDate>

#include <gtest/gtest.h>

#include "programs/tester_identity.h"

namespace {

TesterIdentity CalibratedOn(const QString& year, const QString& month, const QString& day) {
  TesterIdentity identity;
  identity.firmware = QStringLiteral("01.02");
  identity.serial = QStringLiteral("00001");
  identity.calibrationYear = year;
  identity.calibrationMonth = month;
  identity.calibrationDay = day;
  return identity;
}

TEST(CalibrationDue, OverdueFromTheDayAfterTheIntervalEnds) {
  struct Case {
    const char* year;
    const char* month;
    const char* day;
    int intervalMonths;
    QDate today;
    bool overdue;
  };
  const Case cases[] = {
      {"2024", "01", "15", 0, QDate(2030, 1, 1), false},    // no interval: never
      {"2024", "01", "15", -3, QDate(2030, 1, 1), false},   // nor a negative one
      {"2024", "01", "15", 12, QDate(2025, 1, 15), false},  // due that day
      {"2024", "01", "15", 12, QDate(2025, 1, 16), true},
      {"2024", "01", "15", 6, QDate(2024, 7, 16), true},
      {"2024", "08", "31", 6, QDate(2025, 2, 28), false},  // a shorter month: its last day
      {"2024", "08", "31", 6, QDate(2025, 3, 1), true},
      {"2024", "13", "01", 12, QDate(2024, 2, 1), true},  // no such date: not shown calibrated
      {"20x4", "01", "15", 12, QDate(2024, 2, 1), true},
  };
  for (const Case& c : cases) {
    const TesterIdentity identity = CalibratedOn(
        QString::fromLatin1(c.year), QString::fromLatin1(c.month), QString::fromLatin1(c.day));
    EXPECT_EQ(CalibrationOverdue(identity, c.intervalMonths, c.today), c.overdue)
        << c.year << '-' << c.month << '-' << c.day << " every " << c.intervalMonths << " on "
        << c.today.toString(Qt::ISODate).toStdString();
  }
  EXPECT_TRUE(CalibrationOverdue(TesterIdentity{}, 12, QDate(2024, 1, 1)));
}

}  // namespace
