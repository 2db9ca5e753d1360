#include "shell/records_query.h"

#include <QSaveFile>

#include <algorithm>

#include "records/record_pages.h"
#include "records/record_row.h"
#include "records/record_store.h"

struct RecordsQuery::State {
  RecordLocation location;
  std::unique_ptr<RecordStore> store;

  RecordStore* Store(QString& error) {
    if (!store) {
      OpenedStore opened = OpenRecordStore(location);
      store = std::move(opened.store);
      error = opened.error;
    }
    return store.get();
  }

  ResultsView View(const RecordFilter& filter, int offset, int pageSize) {
    ResultsView view;
    RecordStore* records = Store(view.error);
    if (records == nullptr) return view;
    Fetched<RunRecord> page = records->Runs(filter, pageSize, offset);
    Fetched<ProgramStats> stats = records->Stats(filter);
    Fetched<RunRecord> newest = records->Runs(filter, kSeriesRuns, 0);
    for (const QString& error : {page.error, stats.error, newest.error}) {
      if (!error.isEmpty()) {
        view.error = error;
        return view;
      }
    }
    view.page = std::move(page.items);
    view.stats = std::move(stats.items);
    std::optional<double> low, high;
    for (const ProgramStats& program : view.stats) {
      view.total += program.count;
      if (program.minOhms) low = std::min(low.value_or(*program.minOhms), *program.minOhms);
      if (program.maxOhms) high = std::max(high.value_or(*program.maxOhms), *program.maxOhms);
    }
    if (!newest.items.empty()) {
      // The limits of the newest run: those the line tests by now.
      view.histogram.passOhms = newest.items.front().settings.passOhms;
      view.histogram.failOhms = newest.items.front().settings.failOhms;
      low = std::min(low.value_or(*view.histogram.passOhms), *view.histogram.passOhms);
      high = std::max(high.value_or(*view.histogram.failOhms), *view.histogram.failOhms);
    }
    for (const RunRecord& run : newest.items) {
      if (run.impedanceOhms) view.series.push_back({run.started, *run.impedanceOhms, run.outcome});
    }
    if (low && high) {
      view.histogram.lowOhms = *low;
      view.histogram.highOhms = std::max(*high, *low + 1);
      Fetched<qint64> bins = records->ImpedanceHistogram(filter, view.histogram.lowOhms,
                                                         view.histogram.highOhms, kHistogramBins);
      if (!bins.ok()) {
        view.error = bins.error;
        return view;
      }
      view.histogram.counts = std::move(bins.items);
    }
    return view;
  }

  QString Export(const RecordFilter& filter, const QString& fileName, qint64& count) {
    QString error;
    RecordStore* records = Store(error);
    if (records == nullptr) return error;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    if (file.write(CsvHeader(RunRow({}))) < 0) return file.errorString();
    error = EachRun(*records, filter, [&file, &count](const RunRecord& run) {
      if (file.write(CsvLine(RunRow(run))) < 0) return file.errorString();
      ++count;
      return QString();
    });
    if (!error.isEmpty()) return error;
    if (!file.commit()) return file.errorString();
    return {};
  }
};

RecordsQuery::RecordsQuery(RecordLocation location, QObject* parent)
    : QObject(parent), context_(new QObject), state_(std::make_shared<State>()) {
  state_->location = std::move(location);
  LoadRecordDrivers();  // before the query thread opens its store
  context_->moveToThread(&thread_);
  connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
  thread_.start();
}

RecordsQuery::~RecordsQuery() {
  // The store closes its connection in the thread that opened it.
  QMetaObject::invokeMethod(
      context_, [state = state_] { state->store.reset(); }, Qt::BlockingQueuedConnection);
  thread_.quit();
  thread_.wait();
}

void RecordsQuery::Fetch(const RecordFilter& filter, int offset, int pageSize,
                         std::function<void(const ResultsView&)> done) {
  const quint64 request = ++latest_;
  QMetaObject::invokeMethod(
      context_, [this, state = state_, filter, offset, pageSize, request, done = std::move(done)] {
        auto view = std::make_shared<ResultsView>(state->View(filter, offset, pageSize));
        QMetaObject::invokeMethod(this, [this, view, request, done] {
          if (request == latest_) done(*view);
        });
      });
}

void RecordsQuery::Export(const RecordFilter& filter, const QString& fileName,
                          std::function<void(qint64, const QString&)> done) {
  QMetaObject::invokeMethod(
      context_, [this, state = state_, filter, fileName, done = std::move(done)] {
        qint64 count = 0;
        const QString error = state->Export(filter, fileName, count);
        QMetaObject::invokeMethod(this, [count, error, done] { done(count, error); });
      });
}
