#include "tester/run_record.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>
#include <optional>

#ifndef _WIN32
#include "tests/support/file_faults.h"
#endif
#include "tests/support/file_bytes.h"
#include "tests/support/qt_printers.h"

namespace {

const QDateTime kTime(QDate(2026, 3, 9), QTime(8, 5, 7), Qt::UTC);
const TestResult kPassed{2, 62.5, 150, 1000, Verdict::Pass, "00042", kTime};
const TestResult kNoReading{
    3, std::numeric_limits<double>::infinity(), 150, 1000, Verdict::NoReading, "A,\"1\"", kTime};
const QByteArray kHeader =
    "time,tester_serial,program,impedance_ohms,pass_ohms,fail_ohms,verdict\n";
const QByteArray kPassedLine = "2026-03-09T08:05:07Z,00042,2,62.5,150,1000,pass\n";
const QByteArray kNoReadingLine = "2026-03-09T08:05:07Z,\"A,\"\"1\"\"\",3,,150,1000,no reading\n";

TEST(RunRecord, SavesAllAtOnce) {
  QTemporaryDir dir;
  const QString saved = dir.filePath("session.csv");
  EXPECT_EQ(SaveRunRecords(saved, {kNoReading, kPassed}), "");
  EXPECT_EQ(ReadAll(saved), kHeader + kNoReadingLine + kPassedLine);
}

TestResult FromSerial(const QString& serial) {
  TestResult result = kPassed;
  result.testerSerial = serial;
  return result;
}

// What an append makes of what the file held before: the new content, or a refusal that leaves
// it as it was.
TEST(RunRecord, RefusesWhatIsNoRecordAndRepairsWhatItCan) {
  struct Case {
    const char* name;
    std::optional<QByteArray> before;  // none: no file
    TestResult result;
    QByteArray after;  // empty: refused, unchanged
  };
  const QByteArray crlfHeader = kHeader.chopped(1) + "\r\n";
  const Case cases[] = {
      {"new file", std::nullopt, kPassed, kHeader + kPassedLine},
      {"no reading", std::nullopt, kNoReading, kHeader + kNoReadingLine},
      {"empty file", "", kPassed, kHeader + kPassedLine},
      {"record", kHeader + kNoReadingLine, kPassed, kHeader + kNoReadingLine + kPassedLine},
      {"record with CRLF", crlfHeader, kPassed, crlfHeader + kPassedLine},
      {"record with a byte order mark", "\xEF\xBB\xBF" + kHeader, kPassed,
       "\xEF\xBB\xBF" + kHeader + kPassedLine},
      {"a byte order mark alone", "\xEF\xBB\xBF", kPassed, ""},
      {"last line cut", kHeader + kNoReadingLine.chopped(1), kPassed,
       kHeader + kNoReadingLine + kPassedLine},
      {"header cut", kHeader.chopped(1), kPassed, kHeader + kPassedLine},
      {"notes", "ask the line 3 foreman\n", kPassed, ""},
      {"another table", "time,serial\n1,2\n", kPassed, ""},
      {"header after a blank line", "\n" + kHeader, kPassed, ""},
      {"bytes", QByteArray("\x00\xff\x12time", 8), kPassed, ""},
      {"formula", "", FromSerial("=1+2"),
       kHeader + "2026-03-09T08:05:07Z,'=1+2,2,62.5,150,1000,pass\n"},
      {"plus", "", FromSerial("+1"), kHeader + "2026-03-09T08:05:07Z,'+1,2,62.5,150,1000,pass\n"},
      {"minus", "", FromSerial("-1"), kHeader + "2026-03-09T08:05:07Z,'-1,2,62.5,150,1000,pass\n"},
      {"at", "", FromSerial("@A"), kHeader + "2026-03-09T08:05:07Z,'@A,2,62.5,150,1000,pass\n"},
      {"tab", "", FromSerial("\tA"), kHeader + "2026-03-09T08:05:07Z,'\tA,2,62.5,150,1000,pass\n"},
      {"return", "", FromSerial("\rA"),
       kHeader + "2026-03-09T08:05:07Z,\"'\rA\",2,62.5,150,1000,pass\n"},
      {"inner signs", "", FromSerial("A=-+@"),
       kHeader + "2026-03-09T08:05:07Z,A=-+@,2,62.5,150,1000,pass\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString log = dir.filePath("line3.csv");
    if (c.before) WriteAll(log, *c.before);
    const QString error = AppendRunRecord(log, c.result, 1000);
    if (c.after.isEmpty()) {
      EXPECT_EQ(error, log + " is not a test record: it does not start with the line \"" +
                           kHeader.chopped(1) + "\"; give a new file or a record written before.");
      EXPECT_EQ(ReadAll(log), *c.before);
    } else {
      EXPECT_EQ(error, "");
      EXPECT_EQ(ReadAll(log), c.after);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"line3.csv"});
  }
}

#ifndef _WIN32
// A row cut off by the disk, at a size limit of the process or on a full disk, is taken back
// whole, with the system's reason, and the next row after room is made starts its own line.
TEST(RunRecord, ARowThatTheDiskCutsOffIsTakenBack) {
  QTemporaryDir dir;
  const QString small = dir.filePath("small");
  const FullDisk disk(small);
  // A record that ends a few bytes before a new page of the disk: a row fits only in part.
  const qsizetype pad = 4096 - 6 - kHeader.size() - kPassedLine.size();
  const QByteArray before = kHeader + RunRecordLine(FromSerial(QString(pad + 5, 'x')));
  ASSERT_EQ(before.size(), 4090);
  for (const bool full : {false, true}) {
    if (full && !disk.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
    const QString log = full ? small + "/line3.csv" : dir.filePath("line3.csv");
    WriteAll(log, before);
    std::optional<WriteLimit> limit;
    if (full) {
      // One more page is left for the lock file beside the record.
      WriteAll(small + "/spare", "x");
      disk.Fill();
      QFile::remove(small + "/spare");
    } else {
      limit.emplace(4096);
    }
    EXPECT_EQ(AppendRunRecord(log, kPassed, 1000),
              "The test record could not be written to " + log + ": " +
                  (full ? "No space left on device" : "File too large"));
    EXPECT_EQ(ReadAll(log), before);
    limit.reset();
    QFile::remove(small + "/filler");
    EXPECT_EQ(AppendRunRecord(log, kPassed, 1000), "");
    EXPECT_EQ(ReadAll(log), before + kPassedLine);
  }
}
#endif

TEST(RunRecord, WaitsForAnotherRunsLockAndSaysWhatFailed) {
  QTemporaryDir dir;
  const QString log = dir.filePath("line3.csv");
  QLockFile other(log + ".lock");
  ASSERT_TRUE(other.lock());
  // The lock's own text is pinned with the configuration files.
  EXPECT_TRUE(AppendRunRecord(log, kPassed, 50)
                  .endsWith(" holds its lock file " + log + ".lock (waited 50 ms)."));
  EXPECT_FALSE(QFile::exists(log));
  other.unlock();

  const QString missing = dir.filePath("no/such/folder/line3.csv");
  EXPECT_TRUE(AppendRunRecord(missing, kPassed, 50).contains("does not exist"));
  EXPECT_TRUE(SaveRunRecords(missing, {kPassed})
                  .startsWith("The test results could not be saved to " + missing + ": "));
}

}  // namespace
