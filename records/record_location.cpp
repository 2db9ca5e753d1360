#include "records/record_location.h"
#include <QDir>
#include <QSqlDatabase>
#include <QStandardPaths>
#include <QUrl>

#include "records/postgres_store.h"
#include "records/sqlite_store.h"

namespace {
const QString kScheme = QStringLiteral("postgresql");
}  // namespace

QString DefaultRecordsFile() {
  // The window and veld32ctl carry different application names, yet keep one set of records:
  // the folder is the data folder of the application "veld32" whichever of them asks.
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/veld32/records.sqlite");
}

ParsedLocation ParseRecordLocation(const QString& value) {
  QString text = value;
  if (text.isEmpty()) text = qEnvironmentVariable("VELD32_RECORDS");
  ParsedLocation parsed;
  RecordLocation& location = parsed.location;
  if (text.isEmpty()) {
    location.file = DefaultRecordsFile();
    return parsed;
  }
  if (!text.startsWith(kScheme + QStringLiteral("://"), Qt::CaseInsensitive)) {
    location.file = text;
    return parsed;
  }
  const QUrl url(text, QUrl::StrictMode);
  const QString database = url.path().mid(1);
  const int port = url.port(5432);
  if (!url.isValid() || url.userName().isEmpty() || url.host().isEmpty() || database.isEmpty() ||
      database.contains(u'/') || port < 1 || url.hasQuery() || url.hasFragment()) {
    parsed.error =
        QStringLiteral("%1 is not a records location: expected a file or %2://USER@HOST[:PORT]/DB")
            .arg(text, kScheme);
    return parsed;
  }
  if (!url.password().isEmpty()) {
    parsed.error =
        QStringLiteral("%1 carries a password: leave it out and put it in PGPASSWORD or ~/.pgpass")
            .arg(url.toString(QUrl::RemovePassword));
    return parsed;
  }
  location.kind = RecordLocation::Kind::Postgres;
  location.user = url.userName();
  location.host = url.host();
  location.port = port;
  location.database = database;
  location.localFile = DefaultRecordsFile();
  return parsed;
}

OpenedStore OpenRecordStore(const RecordLocation& location) {
  OpenedStore opened;
  if (location.kind == RecordLocation::Kind::Sqlite) {
    opened.store = SqliteStore::Open(location.file, location.busyTimeoutMs, &opened.error);
  } else if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
    opened.error = QStringLiteral("this build has no PostgreSQL driver");
  } else {
    opened.store = PostgresStore::Open(location, &opened.error);
  }
  return opened;
}

void LoadRecordDrivers() {
  const QString probe = QStringLiteral("veld32-driver-probe");
  for (const QString& driver : {QStringLiteral("QSQLITE"), QStringLiteral("QPSQL")}) {
    if (!QSqlDatabase::isDriverAvailable(driver)) continue;
    { QSqlDatabase::addDatabase(driver, probe); }
    QSqlDatabase::removeDatabase(probe);
  }
}
