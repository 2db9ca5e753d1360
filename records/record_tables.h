#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include "records/record_store.h"

// The tables both databases hold and the statements on them, in the SQL that SQLite and
// PostgreSQL share; where they differ the dialect says how. Every function returns why it
// failed, or an empty text; none opens or ends a transaction unless it says so.

enum class Dialect { Sqlite, Postgres };

// The schema this program writes; a database at a higher version was written by a newer one.
inline constexpr int kSchemaVersion = 2;

// The reason a statement failed, in the database's own words.
QString SqlReason(const QSqlError& error);

// Runs `statement`; on failure returns its reason.
QString Exec(QSqlDatabase& db, const QString& statement);

// Opens a transaction that writes (SQLite takes the write lock at once, waiting its busy
// timeout for another writer).
QString Begin(QSqlDatabase& db, Dialect dialect);
// Commits; on failure rolls back and returns why.
QString Commit(QSqlDatabase& db);
void Rollback(QSqlDatabase& db);

// The database's schema version (0 for an empty database).
int SchemaVersion(QSqlDatabase& db, QString* error);
// Why the schema cannot be read, or why it is refused (a newer version); empty when it can be
// used or upgraded.
QString RefuseNewer(QSqlDatabase& db);
// Brings the schema up to kSchemaVersion in one transaction of its own; refuses, unchanged, a
// database of a newer version.
QString UpgradeSchema(QSqlDatabase& db, Dialect dialect);

// Writes one record (a record whose id is already there is left as it is). `query` is prepared
// on its first use and takes many records of one kind after that.
QString Insert(QSqlQuery& query, const RunRecord& run, bool sent);
QString Insert(QSqlQuery& query, const ProgramChange& change, bool sent);

Fetched<RunRecord> SelectRuns(QSqlDatabase& db, Dialect dialect, const RecordFilter& filter,
                              int limit, int offset);
Fetched<ProgramChange> SelectChanges(QSqlDatabase& db, Dialect dialect, const RecordFilter& filter,
                                     int limit, int offset);
// How many runs (or changes) the filter takes; one item.
Fetched<qint64> SelectCount(QSqlDatabase& db, Dialect dialect, const RecordFilter& filter,
                            bool runs);
Fetched<ProgramStats> SelectStats(QSqlDatabase& db, Dialect dialect, const RecordFilter& filter);
Fetched<qint64> SelectHistogram(QSqlDatabase& db, Dialect dialect, const RecordFilter& filter,
                                double lowOhms, double highOhms, int bins);

// The local file's records that wait for the server, oldest first (SQLite's rowid is the order
// they joined the file in), at most `limit`.
Fetched<RunRecord> UnsentRuns(QSqlDatabase& db, int limit);
Fetched<ProgramChange> UnsentChanges(QSqlDatabase& db, int limit);
// Marks these records sent ("runs" or "changes"), in one transaction of its own.
QString MarkSent(QSqlDatabase& db, const QString& table, const QStringList& ids);
