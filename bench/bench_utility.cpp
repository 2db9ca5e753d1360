// Figures of the whole utility against the simulated tester, with the windows offscreen:
//   start-up   time from process start to the main window shown (a child process)
//   close      time from closing the connected main window to the end of its process
//   download   time from Connect to "Program data load complete." at the window's 500 ms pacing
//   idle CPU   processor time used while connected and idle for 30 s
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "backends/simulated_tester.h"
#include "bench/process_usage.h"
#include "device_link/ctlVELD32UsbComm.h"
#include "editor/frmTestOptions.h"
#include "shell/ParentMDIForm.h"
#include "ui_core/modMain.h"
#include "ui_core/operator_prompts.h"

namespace {

void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool WaitForLog(const QString& line, int ms) {
  QDeadlineTimer deadline(ms);
  while (!modMain::StatusLogText.contains(line) && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  return modMain::StatusLogText.contains(line);
}

int StartupChild() {
  modMain::InitSharedFlags();
  QtOperatorPrompts prompts;
  ParentMDIForm window(std::make_shared<SimulatedTester>(), prompts);
  window.show();
  QCoreApplication::processEvents();
  std::printf("shown\n");
  return 0;
}

// Runs the utility connected to the simulated tester, then closes its main window as the
// operator would and leaves main as the utility does.
int CloseChild(QApplication& app) {
  modMain::InitSharedFlags();
  QtOperatorPrompts prompts;
  ParentMDIForm window(std::make_shared<SimulatedTester>(), prompts);
  window.TestOptions().ctlVELD32UsbComm1().SetPollingTimerInterval(50);
  window.show();
  window.TestOptions().findChild<QCheckBox*>(QStringLiteral("chkConnect"))->click();
  if (!WaitForLog(QStringLiteral("Program data load complete."), 20000)) return 1;
  QTimer::singleShot(0, &window, [&window] {
    std::printf("closing\n");
    std::fflush(stdout);
    window.close();
  });
  return app.exec();
}

double CloseSeconds(const QString& self) {
  constexpr int kRuns = 5;
  double worst = 0;
  for (int run = 0; run < kRuns; ++run) {
    QProcess child;
    child.start(self, {QStringLiteral("--close-child")});
    while (!child.readAllStandardOutput().contains("closing") && child.waitForReadyRead(20000)) {
    }
    QElapsedTimer clock;
    clock.start();
    child.waitForFinished(10000);
    worst = std::max(worst, clock.nsecsElapsed() / 1e9);
  }
  return worst;
}

double StartupSeconds(const QString& self) {
  constexpr int kRuns = 5;
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    QElapsedTimer clock;
    QProcess child;
    clock.start();
    child.start(self, {QStringLiteral("--startup-child")});
    child.waitForReadyRead(10000);
    best = std::min(best, clock.nsecsElapsed() / 1e9);
    child.waitForFinished(10000);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (app.arguments().contains(QStringLiteral("--startup-child"))) return StartupChild();
  if (app.arguments().contains(QStringLiteral("--close-child"))) return CloseChild(app);

  std::printf("start-up to main window shown: %.3f s (best of 5)\n",
              StartupSeconds(app.applicationFilePath()));
  std::printf("close of the connected main window to process end: %.3f s (worst of 5)\n",
              CloseSeconds(app.applicationFilePath()));

  modMain::InitSharedFlags();
  QtOperatorPrompts prompts;
  auto window = std::make_unique<ParentMDIForm>(std::make_shared<SimulatedTester>(), prompts);
  window->show();
  auto* connect = window->TestOptions().findChild<QCheckBox*>(QStringLiteral("chkConnect"));
  QElapsedTimer download;
  download.start();
  connect->click();
  if (!WaitForLog(QStringLiteral("Program data load complete."), 20000)) {
    std::printf("download did not complete\n");
    return 1;
  }
  std::printf("Connect to \"Program data load complete.\": %.3f s\n",
              download.nsecsElapsed() / 1e9);

  constexpr int kIdleMs = 30000;
  const double cpuBefore = CpuSeconds();
  RunFor(kIdleMs);
  const double cpu = CpuSeconds() - cpuBefore;
  std::printf("CPU while connected and idle for 30 s: %.3f s (%.2f %% of one core)\n", cpu,
              100.0 * cpu / (kIdleMs / 1000.0));
  return 0;
}
