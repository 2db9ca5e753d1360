#include "records/postgres_store.h"

#include <QSqlError>
#include <QUuid>

#include "records/record_tables.h"

namespace {
// Records sent in one server transaction: few enough to keep a transaction short, many enough
// that a long queue is not one round trip per record.
constexpr int kBatch = 500;
}  // namespace

std::unique_ptr<PostgresStore> PostgresStore::Open(const RecordLocation& location, QString* error) {
  std::unique_ptr<SqliteStore> local =
      SqliteStore::Open(location.localFile, location.busyTimeoutMs, error);
  if (!local) return nullptr;
  std::unique_ptr<PostgresStore> store(new PostgresStore(location, std::move(local)));
  const QString why = store->Connect();
  if (store->refused_) {
    *error = why;
    return nullptr;
  }
  return store;
}

PostgresStore::PostgresStore(const RecordLocation& location, std::unique_ptr<SqliteStore> local)
    : where_(QStringLiteral("postgresql://%1@%2:%3/%4")
                 .arg(location.user, location.host)
                 .arg(location.port)
                 .arg(location.database)),
      connection_(QUuid::createUuid().toString(QUuid::WithoutBraces)),
      local_(std::move(local)),
      server_(QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection_)) {
  server_.setHostName(location.host);
  server_.setPort(location.port);
  server_.setUserName(location.user);
  server_.setDatabaseName(location.database);
  // No password: libpq takes it from PGPASSWORD or ~/.pgpass.
  server_.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(location.connectTimeoutS));
}

PostgresStore::~PostgresStore() {
  server_.close();
  server_ = QSqlDatabase();
  QSqlDatabase::removeDatabase(connection_);
}

void PostgresStore::Disconnect() { server_.close(); }

QString PostgresStore::Connect(int* sentCount) {
  if (sentCount) *sentCount = 0;
  if (server_.isOpen()) return {};
  const auto fail = [this](const QString& reason) {
    Disconnect();
    return QStringLiteral("cannot reach %1: %2").arg(where_, reason);
  };
  if (!server_.open()) return fail(SqlReason(server_.lastError()));
  QString error;
  if (SchemaVersion(server_, &error) > kSchemaVersion) {
    refused_ = true;
    const QString refused = RefuseNewer(server_);
    Disconnect();
    return QStringLiteral("cannot keep the records on %1: %2").arg(where_, refused);
  }
  if (!error.isEmpty()) return fail(error);
  if (QString why = UpgradeSchema(server_, Dialect::Postgres); !why.isEmpty()) return fail(why);
  if (QString why = SendWaiting(sentCount); !why.isEmpty()) return fail(why);
  return {};
}

QString PostgresStore::SendWaiting(int* sentCount) {
  QSqlDatabase& local = local_->Database();
  const auto send = [&](auto unsent, const QString& table) -> QString {
    for (;;) {
      auto waiting = unsent(local, kBatch);
      if (!waiting.ok())
        return QStringLiteral("cannot read the waiting records in %1: %2")
            .arg(local_->Where(), waiting.error);
      if (waiting.items.empty()) return {};
      if (QString why = Begin(server_, Dialect::Postgres); !why.isEmpty()) return why;
      QStringList ids;
      QSqlQuery query(server_);
      for (const auto& record : waiting.items) {
        if (QString why = Insert(query, record, true); !why.isEmpty()) {
          Rollback(server_);
          return why;
        }
        ids << record.id.toString(QUuid::WithoutBraces);
      }
      if (QString why = Commit(server_); !why.isEmpty()) return why;
      if (QString why = MarkSent(local, table, ids); !why.isEmpty())
        return QStringLiteral("sent, but cannot mark them sent in %1: %2")
            .arg(local_->Where(), why);
      if (sentCount) *sentCount += int(ids.size());
    }
  };
  if (QString why = send(UnsentChanges, QStringLiteral("changes")); !why.isEmpty()) return why;
  return send(UnsentRuns, QStringLiteral("runs"));
}

template <typename Record>
StoreResult PostgresStore::Add(const Record& record) {
  QString why;
  // A connection the server has dropped since its last use fails once: the second attempt
  // connects afresh.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (why = Connect(); !why.isEmpty()) break;
    QSqlQuery query(server_);
    why = Insert(query, record, true);
    // One statement commits on its own on the server.
    if (why.isEmpty()) return {StoreOutcome::Stored, {}};
    why = QStringLiteral("cannot write to %1: %2").arg(where_, why);
    Disconnect();
  }
  if (refused_) return {StoreOutcome::Failed, why};
  // A result is never lost because the server is away: it waits in the local file.
  StoreResult kept = local_->Keep(record, false);
  if (kept.outcome != StoreOutcome::Stored)
    return {StoreOutcome::Failed, QStringLiteral("%1; and %2").arg(why, kept.message)};
  return {StoreOutcome::KeptLocally,
          QStringLiteral("record kept locally in %1, not sent: %2").arg(local_->Where(), why)};
}

StoreResult PostgresStore::AddRun(const RunRecord& run) { return Add(run); }
StoreResult PostgresStore::AddChange(const ProgramChange& change) { return Add(change); }

template <typename T>
Fetched<T> PostgresStore::FromServer(const std::function<Fetched<T>(QSqlDatabase&)>& select) {
  Fetched<T> fetched;
  if (fetched.error = Connect(); !fetched.ok()) return fetched;
  fetched = select(server_);
  if (!fetched.ok()) {
    fetched.error = QStringLiteral("cannot read the records on %1: %2").arg(where_, fetched.error);
    Disconnect();
  }
  return fetched;
}

Fetched<RunRecord> PostgresStore::Runs(const RecordFilter& filter, int limit, int offset) {
  return FromServer<RunRecord>(
      [&](QSqlDatabase& db) { return SelectRuns(db, Dialect::Postgres, filter, limit, offset); });
}
Fetched<ProgramChange> PostgresStore::Changes(const RecordFilter& filter, int limit, int offset) {
  return FromServer<ProgramChange>([&](QSqlDatabase& db) {
    return SelectChanges(db, Dialect::Postgres, filter, limit, offset);
  });
}
Fetched<qint64> PostgresStore::RunCount(const RecordFilter& filter) {
  return FromServer<qint64>(
      [&](QSqlDatabase& db) { return SelectCount(db, Dialect::Postgres, filter, true); });
}
Fetched<qint64> PostgresStore::ChangeCount(const RecordFilter& filter) {
  return FromServer<qint64>(
      [&](QSqlDatabase& db) { return SelectCount(db, Dialect::Postgres, filter, false); });
}
Fetched<ProgramStats> PostgresStore::Stats(const RecordFilter& filter) {
  return FromServer<ProgramStats>(
      [&](QSqlDatabase& db) { return SelectStats(db, Dialect::Postgres, filter); });
}
Fetched<qint64> PostgresStore::ImpedanceHistogram(const RecordFilter& filter, double lowOhms,
                                                  double highOhms, int bins) {
  return FromServer<qint64>([&](QSqlDatabase& db) {
    return SelectHistogram(db, Dialect::Postgres, filter, lowOhms, highOhms, bins);
  });
}

StoreResult PostgresStore::Sync(int* sentCount) {
  int sent = 0;
  QString why = Connect(&sent);
  // Already connected: Connect had nothing to send, the queue may have grown since.
  if (why.isEmpty()) {
    int more = 0;
    why = SendWaiting(&more);
    sent += more;
    if (!why.isEmpty()) {
      why = QStringLiteral("cannot send the waiting records to %1: %2").arg(where_, why);
      Disconnect();
    }
  }
  if (sentCount) *sentCount = sent;
  if (!why.isEmpty()) return {StoreOutcome::Failed, why};
  return {StoreOutcome::Stored, {}};
}
