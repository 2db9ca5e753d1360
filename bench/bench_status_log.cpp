// Logs diagnostic-length lines through AddStatusMessage into a shown log window and prints the
// rate and the process's memory, to show that the log's cap keeps both steady over long runs.
// Usage: bench_status_log [lines of the long burst, default 50000]
//                         [lines logged one per turn of the event loop, default 10000]
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

#include "bench/process_usage.h"
#include "ui_core/StatusWindowForm.h"
#include "ui_core/modMain.h"
#include "ui_core/operator_prompts.h"

namespace {

QString FrameLine(int i) {
  return QStringLiteral("RX <- (MP1%1,5,3,09,0030,1,000,100,100,0100,0000,1000)").arg(i % 3 + 1);
}

// Logs `count` lines, letting the event loop turn (the box catches up and paints) after every
// `linesPerTurn` lines; prints a row at every checkpoint.
void Pass(const char* name, int count, int linesPerTurn, std::initializer_list<int> checkpoints) {
  std::printf("%s: %d lines, %d per turn of the event loop\n", name, count, linesPerTurn);
  std::printf("  %8s %10s %12s %14s %14s\n", "lines", "lines/s", "log chars", "peak RSS KiB",
              "RSS now KiB");
  QElapsedTimer timer;
  timer.start();
  auto next = checkpoints.begin();
  for (int i = 1; i <= count; ++i) {
    modMain::AddStatusMessage(FrameLine(i));
    if (i % linesPerTurn == 0) QApplication::processEvents();
    if (next != checkpoints.end() && i == *next) {
      const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
      std::printf("  %8d %10.0f %12lld %14ld %14ld\n", i, i / seconds,
                  static_cast<long long>(modMain::StatusLogText.size()), PeakRssKiB(),
                  CurrentRssKiB());
      ++next;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int longBurst = argc > 1 ? std::atoi(argv[1]) : 50000;
  const int oneByOne = argc > 2 ? std::atoi(argv[2]) : 10000;

  modMain::InitSharedFlags();
  QtOperatorPrompts prompts;
  StatusWindowForm window(prompts);
  window.show();
  QApplication::processEvents();
  std::printf("start: peak RSS %ld KiB\n", PeakRssKiB());

  Pass("burst", 10000, 100, {2500, 5000, 10000});
  Pass("long burst", longBurst, 100, {10000, 20000, 30000, 40000, 50000, 100000, 200000});
  // The worst case: every line in a turn of its own, as when each arrives on its own tick.
  Pass("line by line", oneByOne, 1, {2500, 5000, 10000, 20000, 40000});
  return 0;
}
