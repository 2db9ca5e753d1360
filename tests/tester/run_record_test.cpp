#include "run_record.h"

#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

#include "qt_printers.h"

namespace {

const QDateTime kTime(QDate(2026, 3, 9), QTime(8, 5, 7), Qt::UTC);
const TestResult kPassed{2, 62.5, 150, 1000, Verdict::Pass, "00042", kTime};
const TestResult kNoReading{
    3, std::numeric_limits<double>::infinity(), 150, 1000, Verdict::NoReading, "A,\"1\"", kTime};
const QByteArray kHeader =
    "time,tester_serial,program,impedance_ohms,pass_ohms,fail_ohms,verdict\n";
const QByteArray kPassedLine = "2026-03-09T08:05:07Z,00042,2,62.5,150,1000,pass\n";
const QByteArray kNoReadingLine = "2026-03-09T08:05:07Z,\"A,\"\"1\"\"\",3,,150,1000,no reading\n";

QByteArray Contents(const QString& fileName) {
  QFile file(fileName);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

TEST(RunRecord, AppendsAfterOneHeaderAndSavesAllAtOnce) {
  QTemporaryDir dir;
  const QString log = dir.filePath("line3.csv");
  EXPECT_EQ(AppendRunRecord(log, kPassed, 1000), "");
  EXPECT_EQ(AppendRunRecord(log, kNoReading, 1000), "");
  EXPECT_EQ(Contents(log), kHeader + kPassedLine + kNoReadingLine);
  EXPECT_FALSE(QFile::exists(log + ".lock"));

  const QString saved = dir.filePath("session.csv");
  EXPECT_EQ(SaveRunRecords(saved, {kNoReading, kPassed}), "");
  EXPECT_EQ(Contents(saved), kHeader + kNoReadingLine + kPassedLine);
}

TEST(RunRecord, WaitsForAnotherRunsLockAndSaysWhatFailed) {
  QTemporaryDir dir;
  const QString log = dir.filePath("line3.csv");
  QLockFile other(log + ".lock");
  ASSERT_TRUE(other.lock());
  EXPECT_EQ(AppendRunRecord(log, kPassed, 50), "The test record could not be written to " + log +
                                                   ": another run held its lock for 50 ms");
  EXPECT_FALSE(QFile::exists(log));
  other.unlock();

  const QString missing = dir.filePath("no/such/folder/line3.csv");
  EXPECT_TRUE(AppendRunRecord(missing, kPassed, 50)
                  .startsWith("The test record could not be written to " + missing));
  EXPECT_TRUE(SaveRunRecords(missing, {kPassed})
                  .startsWith("The test results could not be saved to " + missing + ": "));
}

}  // namespace
