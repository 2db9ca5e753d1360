#pragma once

#include <QSqlDatabase>

#include <memory>

#include "records/record_store.h"

// Records in one SQLite file: write-ahead logging, every commit synced (synchronous FULL), a
// writer that finds the file busy waits up to its busy timeout. Also the local file in which
// records for an unreachable server wait, marked unsent.
class SqliteStore : public RecordStore {
 public:
  // Creates the file (and its folder) when new and brings its schema up to date.
  static std::unique_ptr<SqliteStore> Open(const QString& file, int busyTimeoutMs, QString* error);
  ~SqliteStore() override;

  StoreResult AddRun(const RunRecord& run) override { return Keep(run, true); }
  StoreResult AddChange(const ProgramChange& change) override { return Keep(change, true); }
  Fetched<RunRecord> Runs(const RecordFilter& filter, int limit = -1, int offset = 0) override;
  Fetched<ProgramChange> Changes(const RecordFilter& filter, int limit = -1,
                                 int offset = 0) override;
  Fetched<qint64> RunCount(const RecordFilter& filter) override;
  Fetched<qint64> ChangeCount(const RecordFilter& filter) override;
  Fetched<ProgramStats> Stats(const RecordFilter& filter) override;
  Fetched<qint64> ImpedanceHistogram(const RecordFilter& filter, double lowOhms, double highOhms,
                                     int bins) override;
  StoreResult Sync(int* sentCount = nullptr) override;
  QString Where() const override { return file_; }

  // Writes a record durably, marked sent or waiting for the server.
  StoreResult Keep(const RunRecord& run, bool sent);
  StoreResult Keep(const ProgramChange& change, bool sent);
  QSqlDatabase& Database() { return db_; }

 private:
  SqliteStore(const QString& file, const QString& connection);
  template <typename Record>
  StoreResult KeepRecord(const Record& record, bool sent);
  QString Failure(const QString& reason) const;

  QString file_;
  QString connection_;
  QSqlDatabase db_;
};
