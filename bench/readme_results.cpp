// Takes the README's picture of the Results window: a morning of one line's runs (two benches,
// three programs, a few failures and readings between the limits) in a records file of its own.
// Usage: readme_results FILE.png   (QT_QPA_PLATFORM=offscreen is fine)
#include <QApplication>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

#include "bench/silent_prompts.h"
#include "records/record_location.h"
#include "records/sqlite_store.h"
#include "shell/TestResultsForm.h"

namespace {

// A run as a bench records it, its impedance drawn around what a good electrode reads.
RunRecord MorningRun(int i, QRandomGenerator& random) {
  RunRecord run;
  run.started = QDateTime(QDate(2026, 12, 7), QTime(6, 0), Qt::UTC).addSecs(i * 40);
  run.ended = run.started.addSecs(30);
  run.dut = QStringLiteral("E26-%1").arg(4100 + i, 5, 10, QLatin1Char('0'));
  run.operatorName = i % 2 ? QStringLiteral("anna") : QStringLiteral("jonas");
  run.station = QStringLiteral("bench-%1").arg(1 + i % 2);
  run.tester = {QStringLiteral("FT6X9AB%1").arg(i % 2), QStringLiteral("0004%1").arg(2 + i % 2),
                QStringLiteral("01.02"), QStringLiteral("2026-03-09"), false};
  run.settings = {2, 3, 8, 200, 125, 0, TestMode::Duration, 150, 300};
  const double ohms =
      95 + random.generateDouble() * 50 + (i % 37 == 0 ? 260 : 0) + (i % 23 == 0 ? 70 : 0);
  run.impedanceOhms = std::round(ohms * 10) / 10;
  run.outcome = ohms < 150   ? RunOutcome::Pass
                : ohms < 300 ? RunOutcome::BetweenLimits
                             : RunOutcome::Fail;
  run.version = QStringLiteral("1.1.0");
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) return std::fprintf(stderr, "usage: readme_results FILE.png\n"), 2;
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("records.sqlite"));
  {
    QString error;
    auto store = SqliteStore::Open(file, 10000, &error);
    if (!store) return std::fprintf(stderr, "%s\n", qPrintable(error)), 1;
    QRandomGenerator random(7);
    for (int i = 0; i < 400; ++i) {
      if (store->AddRun(MorningRun(i, random)).outcome != StoreOutcome::Stored)
        return std::fprintf(stderr, "the sample records could not be written\n"), 1;
    }
  }
  SilentPrompts prompts;
  TestResultsForm window(prompts);
  window.resize(900, 640);
  window.SetLocation(ParseRecordLocation(file).location, QString());
  QEventLoop loop;
  QObject::connect(&window, &TestResultsForm::Refreshed, &loop, &QEventLoop::quit);
  window.show();
  loop.exec();
  return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
