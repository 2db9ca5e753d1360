#include "records/sqlite_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include "records/record_tables.h"

std::unique_ptr<SqliteStore> SqliteStore::Open(const QString& file, int busyTimeoutMs,
                                               QString* error) {
  const QString folder = QFileInfo(file).absolutePath();
  if (!QDir().mkpath(folder)) {
    *error = QStringLiteral("cannot create the folder %1 for the records").arg(folder);
    return nullptr;
  }
  std::unique_ptr<SqliteStore> store(
      new SqliteStore(file, QUuid::createUuid().toString(QUuid::WithoutBraces)));
  QSqlDatabase& db = store->db_;
  db.setDatabaseName(file);
  db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
  const auto fail = [&](const QString& reason) {
    *error = store->Failure(reason);
    return nullptr;
  };
  if (!db.open()) return fail(SqlReason(db.lastError()));
  // Reading the header first: a file that is not a database, or a newer one, stays untouched.
  if (QString why = Exec(db, QStringLiteral("PRAGMA schema_version")); !why.isEmpty())
    return fail(why);
  if (QString refused = RefuseNewer(db); !refused.isEmpty()) return fail(refused);
  QSqlQuery mode(db);
  if (!mode.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !mode.next())
    return fail(SqlReason(mode.lastError()));
  if (mode.value(0).toString() != QStringLiteral("wal"))
    return fail(
        QStringLiteral("it cannot keep a write-ahead log (journal mode %1): is it read-only?")
            .arg(mode.value(0).toString()));
  mode.finish();
  if (QString pragma = Exec(db, QStringLiteral("PRAGMA synchronous = FULL")); !pragma.isEmpty())
    return fail(pragma);
  if (QString upgrade = UpgradeSchema(db, Dialect::Sqlite); !upgrade.isEmpty())
    return fail(upgrade);
  return store;
}

SqliteStore::SqliteStore(const QString& file, const QString& connection)
    : file_(file),
      connection_(connection),
      db_(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection)) {}

SqliteStore::~SqliteStore() {
  db_.close();
  db_ = QSqlDatabase();
  QSqlDatabase::removeDatabase(connection_);
}

QString SqliteStore::Failure(const QString& reason) const {
  return QStringLiteral("cannot keep the records in %1: %2").arg(file_, reason);
}

template <typename Record>
StoreResult SqliteStore::KeepRecord(const Record& record, bool sent) {
  if (QString why = Begin(db_, Dialect::Sqlite); !why.isEmpty())
    return {StoreOutcome::Failed, Failure(why)};
  QSqlQuery query(db_);
  QString why = Insert(query, record, sent);
  if (!why.isEmpty()) {
    Rollback(db_);
    return {StoreOutcome::Failed, Failure(why)};
  }
  if (why = Commit(db_); !why.isEmpty()) return {StoreOutcome::Failed, Failure(why)};
  return {StoreOutcome::Stored, {}};
}

StoreResult SqliteStore::Keep(const RunRecord& run, bool sent) { return KeepRecord(run, sent); }
StoreResult SqliteStore::Keep(const ProgramChange& change, bool sent) {
  return KeepRecord(change, sent);
}

template <typename T>
static Fetched<T> Explained(Fetched<T> fetched, const QString& file) {
  if (!fetched.ok())
    fetched.error = QStringLiteral("cannot read the records in %1: %2").arg(file, fetched.error);
  return fetched;
}

Fetched<RunRecord> SqliteStore::Runs(const RecordFilter& filter, int limit, int offset) {
  return Explained(SelectRuns(db_, Dialect::Sqlite, filter, limit, offset), file_);
}
Fetched<ProgramChange> SqliteStore::Changes(const RecordFilter& filter, int limit, int offset) {
  return Explained(SelectChanges(db_, Dialect::Sqlite, filter, limit, offset), file_);
}
Fetched<qint64> SqliteStore::RunCount(const RecordFilter& filter) {
  return Explained(SelectCount(db_, Dialect::Sqlite, filter, true), file_);
}
Fetched<qint64> SqliteStore::ChangeCount(const RecordFilter& filter) {
  return Explained(SelectCount(db_, Dialect::Sqlite, filter, false), file_);
}
Fetched<ProgramStats> SqliteStore::Stats(const RecordFilter& filter) {
  return Explained(SelectStats(db_, Dialect::Sqlite, filter), file_);
}
Fetched<qint64> SqliteStore::ImpedanceHistogram(const RecordFilter& filter, double lowOhms,
                                                double highOhms, int bins) {
  return Explained(SelectHistogram(db_, Dialect::Sqlite, filter, lowOhms, highOhms, bins), file_);
}

StoreResult SqliteStore::Sync(int* sentCount) {
  if (sentCount) *sentCount = 0;
  return {StoreOutcome::Stored, {}};
}
