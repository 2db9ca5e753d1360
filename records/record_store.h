#pragma once

#include <QString>

#include <vector>

#include "records/production_record.h"

// The one interface to where records are kept (records/record_location.h opens one). Adding is
// all or nothing and durable before it returns. Every call that fails says why; a listing never
// answers a failure with an empty result. A store belongs to the thread that opened it (Qt SQL
// connections do): a worker thread opens a store of its own.

enum class StoreOutcome {
  Stored,       // in the database it was meant for
  KeptLocally,  // the server could not be reached: kept in the local file, to be sent later
  Failed        // not kept anywhere
};

struct StoreResult {
  StoreOutcome outcome = StoreOutcome::Failed;
  // Failed: the reason. KeptLocally: "… kept locally, not sent: <why>". Stored: empty.
  QString message;
};

// A listing's answer: the items, or (error not empty) why there are none.
template <typename T>
struct Fetched {
  std::vector<T> items;
  QString error;
  bool ok() const { return error.isEmpty(); }
};

class RecordStore {
 public:
  virtual ~RecordStore() = default;

  virtual StoreResult AddRun(const RunRecord& run) = 0;
  virtual StoreResult AddChange(const ProgramChange& change) = 0;

  // Newest first; at most `limit` (all when negative) after skipping `offset`.
  virtual Fetched<RunRecord> Runs(const RecordFilter& filter, int limit = -1, int offset = 0) = 0;
  // Filtered by since/until, tester and station.
  virtual Fetched<ProgramChange> Changes(const RecordFilter& filter, int limit = -1,
                                         int offset = 0) = 0;
  // How many records the filter takes (changes: by since/until, tester and station).
  virtual Fetched<qint64> RunCount(const RecordFilter& filter) = 0;
  virtual Fetched<qint64> ChangeCount(const RecordFilter& filter) = 0;
  // One entry per program, ascending.
  virtual Fetched<ProgramStats> Stats(const RecordFilter& filter) = 0;
  // How many filtered runs have an impedance in each of `bins` equal bins from `lowOhms` to
  // `highOhms` (values outside fall in the first or last bin).
  virtual Fetched<qint64> ImpedanceHistogram(const RecordFilter& filter, double lowOhms,
                                             double highOhms, int bins) = 0;

  // Sends the records waiting in the local file, oldest first, each exactly once. Returns how
  // many were sent, or the reason nothing (more) could be sent. Nothing to do for SQLite.
  virtual StoreResult Sync(int* sentCount = nullptr) = 0;

  // Where the records go, for messages ("/home/a/.local/share/veld32/records.sqlite",
  // "postgresql://qa@db1:5432/line").
  virtual QString Where() const = 0;
};
