#include "bench/large_records.h"

#include "records/record_tables.h"

QString FillLargeRecords(QSqlDatabase& db, int count) {
  const QString fill =
      QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ") +
      QString::number(count) +
      QStringLiteral(
          ") INSERT INTO runs SELECT printf('00000000-0000-4000-8000-%012d', i), "
          "strftime('%Y-%m-%dT%H:%M:%fZ', '2026-01-01', '+' || (i * 30) || ' seconds'), "
          "strftime('%Y-%m-%dT%H:%M:%fZ', '2026-01-01', '+' || (i * 30 + 20) || ' seconds'), "
          "printf('E%07d', i), 'Ines', 'bench-' || (i % 8), 'FT' || (i % 50), 'T-' || (i % 50), "
          "'2.10', '2026-03-01', 0, 1 + i % 3, 3, 5, 250, 30, 0, 1, 150, 1000, "
          "CASE WHEN i % 97 = 0 THEN NULL ELSE (i * 7919) % 1200 END, "
          "CASE WHEN i % 97 = 0 THEN 'no reading' WHEN (i * 7919) % 1200 < 150 THEN 'pass' "
          "WHEN (i * 7919) % 1200 >= 1000 THEN 'fail' ELSE 'between limits' END, '', '1.1.0', 1 "
          "FROM n");
  if (QString why = Exec(db, fill); !why.isEmpty()) return why;
  return Exec(db, QStringLiteral("ANALYZE"));
}
