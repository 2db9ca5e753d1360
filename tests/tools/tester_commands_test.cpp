#include <QDateTime>

#include "tester/verdict.h"
#include "tests/tools/ctl_runner.h"
#include "tools/command_result.h"

#ifndef _WIN32
#include <signal.h>
#endif

namespace {

// A run appends its result to --csv FILE, and a device takes the records quietly.
TEST_F(CtlTest, RunReportsItsResultAndAppendsItsRecord) {
  const QString records = Path("line3.csv");
  const CtlRun run = RunCtl({"--simulate", "--simulate-speed=1000", "--simulate-impedance=62",
                             "--json", "run", "2", "--csv", records});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(run.err, "Running test 2…\n");
  QJsonObject result = QJsonDocument::fromJson(run.out.toUtf8()).object();
  const QDateTime time = QDateTime::fromString(result.take("time").toString(), Qt::ISODate);
  EXPECT_EQ(time.timeSpec(), Qt::UTC);
  EXPECT_LE(time.secsTo(QDateTime::currentDateTimeUtc()), 10);
  EXPECT_EQ(result, QJsonDocument::fromJson(R"({"program": 2, "impedance_ohms": 62, )"
                                            R"("pass_ohms": 150, "fail_ohms": 1000, )"
                                            R"("verdict": "pass", "tester_serial": "00001"})")
                        .object());
  const CtlRun plain =
      RunCtl({"--simulate", "--simulate-speed=1000", "--csv", records, "run", "1"});
  EXPECT_EQ(plain.out, "Test program 1: 100 ohms, below the pass limit 150\nVerdict: pass\n");
  const QList<QByteArray> lines = ReadAll(records).split('\n');
  ASSERT_EQ(lines.size(), 4);  // header, two records, and the end of the last line
  EXPECT_TRUE(lines[1].endsWith(",00001,2,62,150,1000,pass"));
  EXPECT_TRUE(lines[2].endsWith(",00001,1,100,150,1000,pass"));
#ifndef _WIN32
  const CtlRun quiet =
      RunExe({"--simulate", "--simulate-speed=1000", "--csv", "/dev/null", "run", "1"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "Running test 1…\n");
#endif
}

// A service write without --yes only says what it would send: it needs no driver, so one that
// cannot be loaded does not stop it; with --yes it does.
TEST(Veld32ctlExecutable, AServiceDryRunNeedsNoDriver) {
  const QString missing = "--backend=d2xx:" + QDir::temp().filePath("no-such-d2xx-library");
  const CtlRun dry = RunExe({missing, "service", "set-serial", "7"});
  EXPECT_EQ(dry.status, 2) << dry.err.toStdString();
  EXPECT_THAT(dry.err, Has("Nothing sent: service writes only with --yes"));
  EXPECT_THAT(RunExe({missing, "--yes", "service", "set-serial", "7"}).err, Has("cannot load"));
}

#ifndef _WIN32
// An operator's Ctrl-C or a line controller's SIGTERM while the tester runs ends the command on
// its own terms: the run kept as stopped (or the reason it could not be), and a status of its
// own. An impatient second Ctrl-C changes nothing.
TEST_F(CtlTest, ARunInterruptedBySignalIsKeptAsStopped) {
  // signal, how often, whether the record can be kept, the name of its folder
  const std::tuple<int, int, bool, const char*> stops[] = {{SIGINT, 1, true, "int"},
                                                           {SIGTERM, 1, true, "term"},
                                                           {SIGINT, 2, true, "int-twice"},
                                                           {SIGTERM, 1, false, "unkept"}};
  for (const auto& [number, times, kept, name] : stops) {
    SCOPED_TRACE(name);
    const QString folder = kept ? Path(name) : Write(name, {});  // a file is no folder
    const QString records = "--records=" + folder + "/records.sqlite";
    QProcess station;
    station.setReadChannel(QProcess::StandardError);
    // The simulated programs take their full 30 s.
    station.start(QStringLiteral(VELD32CTL_PATH),
                  {"--simulate", "--interval=20", records, "run", "1"});
    const QByteArray running = (RunningCaption(1) + u'\n').toUtf8();
    QByteArray err;
    while (!err.contains(running) && station.waitForReadyRead(20000)) err += station.readAll();
    ASSERT_EQ(err, running);
    for (int i = 0; i < times; ++i)
      ASSERT_EQ(::kill(static_cast<pid_t>(station.processId()), number), 0);
    ASSERT_TRUE(station.waitForFinished(20000));
    EXPECT_EQ(station.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(station.exitCode(), static_cast<int>(ExitStatus::Stopped));
    const QList<QByteArray> told = station.readAllStandardError().split('\n');
    if (!kept) {
      EXPECT_EQ(told.value(0), "veld32ctl: Test program 1 stopped; its record is not kept");
      EXPECT_TRUE(told.value(1).contains(QFile::encodeName(folder))) << told.value(1).data();
      continue;
    }
    EXPECT_EQ(told,
              (QList<QByteArray>{"veld32ctl: Test program 1 stopped; its record is kept", ""}));
    const QStringList listed =
        RunCtl({"records", "--json", records}).out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(listed.size(), 1);
    const QJsonObject record = QJsonDocument::fromJson(listed[0].toUtf8()).object();
    EXPECT_EQ(record.value("verdict").toString(), "stopped");
    EXPECT_EQ(record.value("program").toInt(), 1);
  }

  // Outside the run the signals are as they were.
  const auto handlers = [] {
    std::array<struct sigaction, 2> now{};
    ::sigaction(SIGINT, nullptr, &now[0]);
    ::sigaction(SIGTERM, nullptr, &now[1]);
    return std::make_pair(now[0].sa_handler, now[1].sa_handler);
  };
  const auto before = handlers();
  EXPECT_EQ(RunCtl({"--simulate", "--simulate-speed=1000", "run", "1"}).status, 0);
  EXPECT_EQ(handlers(), before);
}
#endif

}  // namespace
