// The Results window on a million records: the time from show() until its table, statistics
// line and both charts are filled, and then until a filter's answer is shown.
// Usage: bench_results_window [records, default 1000000]   (QT_QPA_PLATFORM=offscreen is fine)
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include "bench/large_records.h"
#include "bench/silent_prompts.h"
#include "records/sqlite_store.h"
#include "shell/TestResultsForm.h"

namespace {

// The time until the window's next Refreshed.
double UntilRefreshed(TestResultsForm& window, const std::function<void()>& start) {
  QEventLoop loop;
  QObject::connect(&window, &TestResultsForm::Refreshed, &loop, &QEventLoop::quit);
  QElapsedTimer timer;
  timer.start();
  start();
  loop.exec();
  return timer.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("large.sqlite"));
  {
    QString error;
    auto store = SqliteStore::Open(file, 10000, &error);
    if (!store) return std::printf("%s\n", qPrintable(error)), 1;
    if (QString why = FillLargeRecords(store->Database(), count); !why.isEmpty())
      return std::printf("%s\n", qPrintable(why)), 1;
  }
  SilentPrompts prompts;
  TestResultsForm window(prompts);
  window.resize(1000, 700);
  window.SetLocation(ParseRecordLocation(file).location, QString());
  const double opened = UntilRefreshed(window, [&] { window.show(); });
  std::printf("Results window on %d records: shown with its table and charts in %.0f ms\n", count,
              opened);
  auto* tester = window.findChild<QLineEdit*>(QStringLiteral("txtFilterTester"));
  const double filtered = UntilRefreshed(window, [&] {
    tester->setText(QStringLiteral("T-7"));
    emit tester->returnPressed();
  });
  std::printf("  filtered by a tester (txtFilterTester T-7) in %.0f ms\n", filtered);
  return 0;
}
