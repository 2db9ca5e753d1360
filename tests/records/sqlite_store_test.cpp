// The SQLite file's faults: each fails clearly, with its reason, and loses nothing stored.
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

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
    return SqliteStore::Open(file_, busyTimeoutMs, &error_);
  }
  StoreResult AddOne(RecordStore& store) {
    return store.AddRun(SampleRun("E-1", 1, 50, RunOutcome::Pass, SampleTime(0)));
  }
  // The message names the file and says why.
  void ExpectNamed(const QString& message, const char* why) {
    EXPECT_TRUE(message.contains(file_) && message.contains(why)) << message.toStdString();
  }
  QByteArray Bytes() const {
    QFile file(file_);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // Runs statements on the file through a connection of its own.
  void Statements(const QStringList& sql) {
    {
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
      db.setDatabaseName(file_);
      ASSERT_TRUE(db.open());
      for (const QString& each : sql) ASSERT_TRUE(QSqlQuery(db).exec(each)) << each.toStdString();
    }
    QSqlDatabase::removeDatabase("raw");
  }
  QTemporaryDir folder_;
  QString file_ = folder_.filePath("new/folder/records.sqlite");
  QString error_;
};

TEST_F(SqliteFile, IsCreatedWithItsFolderInWriteAheadMode) {
  auto store = Open();
  ASSERT_TRUE(store) << error_.toStdString();
  EXPECT_EQ(AddOne(*store).outcome, StoreOutcome::Stored);
  QSqlQuery query(store->Database());
  ASSERT_TRUE(query.exec("PRAGMA journal_mode") && query.next());
  EXPECT_EQ(query.value(0).toString(), "wal");
  ASSERT_TRUE(query.exec("PRAGMA synchronous") && query.next());
  EXPECT_EQ(query.value(0).toInt(), 2);  // FULL
}

// Not a database, or one of a newer version: refused, untouched.
TEST_F(SqliteFile, WhatItCannotUseIsRefusedUntouched) {
  QDir().mkpath(QFileInfo(file_).path());
  QFile text(file_);
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  ASSERT_TRUE(text.write(QByteArray("time,dut\n").repeated(200)) > 0);
  text.close();
  for (const char* why : {"not a database", "newer version"}) {
    const QByteArray before = Bytes();
    EXPECT_FALSE(Open());
    ExpectNamed(error_, why);
    EXPECT_EQ(Bytes(), before);
    QFile::remove(file_);
    ASSERT_TRUE(Open());
    Statements(
        {"UPDATE schema_version SET version = version + 1", "PRAGMA wal_checkpoint(TRUNCATE)"});
  }
}

// A file of an older version is brought up to date, its records kept.
TEST_F(SqliteFile, AnOlderSchemaIsUpgradedKeepingItsRecords) {
  ASSERT_EQ(AddOne(*Open()).outcome, StoreOutcome::Stored);
  Statements({"UPDATE schema_version SET version = 1"});
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
  ExpectNamed(result.message, "readonly");
}

// An export that can no longer read its records fails with the reason, never as a short
// success.
TEST_F(SqliteFile, AnExportThatCannotReadSaysWhy) {
  auto store = Open();
  ASSERT_EQ(AddOne(*store).outcome, StoreOutcome::Stored);
  Statements({"DROP TABLE runs"});
  ExpectNamed(EachRun(*store, {}, [](const RunRecord&) { return QString(); }), "runs");
}

TEST_F(SqliteFile, LockedByAnotherWriterWaitsThenFails) {
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
