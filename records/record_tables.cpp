#include "records/record_tables.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <algorithm>

namespace {

// Each step takes the schema from the version of its position to the next one.
std::vector<QStringList> Upgrades(Dialect dialect) {
  // Version 2: PostgreSQL finds a DUT prefix as a range of the ids' bytes, which its index must
  // then be sorted by (SQLite's texts always are).
  QStringList bytewiseDut;
  if (dialect == Dialect::Postgres) {
    bytewiseDut << QStringLiteral("DROP INDEX runs_dut")
                << QStringLiteral("CREATE INDEX runs_dut ON runs (dut COLLATE \"C\", started)");
  }
  return {
      {
          QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)"),
          QStringLiteral("INSERT INTO schema_version (version) VALUES (0)"),
          QStringLiteral(
              "CREATE TABLE runs (id TEXT PRIMARY KEY, started TEXT NOT NULL, ended TEXT NOT NULL, "
              "dut TEXT NOT NULL, operator TEXT NOT NULL, station TEXT NOT NULL, "
              "usb_serial TEXT NOT NULL, tester_serial TEXT NOT NULL, firmware TEXT NOT NULL, "
              "calibrated TEXT NOT NULL, calibration_overdue INTEGER NOT NULL, "
              "program INTEGER NOT NULL, current_index INTEGER NOT NULL, "
              "frequency_index INTEGER NOT NULL, pulse_width_us INTEGER NOT NULL, "
              "duration_seconds INTEGER NOT NULL, duration_hours INTEGER NOT NULL, "
              "mode INTEGER NOT NULL, pass_ohms INTEGER NOT NULL, fail_ohms INTEGER NOT NULL, "
              "impedance_ohms DOUBLE PRECISION, verdict TEXT NOT NULL, error_text TEXT NOT NULL, "
              "version TEXT NOT NULL, sent INTEGER NOT NULL)"),
          QStringLiteral("CREATE INDEX runs_started ON runs (started)"),
          QStringLiteral("CREATE INDEX runs_dut ON runs (dut, started)"),
          QStringLiteral("CREATE INDEX runs_tester ON runs (tester_serial, started)"),
          QStringLiteral("CREATE INDEX runs_station ON runs (station, started)"),
          QStringLiteral("CREATE INDEX runs_program ON runs (program, started)"),
          QStringLiteral("CREATE INDEX runs_impedance ON runs (program, impedance_ohms, verdict)"),
          QStringLiteral("CREATE INDEX runs_verdict ON runs (verdict, started)"),
          QStringLiteral("CREATE INDEX runs_unsent ON runs (sent) WHERE sent = 0"),
          QStringLiteral(
              "CREATE TABLE changes (id TEXT PRIMARY KEY, changed TEXT NOT NULL, "
              "operator TEXT NOT NULL, station TEXT NOT NULL, usb_serial TEXT NOT NULL, "
              "tester_serial TEXT NOT NULL, firmware TEXT NOT NULL, calibrated TEXT NOT NULL, "
              "calibration_overdue INTEGER NOT NULL, action TEXT NOT NULL, "
              "programs_sent TEXT NOT NULL, programs_echoed TEXT NOT NULL, agreed INTEGER NOT "
              "NULL, "
              "version TEXT NOT NULL, sent INTEGER NOT NULL)"),
          QStringLiteral("CREATE INDEX changes_changed ON changes (changed)"),
          QStringLiteral("CREATE INDEX changes_tester ON changes (tester_serial, changed)"),
          QStringLiteral("CREATE INDEX changes_station ON changes (station, changed)"),
          QStringLiteral("CREATE INDEX changes_unsent ON changes (sent) WHERE sent = 0"),
      },
      bytewiseDut,
  };
}

const QString kRunColumns = QStringLiteral(
    "id, started, ended, dut, operator, station, usb_serial, tester_serial, firmware, "
    "calibrated, calibration_overdue, program, current_index, frequency_index, pulse_width_us, "
    "duration_seconds, duration_hours, mode, pass_ohms, fail_ohms, impedance_ohms, verdict, "
    "error_text, version, sent");
const QString kChangeColumns = QStringLiteral(
    "id, changed, operator, station, usb_serial, tester_serial, firmware, calibrated, "
    "calibration_overdue, action, programs_sent, programs_echoed, agreed, version, sent");

QString TimeText(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }
// Reads what TimeText wrote ("2026-12-01T08:00:00.000Z") field by field: a listing of many
// records spends most of its time here, and the general parser is several times slower.
QDateTime TimeFrom(const QVariant& value) {
  const QString text = value.toString();
  const QStringView t(text);
  if (t.size() != 24 || t[4] != u'-' || t[10] != u'T' || t[19] != u'.' || t[23] != u'Z')
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
  const auto number = [&t](qsizetype at, qsizetype length) { return t.mid(at, length).toInt(); };
  return QDateTime(QDate(number(0, 4), number(5, 2), number(8, 2)),
                   QTime(number(11, 2), number(14, 2), number(17, 2), number(20, 3)), Qt::UTC);
}

QString Placeholders(const QString& columns) {
  QStringList marks;
  for (qsizetype i = 0, n = columns.count(u',') + 1; i < n; ++i) marks << QStringLiteral("?");
  return marks.join(u", ");
}

// A text as it is bound: a null text would be a NULL, which no text column takes.
QString Text(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

void BindTester(QSqlQuery& query, const TesterFacts& tester) {
  query.addBindValue(Text(tester.usbSerial));
  query.addBindValue(Text(tester.testerSerial));
  query.addBindValue(Text(tester.firmware));
  query.addBindValue(Text(tester.calibrated));
  query.addBindValue(tester.calibrationOverdue ? 1 : 0);
}

TesterFacts TesterFrom(const QSqlQuery& query, int first) {
  return {query.value(first).toString(), query.value(first + 1).toString(),
          query.value(first + 2).toString(), query.value(first + 3).toString(),
          query.value(first + 4).toInt() != 0};
}

QJsonArray ProgramsJson(const std::vector<ProgramSettings>& programs) {
  QJsonArray array;
  for (const ProgramSettings& p : programs)
    array.append(QJsonObject{{"number", p.number},
                             {"current_index", p.currentIndex},
                             {"frequency_index", p.frequencyIndex},
                             {"pulse_width_us", p.pulseWidthUs},
                             {"duration_seconds", p.durationSeconds},
                             {"duration_hours", p.durationHours},
                             {"mode", int(p.mode)},
                             {"pass_ohms", p.passOhms},
                             {"fail_ohms", p.failOhms}});
  return array;
}

std::vector<ProgramSettings> ProgramsFrom(const QVariant& value) {
  std::vector<ProgramSettings> programs;
  for (const QJsonValue& item : QJsonDocument::fromJson(value.toString().toUtf8()).array()) {
    const QJsonObject o = item.toObject();
    const auto field = [&o](const char* name) { return std::int16_t(o.value(name).toInt()); };
    programs.push_back({field("number"), field("current_index"), field("frequency_index"),
                        field("pulse_width_us"), field("duration_seconds"), field("duration_hours"),
                        TestMode(field("mode")), field("pass_ohms"), field("fail_ohms")});
  }
  return programs;
}

// Prepares `query` to insert into `table`, unless it already is.
QString Prepare(QSqlQuery& query, const QString& table, const QString& columns) {
  const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (id) DO NOTHING")
                          .arg(table, columns, Placeholders(columns));
  if (query.lastQuery() == sql || query.prepare(sql)) return {};
  return SqlReason(query.lastError());
}

struct Where {
  QString sql;
  QVariantList values;
  void Add(const QString& condition, const QVariantList& bound) {
    sql += (sql.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ")) + condition;
    values += bound;
  }
};

// `timeColumn` is "started" for runs, "changed" for changes; changes take no DUT, program or
// outcome.
Where FilterWhere(const RecordFilter& filter, Dialect dialect, const QString& timeColumn,
                  bool runs) {
  Where where;
  if (filter.since) where.Add(timeColumn + QStringLiteral(" >= ?"), {TimeText(*filter.since)});
  if (filter.until) where.Add(timeColumn + QStringLiteral(" <= ?"), {TimeText(*filter.until)});
  if (filter.after) {
    // The range on the time alone is what the index narrows to.
    const QString time = TimeText(filter.after->time);
    const QString id = filter.after->id.toString(QUuid::WithoutBraces);
    where.Add(QStringLiteral("%1 <= ? AND (%1 < ? OR id < ?)").arg(timeColumn), {time, time, id});
  }
  if (!filter.tester.isEmpty()) where.Add(QStringLiteral("tester_serial = ?"), {filter.tester});
  if (!filter.station.isEmpty()) where.Add(QStringLiteral("station = ?"), {filter.station});
  if (!runs) return where;
  if (!filter.dutPrefix.isEmpty()) {
    // Compared byte by byte (SQLite's texts always are, PostgreSQL's in the collation "C" of
    // its index), the DUT ids with the prefix lie in a range the index finds; the comparison of
    // the start keeps exactly those that begin with it.
    const QString highest = filter.dutPrefix + QString::fromUcs4(U"\U0010FFFF");
    if (dialect == Dialect::Postgres) {
      where.Add(QStringLiteral(
                    "dut COLLATE \"C\" >= ? AND dut COLLATE \"C\" < ? AND starts_with(dut, ?)"),
                {filter.dutPrefix, highest, filter.dutPrefix});
    } else {
      where.Add(QStringLiteral("dut >= ? AND dut < ? AND substr(dut, 1, length(?)) = ?"),
                {filter.dutPrefix, highest, filter.dutPrefix, filter.dutPrefix});
    }
  }
  if (filter.program) where.Add(QStringLiteral("program = ?"), {*filter.program});
  if (filter.outcome) where.Add(QStringLiteral("verdict = ?"), {RunOutcomeName(*filter.outcome)});
  return where;
}

QString Page(int limit, int offset) {
  if (limit < 0 && offset <= 0) return {};
  return QStringLiteral(" LIMIT %1 OFFSET %2")
      .arg(limit < 0 ? QStringLiteral("ALL") : QString::number(limit))
      .arg(std::max(offset, 0));
}

bool Run(QSqlQuery& query, const QString& sql, const QVariantList& values, QString* error) {
  query.setForwardOnly(true);
  if (!query.prepare(sql)) {
    *error = SqlReason(query.lastError());
    return false;
  }
  for (const QVariant& value : values) query.addBindValue(value);
  if (!query.exec()) {
    *error = SqlReason(query.lastError());
    return false;
  }
  return true;
}

Fetched<RunRecord> RunsFrom(QSqlDatabase& db, const QString& sql, const QVariantList& values) {
  Fetched<RunRecord> fetched;
  QSqlQuery query(db);
  if (!Run(query, sql, values, &fetched.error)) return fetched;
  while (query.next()) {
    RunRecord run;
    run.id = QUuid(query.value(0).toString());
    run.started = TimeFrom(query.value(1));
    run.ended = TimeFrom(query.value(2));
    run.dut = query.value(3).toString();
    run.operatorName = query.value(4).toString();
    run.station = query.value(5).toString();
    run.tester = TesterFrom(query, 6);
    const auto field = [&query](int i) { return std::int16_t(query.value(i).toInt()); };
    run.settings = {field(11), field(12),           field(13), field(14), field(15),
                    field(16), TestMode(field(17)), field(18), field(19)};
    if (!query.value(20).isNull()) run.impedanceOhms = query.value(20).toDouble();
    run.outcome = RunOutcomeFromName(query.value(21).toString()).value_or(RunOutcome::Error);
    run.errorText = query.value(22).toString();
    run.version = query.value(23).toString();
    run.sent = query.value(24).toInt() != 0;
    fetched.items.push_back(std::move(run));
  }
  if (query.lastError().isValid()) fetched.error = SqlReason(query.lastError());
  return fetched;
}

Fetched<ProgramChange> ChangesFrom(QSqlDatabase& db, const QString& sql,
                                   const QVariantList& values) {
  Fetched<ProgramChange> fetched;
  QSqlQuery query(db);
  if (!Run(query, sql, values, &fetched.error)) return fetched;
  while (query.next()) {
    ProgramChange change;
    change.id = QUuid(query.value(0).toString());
    change.time = TimeFrom(query.value(1));
    change.operatorName = query.value(2).toString();
    change.station = query.value(3).toString();
    change.tester = TesterFrom(query, 4);
    change.action = query.value(9).toString();
    change.programsSent = ProgramsFrom(query.value(10));
    change.programsEchoed = ProgramsFrom(query.value(11));
    change.agreed = query.value(12).toInt() != 0;
    change.version = query.value(13).toString();
    change.sent = query.value(14).toInt() != 0;
    fetched.items.push_back(std::move(change));
  }
  if (query.lastError().isValid()) fetched.error = SqlReason(query.lastError());
  return fetched;
}

}  // namespace

QString SqlReason(const QSqlError& error) {
  const QString text = error.databaseText().trimmed();
  return text.isEmpty() ? error.driverText().trimmed() : text;
}

QString Exec(QSqlDatabase& db, const QString& statement) {
  QSqlQuery query(db);
  return query.exec(statement) ? QString() : SqlReason(query.lastError());
}

QString Begin(QSqlDatabase& db, Dialect dialect) {
  return Exec(
      db, dialect == Dialect::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
}

QString Commit(QSqlDatabase& db) {
  const QString error = Exec(db, QStringLiteral("COMMIT"));
  if (!error.isEmpty()) Rollback(db);
  return error;
}

void Rollback(QSqlDatabase& db) { Exec(db, QStringLiteral("ROLLBACK")); }

int SchemaVersion(QSqlDatabase& db, QString* error) {
  QSqlQuery query(db);
  if (!db.tables().contains(QStringLiteral("schema_version"))) return 0;
  if (!query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next()) {
    *error = SqlReason(query.lastError());
    return 0;
  }
  return query.value(0).toInt();
}

QString RefuseNewer(QSqlDatabase& db) {
  QString error;
  const int version = SchemaVersion(db, &error);
  if (!error.isEmpty() || version <= kSchemaVersion) return error;
  return QStringLiteral(
             "it was written by a newer version of this program (records version %1; this one "
             "knows up to %2) and is left unchanged")
      .arg(version)
      .arg(kSchemaVersion);
}

QString UpgradeSchema(QSqlDatabase& db, Dialect dialect) {
  if (QString refused = RefuseNewer(db); !refused.isEmpty()) return refused;
  QString error;
  int version = SchemaVersion(db, &error);
  if (version == kSchemaVersion) return {};
  if (QString why = Begin(db, dialect); !why.isEmpty()) return why;
  // Another program may have upgraded it meanwhile; on PostgreSQL the lock makes the benches
  // that meet an empty database take turns.
  if (dialect == Dialect::Postgres)
    error = Exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(3232)"));
  if (error.isEmpty()) version = SchemaVersion(db, &error);
  const std::vector<QStringList> upgrades = Upgrades(dialect);
  for (int step = version; error.isEmpty() && step < kSchemaVersion; ++step) {
    for (const QString& statement : upgrades[std::size_t(step)]) {
      error = Exec(db, statement);
      if (!error.isEmpty()) break;
    }
  }
  if (error.isEmpty() && version < kSchemaVersion)
    error = Exec(db, QStringLiteral("UPDATE schema_version SET version = %1").arg(kSchemaVersion));
  if (!error.isEmpty()) {
    Rollback(db);
    return error;
  }
  return Commit(db);
}

QString Insert(QSqlQuery& query, const RunRecord& run, bool sent) {
  if (QString why = Prepare(query, QStringLiteral("runs"), kRunColumns); !why.isEmpty()) return why;
  query.addBindValue(run.id.toString(QUuid::WithoutBraces));
  query.addBindValue(TimeText(run.started));
  query.addBindValue(TimeText(run.ended));
  query.addBindValue(Text(run.dut));
  query.addBindValue(Text(run.operatorName));
  query.addBindValue(Text(run.station));
  BindTester(query, run.tester);
  const ProgramSettings& s = run.settings;
  for (const int value : {int(s.number), int(s.currentIndex), int(s.frequencyIndex),
                          int(s.pulseWidthUs), int(s.durationSeconds), int(s.durationHours),
                          int(s.mode), int(s.passOhms), int(s.failOhms)})
    query.addBindValue(value);
  query.addBindValue(run.impedanceOhms ? QVariant(*run.impedanceOhms)
                                       : QVariant(QMetaType::fromType<double>()));
  query.addBindValue(RunOutcomeName(run.outcome));
  query.addBindValue(Text(run.errorText));
  query.addBindValue(Text(run.version));
  query.addBindValue(sent ? 1 : 0);
  return query.exec() ? QString() : SqlReason(query.lastError());
}

QString Insert(QSqlQuery& query, const ProgramChange& change, bool sent) {
  if (QString why = Prepare(query, QStringLiteral("changes"), kChangeColumns); !why.isEmpty())
    return why;
  query.addBindValue(change.id.toString(QUuid::WithoutBraces));
  query.addBindValue(TimeText(change.time));
  query.addBindValue(Text(change.operatorName));
  query.addBindValue(Text(change.station));
  BindTester(query, change.tester);
  query.addBindValue(Text(change.action));
  query.addBindValue(QString::fromUtf8(
      QJsonDocument(ProgramsJson(change.programsSent)).toJson(QJsonDocument::Compact)));
  query.addBindValue(QString::fromUtf8(
      QJsonDocument(ProgramsJson(change.programsEchoed)).toJson(QJsonDocument::Compact)));
  query.addBindValue(change.agreed ? 1 : 0);
  query.addBindValue(Text(change.version));
  query.addBindValue(sent ? 1 : 0);
  return query.exec() ? QString() : SqlReason(query.lastError());
}

Fetched<RunRecord> SelectRuns(QSqlDatabase& db, Dialect dialect, const RecordFilter& filter,
                              int limit, int offset) {
  const Where where = FilterWhere(filter, dialect, QStringLiteral("started"), true);
  return RunsFrom(db,
                  QStringLiteral("SELECT %1 FROM runs%2 ORDER BY started DESC, id DESC%3")
                      .arg(kRunColumns, where.sql, Page(limit, offset)),
                  where.values);
}

Fetched<ProgramChange> SelectChanges(QSqlDatabase& db, Dialect dialect, const RecordFilter& filter,
                                     int limit, int offset) {
  const Where where = FilterWhere(filter, dialect, QStringLiteral("changed"), false);
  return ChangesFrom(db,
                     QStringLiteral("SELECT %1 FROM changes%2 ORDER BY changed DESC, id DESC%3")
                         .arg(kChangeColumns, where.sql, Page(limit, offset)),
                     where.values);
}

Fetched<qint64> SelectCount(QSqlDatabase& db, Dialect dialect, const RecordFilter& filter,
                            bool runs) {
  const Where where = FilterWhere(
      filter, dialect, runs ? QStringLiteral("started") : QStringLiteral("changed"), runs);
  Fetched<qint64> fetched;
  QSqlQuery query(db);
  if (!Run(query,
           QStringLiteral("SELECT COUNT(*) FROM %1%2")
               .arg(runs ? QStringLiteral("runs") : QStringLiteral("changes"), where.sql),
           where.values, &fetched.error))
    return fetched;
  if (query.next()) {
    fetched.items.push_back(query.value(0).toLongLong());
  } else {
    fetched.error = query.lastError().isValid() ? SqlReason(query.lastError())
                                                : QStringLiteral("the count came back empty");
  }
  return fetched;
}

Fetched<ProgramStats> SelectStats(QSqlDatabase& db, Dialect dialect, const RecordFilter& filter) {
  const Where where = FilterWhere(filter, dialect, QStringLiteral("started"), true);
  Fetched<ProgramStats> fetched;
  QSqlQuery query(db);
  if (!Run(query,
           QStringLiteral("SELECT program, COUNT(*), SUM(CASE WHEN verdict = ? THEN 1 ELSE 0 END), "
                          "MIN(impedance_ohms), MAX(impedance_ohms), COUNT(impedance_ohms) "
                          "FROM runs%1 GROUP BY program ORDER BY program")
               .arg(where.sql),
           QVariantList{RunOutcomeName(RunOutcome::Pass)} + where.values, &fetched.error))
    return fetched;
  std::vector<qint64> readings;
  while (query.next()) {
    ProgramStats stats;
    stats.program = query.value(0).toInt();
    stats.count = query.value(1).toLongLong();
    stats.passRate = query.value(2).toDouble() / double(stats.count);
    if (!query.value(3).isNull()) stats.minOhms = query.value(3).toDouble();
    if (!query.value(4).isNull()) stats.maxOhms = query.value(4).toDouble();
    readings.push_back(query.value(5).toLongLong());
    fetched.items.push_back(stats);
  }
  if (query.lastError().isValid()) fetched.error = SqlReason(query.lastError());
  // The median is the middle reading, or the mean of the two middle ones: the index on program
  // and impedance finds it without sorting.
  for (std::size_t i = 0; fetched.ok() && i < fetched.items.size(); ++i) {
    const qint64 n = readings[i];
    if (n == 0) continue;
    Where program = where;
    program.Add(QStringLiteral("program = ? AND impedance_ohms IS NOT NULL"),
                {fetched.items[i].program});
    QSqlQuery middle(db);
    if (!Run(middle,
             QStringLiteral("SELECT impedance_ohms FROM runs%1 ORDER BY impedance_ohms "
                            "LIMIT %2 OFFSET %3")
                 .arg(program.sql)
                 .arg(2 - n % 2)
                 .arg((n - 1) / 2),
             program.values, &fetched.error))
      break;
    double sum = 0;
    int count = 0;
    for (; middle.next(); ++count) sum += middle.value(0).toDouble();
    if (count) fetched.items[i].medianOhms = sum / count;
  }
  return fetched;
}

Fetched<qint64> SelectHistogram(QSqlDatabase& db, Dialect dialect, const RecordFilter& filter,
                                double lowOhms, double highOhms, int bins) {
  Fetched<qint64> fetched;
  if (bins < 1 || !(highOhms > lowOhms)) {
    fetched.error = QStringLiteral("a histogram needs at least one bin over a range of ohms");
    return fetched;
  }
  Where where = FilterWhere(filter, dialect, QStringLiteral("started"), true);
  where.Add(QStringLiteral("impedance_ohms IS NOT NULL"), {});
  const double width = (highOhms - lowOhms) / bins;
  // Above the low end the quotient is positive: SQLite's cast truncates it, PostgreSQL's rounds.
  const QString bin = dialect == Dialect::Sqlite
                          ? QStringLiteral("CAST((impedance_ohms - ?) / ? AS INTEGER)")
                          : QStringLiteral("CAST(FLOOR((impedance_ohms - ?) / ?) AS INTEGER)");
  const QString sql =
      QStringLiteral(
          "SELECT b, COUNT(*) FROM (SELECT CASE WHEN impedance_ohms < ? THEN 0 ELSE %1 "
          "END AS b FROM runs%2) AS h GROUP BY b")
          .arg(bin, where.sql);
  QSqlQuery query(db);
  if (!Run(query, sql, QVariantList{lowOhms, lowOhms, width} + where.values, &fetched.error))
    return fetched;
  fetched.items.assign(std::size_t(bins), 0);
  while (query.next())
    fetched.items[std::size_t(std::clamp(query.value(0).toLongLong(), 0LL, qint64(bins - 1)))] +=
        query.value(1).toLongLong();
  if (query.lastError().isValid()) fetched.error = SqlReason(query.lastError());
  return fetched;
}

Fetched<RunRecord> UnsentRuns(QSqlDatabase& db, int limit) {
  return RunsFrom(db,
                  QStringLiteral("SELECT %1 FROM runs WHERE sent = 0 ORDER BY rowid LIMIT %2")
                      .arg(kRunColumns)
                      .arg(limit),
                  {});
}

Fetched<ProgramChange> UnsentChanges(QSqlDatabase& db, int limit) {
  return ChangesFrom(db,
                     QStringLiteral("SELECT %1 FROM changes WHERE sent = 0 ORDER BY rowid LIMIT %2")
                         .arg(kChangeColumns)
                         .arg(limit),
                     {});
}

QString MarkSent(QSqlDatabase& db, const QString& table, const QStringList& ids) {
  if (QString why = Begin(db, Dialect::Sqlite); !why.isEmpty()) return why;
  QSqlQuery query(db);
  if (!query.prepare(QStringLiteral("UPDATE %1 SET sent = 1 WHERE id = ?").arg(table))) {
    const QString why = SqlReason(query.lastError());
    Rollback(db);
    return why;
  }
  for (const QString& id : ids) {
    query.addBindValue(id);
    if (!query.exec()) {
      const QString why = SqlReason(query.lastError());
      Rollback(db);
      return why;
    }
  }
  return Commit(db);
}
