// The production records' figures: the time a durable record adds to a run (SQLite, synchronous
// FULL), veld32ctl's listing by each filter (the newest page and the count), the whole set as CSV
// and the window's aggregates on one million records, and sending
// 10,000 records that waited through an outage to a PostgreSQL server started for the purpose.
// Usage: bench_records [records in the large database, default 1000000]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <thread>

#include "bench/large_records.h"
#include "records/record_location.h"
#include "records/record_pages.h"
#include "records/record_row.h"
#include "records/record_tables.h"
#include "records/sqlite_store.h"
#include "tests/records/postgres_server.h"
#include "tests/records/sample_records.h"

namespace {

constexpr int kListed = 100;  // veld32ctl's default --limit

double Ms(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e6; }

void DurableRecords(const QString& file) {
  QString error;
  auto store = SqliteStore::Open(file, 10000, &error);
  if (!store) return void(std::printf("durable record: %s\n", qPrintable(error)));
  std::vector<double> times;
  for (int i = 0; i < 200; ++i) {
    QElapsedTimer timer;
    timer.start();
    store->AddRun(SampleRun(QStringLiteral("D-%1").arg(i), 1, 50, RunOutcome::Pass, SampleTime(i)));
    times.push_back(Ms(timer));
  }
  std::sort(times.begin(), times.end());
  std::printf(
      "durable record (SQLite, 200 runs): median %.2f ms, 95th percentile %.2f ms, max %.2f ms\n",
      times[100], times[190], times.back());
}

void LargeDatabase(const QString& file, int count) {
  QString error;
  auto store = SqliteStore::Open(file, 10000, &error);
  if (!store) return void(std::printf("large database: %s\n", qPrintable(error)));
  QElapsedTimer timer;
  timer.start();
  if (QString why = FillLargeRecords(store->Database(), count); !why.isEmpty())
    return void(std::printf("large database: %s\n", qPrintable(why)));
  std::printf("large database: %d records written in %.0f ms\n", count, Ms(timer));

  const auto measure = [&](const char* what, const std::function<std::size_t()>& query) {
    QElapsedTimer t;
    t.start();
    const std::size_t rows = query();
    std::printf("  %-62s %8.1f ms (%zu rows)\n", what, Ms(t), rows);
  };
  // As veld32ctl lists them: the newest page and, when it is full, the count of all.
  const auto listing = [&store](RecordFilter filter) {
    return [&store, filter] {
      const Fetched<RunRecord> page = store->Runs(filter, kListed);
      if (!page.ok()) std::printf("    %s\n", qPrintable(page.error));
      if (page.items.size() == std::size_t(kListed)) {
        const Fetched<qint64> count = store->RunCount(filter);
        if (!count.ok()) std::printf("    %s\n", qPrintable(count.error));
      }
      return page.items.size();
    };
  };
  const auto filtered = [](const std::function<void(RecordFilter&)>& set) {
    RecordFilter filter;
    set(filter);
    return filter;
  };
  const std::pair<const char*, RecordFilter> filters[] = {
      {"records (no filter)", {}},
      {"records --since=2026-03-01 --until=2026-03-31", filtered([](RecordFilter& f) {
         f.since = QDateTime(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC);
         f.until = QDateTime(QDate(2026, 3, 31), QTime(23, 59, 59, 999), Qt::UTC);
       })},
      {"records --since=2026-06-01", filtered([](RecordFilter& f) {
         f.since = QDateTime(QDate(2026, 6, 1), QTime(0, 0), Qt::UTC);
       })},
      {"records --dut=E00123 (100 match)",
       filtered([](RecordFilter& f) { f.dutPrefix = "E00123"; })},
      {"records --dut=E001 (10,000 match)",
       filtered([](RecordFilter& f) { f.dutPrefix = "E001"; })},
      {"records --tester=T-7", filtered([](RecordFilter& f) { f.tester = "T-7"; })},
      {"records --station=bench-3", filtered([](RecordFilter& f) { f.station = "bench-3"; })},
      {"records --program=2", filtered([](RecordFilter& f) { f.program = 2; })},
      {"records --verdict=fail", filtered([](RecordFilter& f) { f.outcome = RunOutcome::Fail; })},
      {"records --verdict=\"between limits\"",
       filtered([](RecordFilter& f) { f.outcome = RunOutcome::BetweenLimits; })},
      {"records --station=bench-3 --program=2", filtered([](RecordFilter& f) {
         f.station = "bench-3";
         f.program = 2;
       })},
  };
  std::printf("  as veld32ctl lists them: the newest %d, and the count when there are more\n",
              kListed);
  for (const auto& [what, filter] : filters) measure(what, listing(filter));
  measure("records --csv, every run (in pages, rows made and formatted)", [&store] {
    std::size_t rows = 0;
    EachRun(*store, {}, [&rows](const RunRecord& run) {
      rows += CsvLine(RunRow(run)).endsWith('\n') ? 1 : 0;
      return QString();
    });
    return rows;
  });
  measure("the window's page: --verdict=fail, newest 1000", [&store] {
    RecordFilter verdict;
    verdict.outcome = RunOutcome::Fail;
    return store->Runs(verdict, 1000).items.size();
  });
  measure("stats, all records", [&] { return store->Stats({}).items.size(); });
  measure("impedance histogram, all records (50 bins)",
          [&] { return store->ImpedanceHistogram({}, 0, 1200, 50).items.size(); });
}

void QueueAfterOutage(const QString& folder, int count) {
  PostgresServer server;
  if (!server.Error().isEmpty())
    return void(std::printf("queue after an outage: no server (%s)\n", qPrintable(server.Error())));
  RecordLocation location =
      ParseRecordLocation(server.NewDatabase(QStringLiteral("line"))).location;
  location.localFile = folder + QStringLiteral("/waiting.sqlite");
  QString error;
  {
    auto local = SqliteStore::Open(location.localFile, 10000, &error);
    if (!local) return void(std::printf("queue: %s\n", qPrintable(error)));
    Begin(local->Database(), Dialect::Sqlite);
    QSqlQuery query(local->Database());
    for (int i = 0; i < count; ++i)
      Insert(query,
             SampleRun(QStringLiteral("Q-%1").arg(i), 1, 50, RunOutcome::Pass, SampleTime(i)),
             false);
    Commit(local->Database());
  }
  QElapsedTimer timer;
  timer.start();
  OpenedStore opened = OpenRecordStore(location);  // the first connection sends the queue
  if (!opened.store) return void(std::printf("queue: %s\n", qPrintable(opened.error)));
  const double ms = Ms(timer);
  std::printf("queue after an outage: %d records sent in %.0f ms; on the server: %zu\n", count, ms,
              opened.store->Runs({}).items.size());
}

// Eight benches, each with its own local file, writing to one server at once: every record must
// be there once.
void EightWriters(const QString& folder, int perWriter) {
  PostgresServer server;
  if (!server.Error().isEmpty())
    return void(std::printf("eight writers: no server (%s)\n", qPrintable(server.Error())));
  const RecordLocation shared =
      ParseRecordLocation(server.NewDatabase(QStringLiteral("shared"))).location;
  std::atomic<int> failures{0};
  QElapsedTimer timer;
  timer.start();
  std::vector<std::thread> writers;
  for (int w = 0; w < 8; ++w) {
    writers.emplace_back([&, w] {
      RecordLocation location = shared;
      location.localFile = folder + QStringLiteral("/bench-%1.sqlite").arg(w);
      OpenedStore opened = OpenRecordStore(location);
      if (!opened.store) return void(++failures);
      for (int i = 0; i < perWriter; ++i) {
        RunRecord run = SampleRun(QStringLiteral("W%1-%2").arg(w).arg(i), 1 + i % 3, 50,
                                  RunOutcome::Pass, SampleTime(i));
        run.station = QStringLiteral("bench-%1").arg(w);
        if (opened.store->AddRun(run).outcome != StoreOutcome::Stored) ++failures;
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  const double ms = Ms(timer);
  OpenedStore reader = OpenRecordStore(shared);
  if (!reader.store) return void(std::printf("eight writers: %s\n", qPrintable(reader.error)));
  const std::vector<RunRecord> runs = reader.store->Runs({}).items;
  std::set<QUuid> ids;
  for (const RunRecord& run : runs) ids.insert(run.id);
  std::printf(
      "eight writers on one PostgreSQL: %d records each in %.0f ms (%.1f ms a record per "
      "writer); on the server %zu records, %zu distinct; %d not stored\n",
      perWriter, ms, ms / perWriter, runs.size(), ids.size(), failures.load());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
  QTemporaryDir dir;
  DurableRecords(dir.filePath(QStringLiteral("durable.sqlite")));
  LargeDatabase(dir.filePath(QStringLiteral("large.sqlite")), count);
  QueueAfterOutage(dir.path(), 10000);
  EightWriters(dir.path(), 250);
  return 0;
}
