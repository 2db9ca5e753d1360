#pragma once

#include <QSqlDatabase>

#include <functional>
#include <memory>

#include "records/record_location.h"
#include "records/sqlite_store.h"

// Records on a PostgreSQL server that many benches share. While the server cannot be reached a
// record waits in the local SQLite file, marked unsent; at the next connection (and on Sync)
// the waiting records go, oldest first, in batches that each commit on the server before they
// are marked sent locally. The id is the server's key and a record already there is left as it
// is, so a batch sent again after a failure between the two commits lands exactly once.
class PostgresStore : public RecordStore {
 public:
  // Opens the local file; reaching the server is tried here and by every call that needs it.
  // Fails (no store) when the local file cannot be opened or the server refuses for good (a
  // schema of a newer version).
  static std::unique_ptr<PostgresStore> Open(const RecordLocation& location, QString* error);
  ~PostgresStore() override;

  StoreResult AddRun(const RunRecord& run) override;
  StoreResult AddChange(const ProgramChange& change) override;
  Fetched<RunRecord> Runs(const RecordFilter& filter, int limit = -1, int offset = 0) override;
  Fetched<ProgramChange> Changes(const RecordFilter& filter, int limit = -1,
                                 int offset = 0) override;
  Fetched<qint64> RunCount(const RecordFilter& filter) override;
  Fetched<qint64> ChangeCount(const RecordFilter& filter) override;
  Fetched<ProgramStats> Stats(const RecordFilter& filter) override;
  Fetched<qint64> ImpedanceHistogram(const RecordFilter& filter, double lowOhms, double highOhms,
                                     int bins) override;
  StoreResult Sync(int* sentCount = nullptr) override;
  QString Where() const override { return where_; }

 private:
  PostgresStore(const RecordLocation& location, std::unique_ptr<SqliteStore> local);
  // Connects when not connected (bringing the schema up to date and sending the waiting
  // records); returns why the server cannot be used.
  QString Connect(int* sentCount = nullptr);
  QString SendWaiting(int* sentCount);
  void Disconnect();
  template <typename Record>
  StoreResult Add(const Record& record);
  template <typename T>
  Fetched<T> FromServer(const std::function<Fetched<T>(QSqlDatabase&)>& select);

  QString where_;
  QString connection_;
  std::unique_ptr<SqliteStore> local_;
  QSqlDatabase server_;
  bool refused_ = false;  // the server's schema is newer: never written
};
