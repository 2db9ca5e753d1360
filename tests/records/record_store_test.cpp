// What every store does alike, run on SQLite and on a PostgreSQL server of the test's own.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "records/record_location.h"
#include "records/record_pages.h"
#include "tests/records/postgres_server.h"
#include "tests/records/sample_records.h"
#include "tests/support/qt_printers.h"

namespace {

class RecordStores : public ::testing::TestWithParam<RecordLocation::Kind> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    RecordLocation location;
    location.file = folder_.filePath(QStringLiteral("records.sqlite"));
    if (GetParam() == RecordLocation::Kind::Postgres) {
      server_ = std::make_unique<PostgresServer>();
      if (!server_->Error().isEmpty()) GTEST_SKIP() << server_->Error().toStdString();
      location = ParseRecordLocation(server_->NewDatabase(QStringLiteral("line"))).location;
      ASSERT_TRUE(server_->Error().isEmpty()) << server_->Error().toStdString();
      location.localFile = folder_.filePath(QStringLiteral("waiting.sqlite"));
    }
    OpenedStore opened = OpenRecordStore(location);
    ASSERT_TRUE(opened.store) << opened.error.toStdString();
    store_ = std::move(opened.store);
  }

  void Add(const RunRecord& run) {
    const StoreResult result = store_->AddRun(run);
    ASSERT_EQ(result.outcome, StoreOutcome::Stored) << result.message.toStdString();
  }

  QTemporaryDir folder_;
  std::unique_ptr<PostgresServer> server_;
  std::unique_ptr<RecordStore> store_;
};

TEST_P(RecordStores, KeepEveryFieldAsGiven) {
  const std::vector<QString> duts = {
      "E-1,2", "say \"hi\" 'x'", "line\nnext\r\n", "=SUM(A1)", "+1", "Ω ünï 中 😀", ""};
  std::vector<RunRecord> runs;
  for (int i = 0; i < int(duts.size()); ++i) {
    runs.push_back(SampleRun(duts[i], 1 + i % 3, i ? std::optional(10.25 * i) : std::nullopt,
                             RunOutcome(i % 6), SampleTime(i)));
    runs.back().errorText = QStringLiteral("reply %1 missing").arg(i);
    runs.back().tester.calibrationOverdue = i % 2;
    Add(runs.back());
  }
  const Fetched<RunRecord> fetched = store_->Runs({});
  ASSERT_TRUE(fetched.ok()) << fetched.error.toStdString();
  ASSERT_EQ(fetched.items.size(), runs.size());
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const RunRecord& want = runs[runs.size() - 1 - i];  // newest first
    const RunRecord& got = fetched.items[i];
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.started, want.started);
    EXPECT_EQ(got.ended, want.ended);
    EXPECT_EQ(got.dut, want.dut);
    EXPECT_EQ(got.operatorName, want.operatorName);
    EXPECT_EQ(got.station, want.station);
    EXPECT_EQ(got.tester.usbSerial, want.tester.usbSerial);
    EXPECT_EQ(got.tester.testerSerial, want.tester.testerSerial);
    EXPECT_EQ(got.tester.firmware, want.tester.firmware);
    EXPECT_EQ(got.tester.calibrated, want.tester.calibrated);
    EXPECT_EQ(got.tester.calibrationOverdue, want.tester.calibrationOverdue);
    EXPECT_EQ(got.settings, want.settings);
    EXPECT_EQ(got.impedanceOhms, want.impedanceOhms);
    EXPECT_EQ(got.outcome, want.outcome);
    EXPECT_EQ(got.errorText, want.errorText);
    EXPECT_EQ(got.version, want.version);
    EXPECT_TRUE(got.sent);
  }

  ProgramChange change;
  change.time = SampleTime(1);
  change.operatorName = QStringLiteral("Ines");
  change.station = QStringLiteral("bench-1");
  change.tester = runs[0].tester;
  change.action = QStringLiteral("upload");
  change.programsSent = {runs[0].settings, runs[1].settings, runs[2].settings};
  change.programsEchoed = {runs[0].settings, runs[2].settings};
  change.version = QStringLiteral("1.1.0");
  ASSERT_EQ(store_->AddChange(change).outcome, StoreOutcome::Stored);
  const Fetched<ProgramChange> changes = store_->Changes({});
  ASSERT_TRUE(changes.ok()) << changes.error.toStdString();
  ASSERT_EQ(changes.items.size(), 1u);
  EXPECT_EQ(changes.items[0].id, change.id);
  EXPECT_EQ(changes.items[0].time, change.time);
  EXPECT_EQ(changes.items[0].action, change.action);
  EXPECT_EQ(changes.items[0].programsSent, change.programsSent);
  EXPECT_EQ(changes.items[0].programsEchoed, change.programsEchoed);
  EXPECT_FALSE(changes.items[0].agreed);
  EXPECT_TRUE(changes.items[0].sent);
  ProgramChange later = change;
  later.id = QUuid::createUuid();
  later.station = QStringLiteral("bench-2");
  ASSERT_EQ(store_->AddChange(later).outcome, StoreOutcome::Stored);
  RecordFilter second;
  second.station = QStringLiteral("bench-2");
  for (const auto& [filter, ids] : {std::pair{RecordFilter{}, std::vector{later.id, change.id}},
                                    std::pair{second, std::vector{later.id}}}) {
    EXPECT_EQ(store_->ChangeCount(filter).items, std::vector<qint64>{qint64(ids.size())});
    std::vector<QUuid> paged;
    EXPECT_TRUE(EachChange(
                    *store_, filter,
                    [&paged](const ProgramChange& c) { return paged.push_back(c.id), QString(); },
                    1)
                    .isEmpty());
    // Same time: the greater id first.
    std::vector<QUuid> expected = ids;
    std::sort(expected.begin(), expected.end(),
              [](const QUuid& a, const QUuid& b) { return a.toString() > b.toString(); });
    EXPECT_EQ(paged, expected);
  }
}

TEST_P(RecordStores, FilterNewestFirst) {
  struct Row {
    QString dut;
    int program;
    RunOutcome outcome;
    QString station, tester;
  };
  const std::vector<Row> rows = {
      {"A-100", 1, RunOutcome::Pass, "bench-1", "T-1"},
      {"A-101", 2, RunOutcome::Fail, "bench-2", "T-1"},
      {"a-102", 1, RunOutcome::Pass, "bench-1", "T-2"},
      {"B-100", 3, RunOutcome::Error, "bench-2", "T-2"},
      {"A_10%", 1, RunOutcome::Stopped, "bench-1", "T-1"},
      {"A-1", 2, RunOutcome::Pass, "bench-3", "T-3"},
  };
  for (int i = 0; i < int(rows.size()); ++i) {
    RunRecord run = SampleRun(rows[i].dut, rows[i].program, 50, rows[i].outcome, SampleTime(i));
    run.station = rows[i].station;
    run.tester.testerSerial = rows[i].tester;
    Add(run);
  }
  const auto filter = [](auto set) {
    RecordFilter f;
    set(f);
    return f;
  };
  struct Case {
    const char* name;
    RecordFilter filter;
    QStringList duts;
  };
  const std::vector<Case> cases = {
      {"all", {}, {"A-1", "A_10%", "B-100", "a-102", "A-101", "A-100"}},
      {"since",
       filter([](RecordFilter& f) { f.since = SampleTime(3); }),
       {"A-1", "A_10%", "B-100"}},
      {"until", filter([](RecordFilter& f) { f.until = SampleTime(1); }), {"A-101", "A-100"}},
      {"dut prefix, case counts",
       filter([](RecordFilter& f) { f.dutPrefix = "A-10"; }),
       {"A-101", "A-100"}},
      {"dut prefix with wildcards",
       filter([](RecordFilter& f) { f.dutPrefix = "A_1"; }),
       {"A_10%"}},
      {"tester", filter([](RecordFilter& f) { f.tester = "T-2"; }), {"B-100", "a-102"}},
      {"station", filter([](RecordFilter& f) { f.station = "bench-3"; }), {"A-1"}},
      {"program", filter([](RecordFilter& f) { f.program = 1; }), {"A_10%", "a-102", "A-100"}},
      {"outcome",
       filter([](RecordFilter& f) { f.outcome = RunOutcome::Pass; }),
       {"A-1", "a-102", "A-100"}},
      {"together",
       filter([](RecordFilter& f) {
         f.program = 1;
         f.station = "bench-1";
         f.tester = "T-1";
         f.since = SampleTime(1);
       }),
       {"A_10%"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Fetched<RunRecord> fetched = store_->Runs(c.filter);
    ASSERT_TRUE(fetched.ok()) << fetched.error.toStdString();
    QStringList duts;
    for (const RunRecord& run : fetched.items) duts << run.dut;
    EXPECT_EQ(duts, c.duts);
    const Fetched<qint64> count = store_->RunCount(c.filter);
    ASSERT_TRUE(count.ok()) << count.error.toStdString();
    EXPECT_EQ(count.items, std::vector<qint64>{c.duts.size()});
    // Page by page, each after the last of the one before, the same runs in the same order.
    QStringList paged;
    const QString error = EachRun(
        *store_, c.filter, [&paged](const RunRecord& run) { return paged << run.dut, QString(); },
        2);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(paged, c.duts);
  }
  const Fetched<RunRecord> page = store_->Runs({}, 2, 1);
  ASSERT_TRUE(page.ok());
  ASSERT_EQ(page.items.size(), 2u);
  EXPECT_EQ(page.items[0].dut, "A_10%");
  EXPECT_EQ(page.items[1].dut, "B-100");
  // Runs that started in the same millisecond are told apart by their ids, across pages.
  for (int i = 0; i < 5; ++i)
    Add(SampleRun(QStringLiteral("T-%1").arg(i), 1, 50, RunOutcome::Pass, SampleTime(9)));
  const Fetched<RunRecord> all = store_->Runs({});
  ASSERT_TRUE(all.ok());
  std::vector<QUuid> ids, paged;
  for (const RunRecord& run : all.items) ids.push_back(run.id);
  EXPECT_TRUE(EachRun(
                  *store_, {},
                  [&paged](const RunRecord& run) { return paged.push_back(run.id), QString(); }, 2)
                  .isEmpty());
  EXPECT_EQ(paged, ids);
}

TEST_P(RecordStores, StatsPerProgram) {
  // Program 1: an even count of readings and one run without; program 2: an odd count.
  const std::vector<std::tuple<int, std::optional<double>, RunOutcome>> runs = {
      {1, 40, RunOutcome::Fail},
      {1, 10, RunOutcome::Pass},
      {1, 30, RunOutcome::Pass},
      {1, 20, RunOutcome::Pass},
      {1, std::nullopt, RunOutcome::NoReading},
      {2, 700, RunOutcome::Fail},
      {2, 5, RunOutcome::Pass},
      {2, 7.5, RunOutcome::Pass},
  };
  int minute = 0;
  for (const auto& [program, ohms, outcome] : runs)
    Add(SampleRun("S", program, ohms, outcome, SampleTime(minute++)));
  const Fetched<ProgramStats> stats = store_->Stats({});
  ASSERT_TRUE(stats.ok()) << stats.error.toStdString();
  ASSERT_EQ(stats.items.size(), 2u);
  EXPECT_EQ(stats.items[0].program, 1);
  EXPECT_EQ(stats.items[0].count, 5);
  EXPECT_DOUBLE_EQ(stats.items[0].passRate, 0.6);
  EXPECT_EQ(stats.items[0].minOhms, 10);
  EXPECT_EQ(stats.items[0].medianOhms, 25);
  EXPECT_EQ(stats.items[0].maxOhms, 40);
  EXPECT_EQ(stats.items[1].program, 2);
  EXPECT_EQ(stats.items[1].count, 3);
  EXPECT_EQ(stats.items[1].medianOhms, 7.5);
  RecordFilter noReadings;
  noReadings.outcome = RunOutcome::NoReading;
  const Fetched<ProgramStats> none = store_->Stats(noReadings);
  ASSERT_TRUE(none.ok()) << none.error.toStdString();
  ASSERT_EQ(none.items.size(), 1u);
  EXPECT_FALSE(none.items[0].medianOhms);
  EXPECT_EQ(none.items[0].passRate, 0);

  // 0..50 in five bins: below and above the range fall in the end bins.
  const Fetched<qint64> bins = store_->ImpedanceHistogram({}, 0, 50, 5);
  ASSERT_TRUE(bins.ok()) << bins.error.toStdString();
  EXPECT_EQ(bins.items, (std::vector<qint64>{2, 1, 1, 1, 2}));
}

INSTANTIATE_TEST_SUITE_P(, RecordStores,
                         ::testing::Values(RecordLocation::Kind::Sqlite,
                                           RecordLocation::Kind::Postgres),
                         [](const auto& info) {
                           return info.param == RecordLocation::Kind::Sqlite ? "SQLite"
                                                                             : "PostgreSQL";
                         });

}  // namespace
