// The SQLite file's faults: each fails clearly, with its reason, and loses nothing stored.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

#include "records/record_location.h"
#include "records/record_pages.h"
#include "records/record_tables.h"
#include "records/sqlite_store.h"
#include "tests/records/sample_records.h"
#ifndef _WIN32
#include "tests/support/file_faults.h"
#endif
#include "tests/support/file_rights.h"
#include "tests/support/qt_printers.h"

namespace {

class SqliteFile : public ::testing::Test {
 protected:
  std::unique_ptr<SqliteStore> Open(int busyTimeoutMs = 10000) {
    QString error;
    std::unique_ptr<SqliteStore> store = SqliteStore::Open(file_, busyTimeoutMs, &error);
    error_ = error;
    return store;
  }
  StoreResult AddOne(RecordStore& store) {
    return store.AddRun(SampleRun("E-1", 1, 50, RunOutcome::Pass, SampleTime(0)));
  }
  QByteArray Bytes() const {
    QFile file(file_);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // Runs a statement on the file through a connection of its own.
  void Statement(const QString& sql) {
    {
      QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
      db.setDatabaseName(file_);
      ASSERT_TRUE(db.open());
      QSqlQuery query(db);
      ASSERT_TRUE(query.exec(sql)) << sql.toStdString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
  }
  // The writer helper's run ids, as it printed them (a line each, "\r\n" on Windows).
  static QStringList Ids(const QByteArray& output) {
    return QString::fromLatin1(output).split(QRegularExpression(QStringLiteral("\\s+")),
                                             Qt::SkipEmptyParts);
  }

  QTemporaryDir folder_;
  QString file_ = folder_.filePath(QStringLiteral("new/folder/records.sqlite"));
  QString error_;
};

TEST_F(SqliteFile, IsCreatedWithItsFolderInWriteAheadMode) {
  auto store = Open();
  ASSERT_TRUE(store) << error_.toStdString();
  EXPECT_EQ(AddOne(*store).outcome, StoreOutcome::Stored);
  QSqlQuery query(store->Database());
  ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA journal_mode")) && query.next());
  EXPECT_EQ(query.value(0).toString(), "wal");
  ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA synchronous")) && query.next());
  EXPECT_EQ(query.value(0).toInt(), 2);  // FULL
}

TEST_F(SqliteFile, NotADatabaseIsRefusedUntouched) {
  QDir().mkpath(QFileInfo(file_).path());
  QFile text(file_);
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  const QByteArray content = QByteArray("time,dut\n").repeated(200);
  text.write(content);
  text.close();
  EXPECT_FALSE(Open());
  EXPECT_TRUE(error_.contains(file_) && error_.contains("not a database")) << error_.toStdString();
  EXPECT_EQ(Bytes(), content);
}

TEST_F(SqliteFile, NewerSchemaIsRefusedUntouched) {
  ASSERT_TRUE(Open());
  Statement(QStringLiteral("UPDATE schema_version SET version = version + 1"));
  Statement(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
  const QByteArray before = Bytes();
  EXPECT_FALSE(Open());
  EXPECT_TRUE(error_.contains("newer version")) << error_.toStdString();
  EXPECT_EQ(Bytes(), before);
}

// A file of an older version is brought up to date, its records kept.
TEST_F(SqliteFile, AnOlderSchemaIsUpgradedKeepingItsRecords) {
  {
    auto store = Open();
    ASSERT_TRUE(store);
    ASSERT_EQ(AddOne(*store).outcome, StoreOutcome::Stored);
  }
  Statement(QStringLiteral("UPDATE schema_version SET version = 1"));
  auto store = Open();
  ASSERT_TRUE(store) << error_.toStdString();
  QString error;
  EXPECT_EQ(SchemaVersion(store->Database(), &error), kSchemaVersion) << error.toStdString();
  EXPECT_EQ(store->RunCount({}).items, std::vector<qint64>{1});
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
  EXPECT_TRUE(result.message.contains(file_) && result.message.contains("readonly"))
      << result.message.toStdString();
}

// An export that can no longer read its records fails with the reason, never as a short
// success.
TEST_F(SqliteFile, AnExportThatCannotReadSaysWhy) {
  auto store = Open();
  ASSERT_TRUE(store);
  ASSERT_EQ(AddOne(*store).outcome, StoreOutcome::Stored);
  Statement(QStringLiteral("DROP TABLE runs"));
  const QString error = EachRun(*store, {}, [](const RunRecord&) { return QString(); });
  EXPECT_TRUE(error.contains(file_) && error.contains("runs")) << error.toStdString();
}

TEST_F(SqliteFile, LockedByAnotherWriterWaitsThenFails) {
  auto store = Open(200);
  ASSERT_TRUE(store);
  auto other = Open();
  ASSERT_TRUE(other);
  QSqlQuery hold(other->Database());
  ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));
  const StoreResult locked = AddOne(*store);
  EXPECT_EQ(locked.outcome, StoreOutcome::Failed);
  EXPECT_TRUE(locked.message.contains(file_) && locked.message.contains("locked"))
      << locked.message.toStdString();
  ASSERT_TRUE(hold.exec(QStringLiteral("ROLLBACK")));
  EXPECT_EQ(AddOne(*store).outcome, StoreOutcome::Stored);
  EXPECT_EQ(store->Runs({}).items.size(), 1u);
}

#ifndef _WIN32
TEST_F(SqliteFile, FullDiskFailsWithTheReasonAndKeepsWhatWasStored) {
  const QString mount = folder_.filePath(QStringLiteral("disk"));
  const FullDisk disk(mount, "1m");
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  file_ = mount + QStringLiteral("/records.sqlite");
  auto store = Open();
  ASSERT_TRUE(store) << error_.toStdString();
  ASSERT_EQ(AddOne(*store).outcome, StoreOutcome::Stored);
  disk.Fill();
  StoreResult full{StoreOutcome::Stored, {}};
  // The log's last page may still take a record or two.
  for (int i = 0; i < 100 && full.outcome != StoreOutcome::Failed; ++i) full = AddOne(*store);
  EXPECT_EQ(full.outcome, StoreOutcome::Failed);
  EXPECT_TRUE(full.message.contains(file_) && full.message.contains("full"))
      << full.message.toStdString();
  store.reset();
  QFile::remove(mount + QStringLiteral("/filler"));
  store = Open();
  ASSERT_TRUE(store) << error_.toStdString();
  const Fetched<RunRecord> runs = store->Runs({});
  ASSERT_TRUE(runs.ok());
  EXPECT_GE(runs.items.size(), 1u);
}
#endif

TEST_F(SqliteFile, TwoProcessesWritingBothLand) {
  ASSERT_TRUE(Open());
  QProcess first, second;
  for (QProcess* writer : {&first, &second}) writer->start(RECORDS_WRITER, {file_, "150"});
  std::set<QString> printed;
  for (QProcess* writer : {&first, &second}) {
    ASSERT_TRUE(writer->waitForFinished(120000));
    EXPECT_EQ(writer->exitCode(), 0) << writer->readAllStandardError().toStdString();
    for (const QString& id : Ids(writer->readAllStandardOutput())) printed.insert(id);
  }
  EXPECT_EQ(printed.size(), 300u);
  auto store = Open();
  const Fetched<RunRecord> runs = store->Runs({});
  ASSERT_TRUE(runs.ok());
  std::set<QString> stored;
  for (const RunRecord& run : runs.items) stored.insert(run.id.toString(QUuid::WithoutBraces));
  EXPECT_EQ(stored, printed);
}

TEST_F(SqliteFile, AKillDuringASeriesLeavesWholeRecords) {
  ASSERT_TRUE(Open());
  QProcess writer;
  writer.start(RECORDS_WRITER, {file_, "0"});
  QByteArray output;
  while (output.count('\n') < 40 && writer.waitForReadyRead(60000))
    output += writer.readAllStandardOutput();
  writer.kill();  // SIGKILL, most likely in the middle of a record
  ASSERT_TRUE(writer.waitForFinished(60000));
  output += writer.readAllStandardOutput();
  const QStringList printed = Ids(output);
  ASSERT_GE(printed.size(), 40);

  auto store = Open();
  ASSERT_TRUE(store) << error_.toStdString();
  QSqlQuery check(store->Database());
  ASSERT_TRUE(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
  EXPECT_EQ(check.value(0).toString(), "ok");
  const Fetched<RunRecord> runs = store->Runs({});
  ASSERT_TRUE(runs.ok());
  std::set<QString> stored;
  for (const RunRecord& run : runs.items) {
    stored.insert(run.id.toString(QUuid::WithoutBraces));
    EXPECT_EQ(run.impedanceOhms, 42.5);
    EXPECT_EQ(run.ended, run.started.addSecs(3));
  }
  // Every record reported stored is there; at most the one being written when killed is more.
  for (const QString& id : printed) EXPECT_TRUE(stored.count(id)) << id.toStdString();
  EXPECT_LE(stored.size(), std::size_t(printed.size()) + 1);
}

}  // namespace
