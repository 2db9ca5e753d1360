#include "tester/program_run.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <tuple>

#include "device_link/command_frames.h"
#include "device_link/ctlVELD32UsbComm.h"
#include "tests/support/qt_printers.h"
#include "tests/support/scripted_d2xx.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Verdict, JudgesByThePassAndFailLimits) {
  struct Case {
    double ohms;
    qint16 pass, fail;
    Verdict verdict;
    const char* line;
  };
  const Case cases[] = {
      {62.5, 150, 1000, Verdict::Pass, "Test program 2: 62.5 ohms, below the pass limit 150"},
      {0, 150, 1000, Verdict::Pass, "Test program 2: 0 ohms, below the pass limit 150"},
      {150, 150, 1000, Verdict::BetweenLimits,
       "Test program 2: 150 ohms, between the pass limit 150 and the fail limit 1000"},
      {999.996, 150, 1000, Verdict::BetweenLimits,
       "Test program 2: 1000 ohms, between the pass limit 150 and the fail limit 1000"},
      {1000, 150, 1000, Verdict::Fail,
       "Test program 2: 1000 ohms, at or above the fail limit 1000"},
      {1234.567, 150, 1000, Verdict::Fail,
       "Test program 2: 1234.57 ohms, at or above the fail limit 1000"},
      {120, 150, 100, Verdict::Fail, "Test program 2: 120 ohms, at or above the fail limit 100"},
      {kInf, 150, 1000, Verdict::NoReading, "Test program 2: no reading"},
      {-2.5, 150, 1000, Verdict::NoReading, "Test program 2: no reading"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    TestResult result{2, c.ohms, c.pass, c.fail, JudgeImpedance(c.ohms, c.pass, c.fail), {}, {}};
    EXPECT_EQ(result.verdict, c.verdict);
    EXPECT_EQ(ResultLine(result), c.line);
  }
  // The caption without a duration is pinned where veld32ctl prints it.
  EXPECT_EQ(QStringList({RunningCaption(1, 759, 3600), RunningCaption(3, 7265, 7265),
                         RunningCaption(2, 5, 0), RunningCaption(2, 0, 1)}),
            QStringList({"Running test 1… 12:39 of 60:00", "Running test 3… 121:05 of 121:05",
                         "Running test 2… 00:05", "Running test 2… 00:00 of 00:01"}));
}

// A program (2 unless named) as the tester reports it, with the given limits, mode and duration.
std::string ProgramReply(qint16 pass, qint16 fail, qint16 mode = 2, qint16 seconds = 30,
                         qint16 hours = 0, qint16 program = 2) {
  return "(MP1" +
         ProgramFields(
             {program, 1, 1, 200, seconds, hours, static_cast<TestMode>(mode), pass, fail}) +
         ")";
}

class TestRunTest : public ::testing::Test {
 protected:
  TestRunTest() {
    driver->replies["(MS1)"] = "(MS112345)";
    driver->replies["(MP12)"] = ProgramReply(150, 1000);
    link.SetPollingTimerInterval(5);
    link.OpenDevice();
  }

  // Starts program 2 and waits for its end; the failure's reason, or empty after a result.
  QString RunToEnd(TestRun::Timeouts timeouts = {}) {
    TestRun run(link, timeouts);
    int ends = 0;
    QString reason;
    QObject::connect(&run, &TestRun::Running, [&] {
      ++runningReports;
      testWaitMs = run.WaitMs();
      if (unplugWhileRunning) driver->FailNext("FT_GetQueueStatus", FT_IO_ERROR);
    });
    QObject::connect(&run, &TestRun::Finished, [&](const TestResult& r) {
      ++ends;
      result = r;
    });
    QObject::connect(&run, &TestRun::Failed, [&](const QString& why, bool lost) {
      ++ends;
      reason = why;
      linkLost = lost;
    });
    run.Start(2);
    QDeadlineTimer deadline(5000);
    while (ends == 0 && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(run.Active());
    return reason;
  }

  std::shared_ptr<ScriptedD2xx> driver = std::make_shared<ScriptedD2xx>();
  ctlVELD32UsbComm link{driver};
  TestResult result;
  int runningReports = 0;
  int testWaitMs = 0;
  bool unplugWhileRunning = false;
  bool linkLost = false;
};

// The result is awaited for the program's duration and half a minute; a single measurement has
// no duration.
TEST_F(TestRunTest, JudgesTheLastDataOfItsProgramByTheTestersLimits) {
  const std::string data = "(!)(G20100,0004,0001)";
  // the program as the tester reports it, its data, the verdict, the ohms, the wait
  const std::tuple<std::string, std::string, Verdict, double, int> cases[] = {
      {ProgramReply(150, 1000), data, Verdict::Pass, 62.5, 30000},
      {ProgramReply(50, 60), data, Verdict::Fail, 62.5, 30000},
      {ProgramReply(60, 70), data, Verdict::BetweenLimits, 62.5, 30000},
      {ProgramReply(150, 1000), "(!)(G20100,0000,0001)", Verdict::NoReading, kInf, 30000},
      // Another program's data is not this test's result.
      {ProgramReply(150, 1000), "(!)(G10100,0004,0001)(!)(G20200,0004,0001)", Verdict::Pass, 125,
       30000},
      {ProgramReply(150, 1000, 1, 90, 1), data, Verdict::Pass, 62.5, (3600 + 90) * 1000 + 30000},
      {ProgramReply(150, 1000, 2, 90, 1), data, Verdict::Pass, 62.5, 30000},
      // Another program's values, come after its own, do not replace this test's limits.
      {ProgramReply(150, 1000) + ProgramReply(50, 60, 2, 30, 0, 1), data, Verdict::Pass, 62.5,
       30000},
  };
  for (const auto& [program, lastData, verdict, ohms, waitMs] : cases) {
    SCOPED_TRACE(program + " " + lastData);
    driver->replies["(MP12)"] = program;
    driver->replies["(G2)"] = lastData;
    runningReports = 0;
    ASSERT_EQ(RunToEnd(), "");
    EXPECT_EQ(std::tuple(result.verdict, result.impedanceOhms, testWaitMs, result.program,
                         result.testerSerial, runningReports),
              std::tuple(verdict, ohms, waitMs, 2, QString("12345"), 1));
  }
  EXPECT_EQ(result.passOhms, 150);
  EXPECT_EQ(result.failOhms, 1000);
  EXPECT_LE(result.time.secsTo(QDateTime::currentDateTimeUtc()), 5);
  EXPECT_EQ(result.time.timeSpec(), Qt::UTC);
  EXPECT_EQ(TestRun::ResultTimeoutMs(32767 + 32767 * 3600LL), std::numeric_limits<int>::max());
  EXPECT_EQ(TestRun::ResultTimeoutMs(-5), 30000);
}

TEST_F(TestRunTest, EndsWithTheCauseWhenTheTesterIsSilentOrLost) {
  driver->replies["(G2)"] = "(!)";
  EXPECT_EQ(RunToEnd({1000, 60}), "No result of test program 2 within 60 ms");
  EXPECT_FALSE(linkLost);
  driver->replies.erase("(MP12)");
  EXPECT_EQ(RunToEnd({60, 5000}), "No reply from the tester within 60 ms: no values of program 2");
  driver->replies.erase("(MS1)");
  EXPECT_EQ(RunToEnd({60, 5000}),
            "No reply from the tester within 60 ms: no serial number, values of program 2");
  driver->replies["(MS1)"] = "(MS112345)";
  driver->replies["(MP12)"] = ProgramReply(150, 1000);
  unplugWhileRunning = true;
  EXPECT_TRUE(RunToEnd().startsWith("Link failure: FT_GetQueueStatus"));
  EXPECT_TRUE(linkLost);
  EXPECT_EQ(RunToEnd(), "The tester is not connected");
  EXPECT_TRUE(linkLost);
}

}  // namespace
