#pragma once

#include <QString>

#include <memory>

#include "records/record_store.h"

// Where records are kept: the value of --records (or the window's setting), else the
// environment variable VELD32_RECORDS, else the default SQLite file "records.sqlite" in
// QStandardPaths::AppDataLocation. A value is a file path or
// postgresql://USER@HOST[:PORT]/DB; the password is never part of it: libpq finds it in
// PGPASSWORD or ~/.pgpass. Records for a server that cannot be reached wait in `localFile`.

struct RecordLocation {
  enum class Kind { Sqlite, Postgres };
  Kind kind = Kind::Sqlite;
  QString file;  // Sqlite: the database file
  QString user, host, database;
  int port = 5432;
  QString localFile;          // Postgres: where unsent records wait (the default file)
  int busyTimeoutMs = 10000;  // how long to wait for another writer of a SQLite file
  int connectTimeoutS = 5;    // how long to wait for the server
};

struct ParsedLocation {
  RecordLocation location;
  QString error;  // not empty: the value is not a location, and why
};

// `value` as given; empty takes VELD32_RECORDS, then the default.
ParsedLocation ParseRecordLocation(const QString& value);
QString DefaultRecordsFile();

struct OpenedStore {
  std::unique_ptr<RecordStore> store;
  QString error;  // not empty (and no store): why the records cannot be kept there
};

// Opens (creating when new) the database and brings its schema up to date; a database written
// by a newer version is refused and left unchanged. A server that cannot be reached is no
// failure: records then wait locally.
OpenedStore OpenRecordStore(const RecordLocation& location);

// Loads the database drivers (plugins) into the process. Call it on the main thread before other
// threads open stores: a plugin first loaded by a thread that has ended since keeps a Windows
// process from exiting.
void LoadRecordDrivers();
