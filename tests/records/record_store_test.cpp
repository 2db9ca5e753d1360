// What every store does alike, run on SQLite and on a PostgreSQL server of the test's own; the
// shared server going away and coming back in the middle of a series of runs; the SQLite file's
// faults.
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "records/record_location.h"
#include "records/record_pages.h"
#include "records/record_row.h"
#include "records/record_tables.h"
#include "records/sqlite_store.h"
#include "tests/records/postgres_server.h"
#include "tests/records/sample_records.h"
#ifndef _WIN32
#include "tests/support/file_faults.h"
#endif
#include "tests/support/file_bytes.h"
#include "tests/support/file_rights.h"
#include "tests/support/qt_printers.h"

namespace {

// A record's every field (the impedance to the last bit), and as the store must give it back:
// every field as given, marked sent.
QByteArray Row(const RunRecord& run) {
  return CsvLine(RunRow(run)) + QByteArray::number(run.impedanceOhms.value_or(-1), 'g', 17);
}
QByteArray Stored(RunRecord run) { return run.sent = true, Row(run); }
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
    location_.file = folder_.filePath("records.sqlite");
    location_.connectTimeoutS = 2;
    if (GetParam() == RecordLocation::Kind::Postgres) {
      server_ = std::make_unique<PostgresServer>();
      if (!server_->Error().isEmpty()) GTEST_SKIP() << server_->Error().toStdString();
      location_ = ParseRecordLocation(server_->NewDatabase("line")).location;
      location_.localFile = folder_.filePath("waiting.sqlite");
    }
    OpenedStore opened = OpenRecordStore(location_);
    ASSERT_TRUE(opened.store) << opened.error.toStdString();
    store_ = std::move(opened.store);
  }
  void Add(const RunRecord& run) { EXPECT_EQ(store_->AddRun(run).message, QString()); }

  QTemporaryDir folder_;
  RecordLocation location_;
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
  QByteArrayList wanted, got;
  for (const RunRecord& run : runs) wanted.prepend(Stored(run));  // newest first
  for (const RunRecord& run : store_->Runs({}).items) got << Row(run);
  EXPECT_EQ(got, wanted);

  ProgramChange change{.time = SampleTime(1),
                       .operatorName = "Ines",
                       .station = "bench-1",
                       .tester = runs[0].tester,
                       .action = "upload",
                       .programsSent = {runs[0].settings, runs[1].settings, runs[2].settings},
                       .programsEchoed = {runs[0].settings, runs[2].settings},
                       .version = "1.1.0"};
  ProgramChange later = change;
  later.id = QUuid::createUuid();
  later.station = "bench-2";
  for (const ProgramChange& c : {change, later})
    ASSERT_EQ(store_->AddChange(c).outcome, StoreOutcome::Stored);
  // Same time: the greater id first.
  std::vector<ProgramChange> both = {change, later};
  if (later.id.toString() > change.id.toString()) std::swap(both[0], both[1]);
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
  using R = RunOutcome;
  const std::tuple<QString, int, RunOutcome, QString, QString> rows[] = {
      // DUT, program, outcome, station, tester
      {"A-100", 1, R::Pass, "bench-1", "T-1"},    {"A-101", 2, R::Fail, "bench-2", "T-1"},
      {"a-102", 1, R::Pass, "bench-1", "T-2"},    {"B-100", 3, R::Error, "bench-2", "T-2"},
      {"A_10%", 1, R::Stopped, "bench-1", "T-1"}, {"A-1", 2, R::Pass, "bench-3", "T-3"}};
  int minute = 0;
  for (const auto& [dut, program, outcome, station, tester] : rows) {
    RunRecord run = SampleRun(dut, program, 50, outcome, SampleTime(minute++));
    run.station = station;
    run.tester.testerSerial = tester;
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

std::string KindName(const ::testing::TestParamInfo<RecordLocation::Kind>& info) {
  return info.param == RecordLocation::Kind::Sqlite ? "SQLite" : "PostgreSQL";
}
INSTANTIATE_TEST_SUITE_P(, RecordStores,
                         ::testing::Values(RecordLocation::Kind::Sqlite,
                                           RecordLocation::Kind::Postgres),
                         KindName);

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

// The stores' rules on the server alone.
class PostgresStore : public RecordStores {};

TEST_P(PostgresStore, AnOutageLosesNothingAndSendsEveryRecordOnceInOrder) {
  QStringList added;
  const auto add = [&](StoreOutcome expected) {
    const RunRecord run = SampleRun("E", 1, 50, RunOutcome::Pass, SampleTime(int(added.size())));
    added << run.id.toString(QUuid::WithoutBraces);
    const StoreResult result = store_->AddRun(run);
    EXPECT_EQ(result.outcome, expected) << result.message.toStdString();
    return result.message;
  };
  add(StoreOutcome::Stored);
  add(StoreOutcome::Stored);
  ASSERT_TRUE(server_->Stop()) << server_->Error().toStdString();
  const QString kept = add(StoreOutcome::KeptLocally);
  EXPECT_TRUE(kept.contains(location_.localFile) && kept.contains("not sent") &&
              kept.contains("cannot reach"))
      << kept.toStdString();
  add(StoreOutcome::KeptLocally);
  EXPECT_EQ(store_->Sync().outcome, StoreOutcome::Failed);
  EXPECT_FALSE(store_->Runs({}).ok());
  add(StoreOutcome::KeptLocally);
  ASSERT_TRUE(server_->Start()) << server_->Error().toStdString();
  // The next record goes after the ones that waited.
  add(StoreOutcome::Stored);
  EXPECT_EQ(ServerIds(location_), added);
  int sent = -1;
  EXPECT_EQ(store_->Sync(&sent).outcome, StoreOutcome::Stored);
  EXPECT_EQ(sent, 0);
  QString why;
  // A batch sent again (the server committed, the mark was lost) changes nothing there.
  ASSERT_TRUE(QSqlQuery(SqliteStore::Open(location_.localFile, 1000, &why)->Database())
                  .exec("UPDATE runs SET sent = 0"));
  EXPECT_EQ(store_->Sync(&sent).outcome, StoreOutcome::Stored);
  EXPECT_EQ(sent, 3);
  EXPECT_EQ(ServerIds(location_), added);
  EXPECT_EQ(store_->Runs({}).items.size(), std::size_t(added.size()));
}

INSTANTIATE_TEST_SUITE_P(, PostgresStore, ::testing::Values(RecordLocation::Kind::Postgres),
                         KindName);

// The SQLite file's faults: each fails clearly, with its reason, and loses nothing stored.
class SqliteFile : public ::testing::Test {
 protected:
  std::unique_ptr<SqliteStore> Open(int busyTimeoutMs = 10000) {
    return SqliteStore::Open(file_, busyTimeoutMs, &error_);
  }
  StoreResult AddOne(RecordStore& store) {
    return store.AddRun(SampleRun("E-1", 1, 50, RunOutcome::Pass, SampleTime(0)));
  }
  // The message names the file and says why.
  void ExpectNamed(const QString& message, const char* why) {
    EXPECT_TRUE(message.contains(file_) && message.contains(why)) << message.toStdString();
  }
  // Runs statements on the file through a store's connection of its own.
  void Statements(const QStringList& sql) {
    const auto store = Open();
    for (const QString& each : sql)
      ASSERT_TRUE(QSqlQuery(store->Database()).exec(each)) << each.toStdString();
  }
  QTemporaryDir folder_;
  QString file_ = folder_.filePath("new/folder/records.sqlite");
  QString error_;
};

// Not a database, or one of a newer version: refused, untouched.
TEST_F(SqliteFile, WhatItCannotUseIsRefusedUntouched) {
  QDir().mkpath(QFileInfo(file_).path());
  WriteAll(file_, QByteArray("time,dut\n").repeated(200));
  for (const char* why : {"not a database", "newer version"}) {
    const QByteArray before = ReadAll(file_);
    EXPECT_FALSE(Open());
    ExpectNamed(error_, why);
    EXPECT_EQ(ReadAll(file_), before);
    QFile::remove(file_);
    Statements(
        {"UPDATE schema_version SET version = version + 1", "PRAGMA wal_checkpoint(TRUNCATE)"});
  }
}

// A new file comes with its folder, in write-ahead mode; one of an older version is brought up
// to date, its records kept.
TEST_F(SqliteFile, IsCreatedInWriteAheadModeAndAnOlderSchemaIsUpgradedKeepingItsRecords) {
  ASSERT_EQ(AddOne(*Open()).outcome, StoreOutcome::Stored) << error_.toStdString();
  Statements({"UPDATE schema_version SET version = 1"});
  auto store = Open();
  ASSERT_TRUE(store) << error_.toStdString();
  QString error;
  EXPECT_EQ(SchemaVersion(store->Database(), &error), kSchemaVersion) << error.toStdString();
  EXPECT_EQ(store->RunCount({}).items, std::vector<qint64>{1});
  QSqlQuery query(store->Database());
  for (const auto& [pragma, value] : {std::pair{"journal_mode", "wal"}, {"synchronous", "2"}}) {
    ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA ") + pragma) && query.next());
    EXPECT_EQ(query.value(0).toString(), value);  // synchronous 2: FULL
  }
}

TEST_F(SqliteFile, ReadOnlyFailsWithTheReason) {
  ASSERT_TRUE(Open());
  ASSERT_TRUE(QFile::setPermissions(file_, QFile::ReadOwner | QFile::ReadGroup));
  const WithoutPermissionOverride asOperator;
  if (QFile probe(file_); probe.open(QIODevice::ReadWrite))
    GTEST_SKIP() << "a read-only file stays writable here (wine run as root)";
  auto store = Open();
  const StoreResult result = store ? AddOne(*store) : StoreResult{StoreOutcome::Failed, error_};
  EXPECT_EQ(result.outcome, StoreOutcome::Failed);
  ExpectNamed(result.message, "readonly");
}

// Another writer's lock makes a write wait, then fail; an export that can no longer read its
// records fails with the reason, never as a short success.
TEST_F(SqliteFile, ALockedWriteAndAnExportThatCannotReadSayWhy) {
  auto store = Open(200);
  auto other = Open();
  QSqlQuery hold(other->Database());
  ASSERT_TRUE(hold.exec("BEGIN EXCLUSIVE"));
  const StoreResult locked = AddOne(*store);
  EXPECT_EQ(locked.outcome, StoreOutcome::Failed);
  ExpectNamed(locked.message, "locked");
  ASSERT_TRUE(hold.exec("ROLLBACK"));
  EXPECT_EQ(AddOne(*store).outcome, StoreOutcome::Stored);
  EXPECT_EQ(store->Runs({}).items.size(), 1u);
  ASSERT_TRUE(hold.exec("DROP TABLE runs"));
  ExpectNamed(EachRun(*store, {}, [](const RunRecord&) { return QString(); }), "runs");
}

#ifndef _WIN32
TEST_F(SqliteFile, FullDiskFailsWithTheReasonAndKeepsWhatWasStored) {
  const QString mount = folder_.filePath("disk");
  const FullDisk disk(mount, "1m");
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  file_ = mount + "/records.sqlite";
  auto store = Open();
  ASSERT_TRUE(store) << error_.toStdString();
  ASSERT_EQ(AddOne(*store).outcome, StoreOutcome::Stored);
  disk.Fill();
  StoreResult full{StoreOutcome::Stored, {}};
  // The log's last page may still take a record or two.
  for (int i = 0; i < 100 && full.outcome != StoreOutcome::Failed; ++i) full = AddOne(*store);
  EXPECT_EQ(full.outcome, StoreOutcome::Failed);
  ExpectNamed(full.message, "full");
  store.reset();
  QFile::remove(mount + "/filler");
  EXPECT_GE(Open()->Runs({}).items.size(), 1u);
}
#endif

// Other benches write the file as processes of their own (the writer prints each id once stored);
// every record reported stored is there, whole, even from a writer killed in the middle of a
// series.
TEST_F(SqliteFile, OtherProcessesWritingLoseNoRecord) {
  ASSERT_TRUE(Open());
  QProcess first, second, killed;
  for (QProcess* writer : {&first, &second}) writer->start(RECORDS_WRITER, {file_, "150"});
  killed.start(RECORDS_WRITER, {file_, "0"});  // until killed
  QByteArray output;
  while (output.count('\n') < 40 && killed.waitForReadyRead(60000))
    output += killed.readAllStandardOutput();
  killed.kill();  // SIGKILL, most likely in the middle of a record
  ASSERT_TRUE(killed.waitForFinished(60000));
  output += killed.readAllStandardOutput();
  for (QProcess* writer : {&first, &second}) {
    ASSERT_TRUE(writer->waitForFinished(120000));
    EXPECT_EQ(writer->exitCode(), 0) << writer->readAllStandardError().toStdString();
    const QByteArray ids = writer->readAllStandardOutput();
    EXPECT_EQ(ids.count('\n'), 150);
    output += ids;
  }
  std::set<QString> printed;
  for (const QByteArray& id : output.simplified().split(' ')) printed.insert(QString(id));
  ASSERT_GE(printed.size(), 340u);
  auto store = Open();
  QSqlQuery check(store->Database());
  ASSERT_TRUE(check.exec("PRAGMA integrity_check") && check.next());
  EXPECT_EQ(check.value(0).toString(), "ok");
  std::set<QString> stored;
  for (const RunRecord& run : store->Runs({}).items) {
    stored.insert(run.id.toString(QUuid::WithoutBraces));
    EXPECT_EQ(run.impedanceOhms, 42.5);
    EXPECT_EQ(run.ended, run.started.addSecs(3));
  }
  // At most the one being written when killed is more.
  EXPECT_TRUE(std::includes(stored.begin(), stored.end(), printed.begin(), printed.end()));
  EXPECT_LE(stored.size(), printed.size() + 1);
}

}  // namespace
