#include <QDate>

#include "resources/version.h"
#include "tester/run_record.h"
#include "tests/support/csv_cells.h"
#include "tests/tools/ctl_runner.h"

#ifndef _WIN32
#include "tests/support/file_faults.h"
#endif

namespace {

// One JSON object per line, as records and history print them.
std::vector<QJsonObject> Lines(const CtlRun& run) {
  std::vector<QJsonObject> objects;
  for (const QString& line : run.out.split(u'\n', Qt::SkipEmptyParts))
    objects.push_back(QJsonDocument::fromJson(line.toUtf8()).object());
  return objects;
}

// Every member of `expected` as `object` has it.
void ExpectMembers(const QJsonObject& object, const QJsonObject& expected) {
  for (auto member = expected.begin(); member != expected.end(); ++member)
    EXPECT_EQ(object.value(member.key()), member.value()) << member.key().toStdString();
}

QStringList Duts(const CtlRun& run) {
  QStringList duts;
  for (const QJsonObject& record : Lines(run)) duts << record.value("dut").toString();
  return duts;
}

// The tester of these tests holds kThreePrograms: program 2 a single measurement passing below
// 150 ohms and failing from 1000, program 3 a 45 s test failing from 1000.
class RecordsTest : public CtlTest {
 protected:
  RecordsTest() : bench_(Attached(tester_)) {
    EXPECT_EQ(Ctl({"upload", Write("three.vap", kThreePrograms)}).status, 0);
  }

  CtlRun Ctl(const QStringList& arguments) {
    return RunCtl(QStringList{"--simulate-speed=1000"} + arguments, bench_);
  }

  std::shared_ptr<SimulatedTester> tester_ = std::make_shared<SimulatedTester>();
  BackendFactory bench_;
};

// A run leaves one record of everything it knew, the DUT id stored as given and exported safely.
TEST_F(RecordsTest, RunKeepsOneRecordOfTheUnitTheTesterItsSettingsAndTheVerdict) {
  const QString dut = "=1+2,\"x\"\nDUT-7";
  const CtlRun run = Ctl({"run", "2", "--dut=" + dut, "--operator=anna", "--station=bench-3",
                          "--calibration-interval=1"});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_THAT(run.err, Has("calibration overdue"));

  const std::vector<QJsonObject> records = Lines(Ctl({"records", "--json"}));
  ASSERT_EQ(records.size(), 1u);
  const QJsonObject& r = records[0];
  const QDateTime started = QDateTime::fromString(r.value("started").toString(), Qt::ISODate);
  EXPECT_TRUE(started.isValid() && started.timeSpec() == Qt::UTC);
  EXPECT_LE(started, QDateTime::fromString(r.value("ended").toString(), Qt::ISODate));
  QJsonObject expected =
      QJsonDocument::fromJson(
          R"({"dut": "=1+2,\"x\"\nDUT-7", "operator": "anna", "station": "bench-3", )"
          R"("usb_serial": "SIM0001", "tester_serial": "00001", "firmware": "01.02", )"
          R"("calibrated": "2024-01-15", "calibration_overdue": true, "program": 2, )"
          R"("current_mA": 100, )"
          R"("frequency_Hz": 2, "pulse_width_us": 300, "mode": "single", "pass_ohms": 150, )"
          R"("fail_ohms": 1000, "verdict": "pass", "sent": true})")
          .object();
  expected["impedance_ohms"] = int{tester_->Tester().impedanceOhms};
  expected["version"] = VELD32_VERSION_TEXT;
  ExpectMembers(r, expected);

  const CtlRun csv = Ctl({"records", "--csv", "-"});
  EXPECT_TRUE(csv.out.startsWith("id,started,ended,dut,operator,station,"))
      << csv.out.toStdString();
  EXPECT_THAT(csv.out, Has(QString::fromUtf8(CsvCell(dut))));
  // Within the interval no warning, and info tells as run does.
  EXPECT_FALSE(Ctl({"--calibration-interval=1200", "info"}).err.contains("overdue"));
  EXPECT_TRUE(Ctl({"--calibration-interval=1", "info"}).err.contains("calibration overdue"));
}

// Filters, figures per program, a run that ended in an error, and the history of changes.
TEST_F(RecordsTest, RecordsAndHistoryListNewestFirstByEveryFilter) {
  ASSERT_EQ(Ctl({"run", "2", "--dut=A-1"}).status, 0);
  ASSERT_EQ(Ctl({"--simulate-impedance=1000", "run", "3", "--dut=A-2"}).status, 1);
  ASSERT_EQ(Ctl({"--simulate-impedance=200", "run", "2", "--dut=B-1"}).status, 1);
  // Program 1 runs for an hour: its result never comes in time.
  ASSERT_EQ(RunCtl({"--timeout=150", "run", "1", "--dut=C-1"}, bench_).status, 4);
  const QStringList all = {"C-1", "B-1", "A-2", "A-1"};
  // A listing shows the newest --limit records and says so on standard error when there are
  // more.
  const std::tuple<QStringList, QStringList, QString> cases[] = {
      {{}, all, ""},
      {{"--dut=A"}, {"A-2", "A-1"}, ""},
      {{"--verdict=fail"}, {"A-2"}, ""},
      {{"--verdict=between limits"}, {"B-1"}, ""},
      {{"--program=2"}, {"B-1", "A-1"}, ""},
      {{"--tester=00001"}, all, ""},
      {{"--station=elsewhere"}, {}, ""},
      {{"--since=" + QDate::currentDate().addDays(2).toString(Qt::ISODate)}, {}, ""},
      {{"--until=2000-01-01"}, {}, ""},
      {{"--limit=2"}, {"C-1", "B-1"}, "veld32ctl: showing the newest 2 of 4 records"},
      {{"--limit=4"}, all, ""},
      {{"--limit=0"}, all, ""},
      {{"--limit=1", "--dut=A"}, {"A-2"}, "veld32ctl: showing the newest 1 of 2 records"},
  };
  for (const auto& [options, duts, note] : cases) {
    const CtlRun listed = Ctl(QStringList{"records", "--json"} + options);
    EXPECT_EQ(Duts(listed), duts) << options.join(' ').toStdString();
    EXPECT_EQ(listed.err.section(';', 0, 0).trimmed(), note) << listed.err.toStdString();
  }
  const QJsonObject error = Lines(Ctl({"records", "--json", "--dut=C"})).at(0);
  EXPECT_EQ(error.value("verdict"), "error");
  EXPECT_TRUE(error.value("error").toString().contains("within 150 ms"));
  EXPECT_TRUE(error.value("impedance_ohms").isNull());
  const std::vector<QJsonObject> stats = Lines(Ctl({"records", "stats", "--json"}));
  ASSERT_EQ(stats.size(), 3u);
  ExpectMembers(stats[1], QJsonDocument::fromJson(R"({"program": 2, "count": 2, "pass_rate": 0.5, )"
                                                  R"("min_ohms": 100, "max_ohms": 200})")
                              .object());

  ASSERT_EQ(Ctl({"--yes", "service", "set-serial", "77", "--operator=ben"}).status, 0);
  const std::vector<QJsonObject> changes = Lines(Ctl({"history", "--json"}));
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].value("action"), "service set-serial 77");
  EXPECT_EQ(changes[0].value("operator"), "ben");
  EXPECT_EQ(changes[1].value("action"), "upload");
  EXPECT_EQ(changes[1].value("agreed"), true);
  EXPECT_EQ(changes[1].value("programs_sent").toArray().size(), 3);
  EXPECT_EQ(changes[1].value("programs_echoed"), changes[1].value("programs_sent"));
  EXPECT_TRUE(Ctl({"history", "--station=elsewhere"}).out.startsWith("Time"));
  const CtlRun newest = Ctl({"history", "--json", "--limit=1"});
  EXPECT_EQ(Lines(newest), std::vector<QJsonObject>{changes[0]});
  EXPECT_TRUE(newest.err.startsWith("veld32ctl: showing the newest 1 of 2 changes"))
      << newest.err.toStdString();
  // history --csv: the whole set under the JSON members' names (a cell's form is the records'
  // rule).
  ASSERT_EQ(Ctl({"history", "--csv", Path("history.csv")}).status, 0);
  const QList<QList<QByteArray>> csv = CsvCells(ReadAll(Path("history.csv")));
  ASSERT_EQ(csv.size(), 3);
  QStringList names;
  for (const QByteArray& name : csv[0]) names << QString::fromUtf8(name);
  names.sort();
  EXPECT_EQ(names, changes[0].keys());  // keys() come sorted
}

#ifndef _WIN32
// A CSV that the disk cannot hold fails as unwritable, naming the disk's reason.
TEST_F(RecordsTest, ACsvOnAFullDiskFailsWithTheDisksReason) {
  const QString mount = Path("disk");
  const FullDisk disk(mount);
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  // One long unit id outgrows any write buffer.
  ASSERT_EQ(Ctl({"run", "2", "--dut=" + QString(40000, u'D')}).status, 0);
  disk.Fill();
  const CtlRun csv = Ctl({"records", "--csv", mount + "/all.csv"});
  EXPECT_THAT(csv, Ended(5, "could not be written"));
  EXPECT_THAT(csv.err, Has("No space left"));
  EXPECT_EQ(disk.Files(), QStringList());
}
#endif

// A server out of reach keeps the run locally and still succeeds; sync then says why not. A
// file of its own waits for no server.
TEST_F(RecordsTest, AServerOutOfReachKeepsTheRecordLocallyAndTheRunSucceeds) {
  const QString server = "--records=postgresql://line@127.0.0.1:1/records";
#ifdef _WIN32
  // The Windows build has no PostgreSQL driver, and says so after the run's result.
  const CtlRun windows = Ctl({"run", "2", server});
  EXPECT_EQ(windows.status, 5);
  EXPECT_THAT(windows.out, Has("Verdict:"));
  EXPECT_THAT(windows.err, Has("this build has no PostgreSQL driver"));
  GTEST_SKIP() << "the Windows build keeps its records in SQLite only";
#endif
  qputenv("XDG_DATA_HOME", Path("data").toUtf8());
  const CtlRun run = Ctl({"run", "2", "--dut=D-1", server});
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_THAT(run.err, Has("kept locally"));
  const CtlRun sync = Ctl({"records", "sync", server});
  EXPECT_THAT(sync, Ended(5, "Records not sent"));
  const std::vector<QJsonObject> local =
      Lines(Ctl({"records", "--json", "--records=" + Path("data/veld32/records.sqlite")}));
  ASSERT_EQ(local.size(), 1u);
  EXPECT_EQ(local[0].value("dut"), "D-1");
  EXPECT_EQ(local[0].value("sent"), false);
  EXPECT_EQ(Ctl({"records", "sync"}).out, "0 records sent to " + RecordsFile() + "\n");
  qunsetenv("XDG_DATA_HOME");
}

}  // namespace
