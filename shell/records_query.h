#pragma once

#include <QObject>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

#include "records/production_record.h"
#include "records/record_location.h"
#include "shell/record_chart.h"

// What the Results window shows of the filtered records.
struct ResultsView {
  std::vector<RunRecord> page;      // newest first
  qint64 total = 0;                 // filtered runs in all
  std::vector<ProgramStats> stats;  // per program
  RecordChart::Histogram histogram;
  std::vector<RecordChart::Point> series;  // the newest kSeriesRuns with an impedance
  QString error;                           // not empty: why nothing could be shown
};

// The records' queries off the window's thread: a thread of its own with a store of its own (a
// Qt SQL connection belongs to the thread that opened it), opened at the first query. Answers
// come back on the window's thread, in order; an answer to a query that a newer Fetch replaced
// is dropped. The aggregates are the database's: nothing here reads every record.
class RecordsQuery : public QObject {
  Q_OBJECT

 public:
  static constexpr int kHistogramBins = 40;
  static constexpr int kSeriesRuns = 2000;

  explicit RecordsQuery(RecordLocation location, QObject* parent = nullptr);
  ~RecordsQuery() override;

  void Fetch(const RecordFilter& filter, int offset, int pageSize,
             std::function<void(const ResultsView&)> done);
  // Writes every filtered run to `fileName` (replaced only when complete); `done` gets how
  // many, or why it failed.
  void Export(const RecordFilter& filter, const QString& fileName,
              std::function<void(qint64 count, const QString& error)> done);

 private:
  struct State;
  QThread thread_;
  QObject* context_;  // lives in thread_
  std::shared_ptr<State> state_;
  quint64 latest_ = 0;
};
