// What every store does alike, run on SQLite and on a PostgreSQL server of the test's own; and
// the shared server going away and coming back in the middle of a series of runs.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "records/record_location.h"
#include "records/record_pages.h"
#include "records/record_row.h"
#include "records/sqlite_store.h"
#include "tests/records/postgres_server.h"
#include "tests/records/sample_records.h"
#include "tests/support/qt_printers.h"

namespace {

// A record as the store must give it back: every field as given, marked sent.
QByteArray Stored(RunRecord run) { return run.sent = true, CsvLine(RunRow(run)); }
QByteArray Stored(ProgramChange change) { return change.sent = true, CsvLine(ChangeRow(change)); }

// The DUTs of the runs a filter takes, newest first; counted, and listed page by page (each
// page after the last of the one before) in the same order.
QStringList Duts(RecordStore& store, const RecordFilter& filter) {
  const Fetched<RunRecord> runs = store.Runs(filter);
  EXPECT_TRUE(runs.ok()) << runs.error.toStdString();
  QStringList duts, paged;
  for (const RunRecord& run : runs.items) duts << run.dut;
  EXPECT_EQ(store.RunCount(filter).items, std::vector<qint64>{duts.size()});
  EXPECT_EQ(EachRun(
                store, filter, [&](const RunRecord& r) { return paged << r.dut, QString(); }, 2),
            QString());
  EXPECT_EQ(paged, duts);
  return duts;
}

class RecordStores : public ::testing::TestWithParam<RecordLocation::Kind> {
 protected:
  void SetUp() override {
    RecordLocation location;
    location.file = folder_.filePath("records.sqlite");
    if (GetParam() == RecordLocation::Kind::Postgres) {
      server_ = std::make_unique<PostgresServer>();
      if (!server_->Error().isEmpty()) GTEST_SKIP() << server_->Error().toStdString();
      location = ParseRecordLocation(server_->NewDatabase("line")).location;
      ASSERT_EQ(server_->Error(), QString());
      location.localFile = folder_.filePath("waiting.sqlite");
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
  const QString duts[] = {
      "E-1,2", "say \"hi\" 'x'", "line\nnext\r\n", "=SUM(A1)", "+1", "Ω ünï 中 😀", ""};
  std::vector<RunRecord> runs;
  for (int i = 0; i < 7; ++i) {
    RunRecord& run =
        runs.emplace_back(SampleRun(duts[i], 1 + i % 3, i ? std::optional(10.25 * i) : std::nullopt,
                                    RunOutcome(i % 6), SampleTime(i)));
    run.errorText = QStringLiteral("reply %1 missing").arg(i);
    run.tester.calibrationOverdue = i % 2;
    Add(run);
  }
  const Fetched<RunRecord> fetched = store_->Runs({});
  ASSERT_EQ(fetched.items.size(), runs.size()) << fetched.error.toStdString();
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const RunRecord& want = runs[runs.size() - 1 - i];  // newest first
    EXPECT_EQ(CsvLine(RunRow(fetched.items[i])), Stored(want));
    EXPECT_EQ(fetched.items[i].impedanceOhms, want.impedanceOhms);
  }

  ProgramChange change;
  change.time = SampleTime(1);
  change.operatorName = "Ines";
  change.station = "bench-1";
  change.tester = runs[0].tester;
  change.action = "upload";
  change.programsSent = {runs[0].settings, runs[1].settings, runs[2].settings};
  change.programsEchoed = {runs[0].settings, runs[2].settings};
  change.version = "1.1.0";
  ProgramChange later = change;
  later.id = QUuid::createUuid();
  later.station = "bench-2";
  for (const ProgramChange& c : {change, later})
    ASSERT_EQ(store_->AddChange(c).outcome, StoreOutcome::Stored);
  // Same time: the greater id first.
  std::vector<ProgramChange> both = {change, later};
  std::sort(both.begin(), both.end(), [](const ProgramChange& a, const ProgramChange& b) {
    return a.id.toString() > b.id.toString();
  });
  using Case = std::pair<RecordFilter, std::vector<ProgramChange>>;
  for (const auto& [filter, want] : {Case{{}, both}, Case{{.station = "bench-2"}, {later}}}) {
    EXPECT_EQ(store_->ChangeCount(filter).items, std::vector<qint64>{qint64(want.size())});
    QByteArrayList wanted, listed, paged;
    for (const ProgramChange& c : want) wanted << Stored(c);
    for (const ProgramChange& c : store_->Changes(filter).items) listed << CsvLine(ChangeRow(c));
    const auto take = [&paged](const ProgramChange& c) {
      return paged << CsvLine(ChangeRow(c)), QString();
    };
    EXPECT_EQ(EachChange(*store_, filter, take, 1), QString());
    EXPECT_EQ(listed, wanted);
    EXPECT_EQ(paged, wanted);
  }
}

TEST_P(RecordStores, FilterNewestFirst) {
  const struct {
    QString dut;
    int program;
    RunOutcome outcome;
    QString station, tester;
  } rows[] = {{"A-100", 1, RunOutcome::Pass, "bench-1", "T-1"},
              {"A-101", 2, RunOutcome::Fail, "bench-2", "T-1"},
              {"a-102", 1, RunOutcome::Pass, "bench-1", "T-2"},
              {"B-100", 3, RunOutcome::Error, "bench-2", "T-2"},
              {"A_10%", 1, RunOutcome::Stopped, "bench-1", "T-1"},
              {"A-1", 2, RunOutcome::Pass, "bench-3", "T-3"}};
  int minute = 0;
  for (const auto& row : rows) {
    RunRecord run = SampleRun(row.dut, row.program, 50, row.outcome, SampleTime(minute++));
    run.station = row.station;
    run.tester.testerSerial = row.tester;
    Add(run);
  }
  const std::pair<RecordFilter, QStringList> cases[] = {
      {{}, {"A-1", "A_10%", "B-100", "a-102", "A-101", "A-100"}},
      {{.since = SampleTime(3)}, {"A-1", "A_10%", "B-100"}},
      {{.until = SampleTime(1)}, {"A-101", "A-100"}},
      {{.dutPrefix = "A-10"}, {"A-101", "A-100"}},  // case counts
      {{.dutPrefix = "A_1"}, {"A_10%"}},            // no wildcards
      {{.tester = "T-2"}, {"B-100", "a-102"}},
      {{.station = "bench-3"}, {"A-1"}},
      {{.program = 1}, {"A_10%", "a-102", "A-100"}},
      {{.outcome = RunOutcome::Pass}, {"A-1", "a-102", "A-100"}},
      {{.since = SampleTime(1), .tester = "T-1", .station = "bench-1", .program = 1}, {"A_10%"}}};
  for (const auto& [filter, duts] : cases) EXPECT_EQ(Duts(*store_, filter), duts);
  const Fetched<RunRecord> page = store_->Runs({}, 2, 1);
  ASSERT_EQ(page.items.size(), 2u) << page.error.toStdString();
  EXPECT_EQ(page.items[0].dut + page.items[1].dut, "A_10%B-100");
  // Runs that started in the same millisecond are told apart by their ids, across pages.
  for (int i = 0; i < 5; ++i)
    Add(SampleRun(QString::number(i), 1, 50, RunOutcome::Pass, SampleTime(9)));
  EXPECT_EQ(Duts(*store_, {}).size(), 11);
}

// Each program's figures as "program: count passRate min median max", "-" for none.
QString Text(const Fetched<ProgramStats>& stats) {
  const auto ohms = [](std::optional<double> v) { return v ? QString::number(*v) : "-"; };
  QStringList text{stats.error};
  for (const ProgramStats& s : stats.items)
    text << QStringLiteral("%1: %2 %3 %4 %5 %6")
                .arg(s.program)
                .arg(s.count)
                .arg(s.passRate)
                .arg(ohms(s.minOhms), ohms(s.medianOhms), ohms(s.maxOhms));
  return text.join("; ");
}

TEST_P(RecordStores, StatsPerProgram) {
  // Program 1: an even count of readings and one run without; program 2: an odd count.
  const std::tuple<int, std::optional<double>, RunOutcome> runs[] = {
      {1, 40, RunOutcome::Fail}, {1, 10, RunOutcome::Pass},      {1, 30, RunOutcome::Pass},
      {1, 20, RunOutcome::Pass}, {1, {}, RunOutcome::NoReading}, {2, 700, RunOutcome::Fail},
      {2, 5, RunOutcome::Pass},  {2, 7.5, RunOutcome::Pass}};
  int minute = 0;
  for (const auto& [program, ohms, outcome] : runs)
    Add(SampleRun("S", program, ohms, outcome, SampleTime(minute++)));
  EXPECT_EQ(Text(store_->Stats({})), "; 1: 5 0.6 10 25 40; 2: 3 0.666667 5 7.5 700");
  EXPECT_EQ(Text(store_->Stats({.outcome = RunOutcome::NoReading})), "; 1: 1 0 - - -");
  // 0..50 in five bins: below and above the range fall in the end bins.
  EXPECT_EQ(store_->ImpedanceHistogram({}, 0, 50, 5).items, (std::vector<qint64>{2, 1, 1, 1, 2}));
}

INSTANTIATE_TEST_SUITE_P(, RecordStores,
                         ::testing::Values(RecordLocation::Kind::Sqlite,
                                           RecordLocation::Kind::Postgres),
                         [](const auto& info) {
                           return info.param == RecordLocation::Kind::Sqlite ? "SQLite"
                                                                             : "PostgreSQL";
                         });

// The run ids on the server in the order they arrived there (a table only ever appended to
// keeps its rows in that order).
QStringList ServerIds(const RecordLocation& where) {
  QStringList ids;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "check");
    db.setHostName(where.host);
    db.setPort(where.port);
    db.setUserName(where.user);
    db.setDatabaseName(where.database);
    QSqlQuery query(db);
    if (db.open() && query.exec("SELECT id FROM runs ORDER BY ctid"))
      while (query.next()) ids << query.value(0).toString();
  }
  QSqlDatabase::removeDatabase("check");
  return ids;
}

TEST(PostgresStore, AnOutageLosesNothingAndSendsEveryRecordOnceInOrder) {
  PostgresServer server;
  if (!server.Error().isEmpty()) GTEST_SKIP() << server.Error().toStdString();
  QTemporaryDir folder;
  RecordLocation location = ParseRecordLocation(server.NewDatabase("line")).location;
  location.localFile = folder.filePath("waiting.sqlite");
  location.connectTimeoutS = 2;
  OpenedStore opened = OpenRecordStore(location);
  ASSERT_TRUE(opened.store) << opened.error.toStdString();
  RecordStore& store = *opened.store;
  QStringList added;
  const auto add = [&](StoreOutcome expected) {
    const RunRecord run = SampleRun("E", 1, 50, RunOutcome::Pass, SampleTime(int(added.size())));
    added << run.id.toString(QUuid::WithoutBraces);
    const StoreResult result = store.AddRun(run);
    EXPECT_EQ(result.outcome, expected) << result.message.toStdString();
    return result.message;
  };
  add(StoreOutcome::Stored);
  add(StoreOutcome::Stored);
  ASSERT_TRUE(server.Stop()) << server.Error().toStdString();
  const QString kept = add(StoreOutcome::KeptLocally);
  EXPECT_TRUE(kept.contains(location.localFile) && kept.contains("not sent") &&
              kept.contains("cannot reach"))
      << kept.toStdString();
  add(StoreOutcome::KeptLocally);
  EXPECT_EQ(store.Sync().outcome, StoreOutcome::Failed);
  EXPECT_FALSE(store.Runs({}).ok());
  add(StoreOutcome::KeptLocally);
  ASSERT_TRUE(server.Start()) << server.Error().toStdString();
  // The next record goes after the ones that waited.
  add(StoreOutcome::Stored);
  EXPECT_EQ(ServerIds(location), added);
  int sent = -1;
  EXPECT_EQ(store.Sync(&sent).outcome, StoreOutcome::Stored);
  EXPECT_EQ(sent, 0);
  // A batch sent again (the server committed, the mark was lost) changes nothing there.
  ASSERT_TRUE(QSqlQuery(SqliteStore::Open(location.localFile, 1000, &opened.error)->Database())
                  .exec("UPDATE runs SET sent = 0"));
  EXPECT_EQ(store.Sync(&sent).outcome, StoreOutcome::Stored);
  EXPECT_EQ(sent, 3);
  EXPECT_EQ(ServerIds(location), added);
  EXPECT_EQ(store.Runs({}).items.size(), std::size_t(added.size()));
}

}  // namespace
