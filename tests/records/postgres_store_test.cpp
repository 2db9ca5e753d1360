// The shared server going away and coming back in the middle of a series of runs.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "records/postgres_store.h"
#include "records/record_location.h"
#include "tests/records/postgres_server.h"
#include "tests/records/sample_records.h"
#include "tests/support/qt_printers.h"

namespace {

// The run ids on the server in the order they arrived there (a table only ever appended to
// keeps its rows in that order).
QStringList ServerIds(const QString& location) {
  const RecordLocation where = ParseRecordLocation(location).location;
  QStringList ids;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("check"));
    db.setHostName(where.host);
    db.setPort(where.port);
    db.setUserName(where.user);
    db.setDatabaseName(where.database);
    QSqlQuery query(db);
    if (db.open() && query.exec(QStringLiteral("SELECT id FROM runs ORDER BY ctid")))
      while (query.next()) ids << query.value(0).toString();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("check"));
  return ids;
}

TEST(PostgresStore, AnOutageLosesNothingAndSendsEveryRecordOnceInOrder) {
  PostgresServer server;
  if (!server.Error().isEmpty()) GTEST_SKIP() << server.Error().toStdString();
  QTemporaryDir folder;
  const QString database = server.NewDatabase(QStringLiteral("line"));
  RecordLocation location = ParseRecordLocation(database).location;
  location.localFile = folder.filePath(QStringLiteral("waiting.sqlite"));
  location.connectTimeoutS = 2;
  OpenedStore opened = OpenRecordStore(location);
  ASSERT_TRUE(opened.store) << opened.error.toStdString();
  RecordStore& store = *opened.store;

  QStringList added;
  const auto add = [&](StoreOutcome expected) {
    const RunRecord run = SampleRun(QStringLiteral("E-%1").arg(added.size()), 1, 50,
                                    RunOutcome::Pass, SampleTime(int(added.size())));
    added << run.id.toString(QUuid::WithoutBraces);
    const StoreResult result = store.AddRun(run);
    EXPECT_EQ(result.outcome, expected) << result.message.toStdString();
    return result;
  };
  add(StoreOutcome::Stored);
  add(StoreOutcome::Stored);
  ASSERT_TRUE(server.Stop()) << server.Error().toStdString();
  const StoreResult kept = add(StoreOutcome::KeptLocally);
  EXPECT_TRUE(kept.message.contains(location.localFile) && kept.message.contains("not sent") &&
              kept.message.contains("cannot reach"))
      << kept.message.toStdString();
  add(StoreOutcome::KeptLocally);
  EXPECT_EQ(store.Sync().outcome, StoreOutcome::Failed);
  EXPECT_FALSE(store.Runs({}).ok());
  add(StoreOutcome::KeptLocally);

  ASSERT_TRUE(server.Start()) << server.Error().toStdString();
  // The next record goes after the ones that waited.
  add(StoreOutcome::Stored);
  EXPECT_EQ(ServerIds(database), added);
  int sent = -1;
  EXPECT_EQ(store.Sync(&sent).outcome, StoreOutcome::Stored);
  EXPECT_EQ(sent, 0);

  // A batch sent again (the server committed, the mark was lost) changes nothing there.
  {
    auto local = SqliteStore::Open(location.localFile, 1000, &opened.error);
    ASSERT_TRUE(local);
    QSqlQuery(local->Database()).exec(QStringLiteral("UPDATE runs SET sent = 0"));
  }
  EXPECT_EQ(store.Sync(&sent).outcome, StoreOutcome::Stored);
  EXPECT_EQ(sent, 3);
  EXPECT_EQ(ServerIds(database), added);
  const Fetched<RunRecord> runs = store.Runs({});
  ASSERT_TRUE(runs.ok()) << runs.error.toStdString();
  EXPECT_EQ(runs.items.size(), std::size_t(added.size()));
}

}  // namespace
