// Takes the README's picture of the main window: the utility against the simulated tester,
// connected, with the three programs downloaded and the log in diagnostic mode. With --dark the
// desktop's palette is dark before the utility applies its own look; QT_SCALE_FACTOR scales it.
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QMdiSubWindow>
#include <QPalette>
#include <QScreen>

#include <cstdio>

#include "backends/simulated_tester.h"
#include "device_link/ctlVELD32UsbComm.h"
#include "editor/frmTestOptions.h"
#include "shell/BackgroundForm.h"
#include "shell/ParentMDIForm.h"
#include "shell/desktop_look.h"
#include "ui_core/StatusWindowForm.h"
#include "ui_core/modMain.h"
#include "ui_core/operator_prompts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList arguments = app.arguments();
  const bool dark = arguments.contains(QStringLiteral("--dark"));
  // --screen=WxH: the frame fitted into a screen of that many logical pixels.
  const QStringList screen =
      arguments.filter(QStringLiteral("--screen=")).value(0).mid(9).split(u'x');
  if (arguments.size() != 2 + (dark ? 1 : 0) + (screen.size() == 2 ? 1 : 0)) {
    std::fprintf(stderr, "usage: readme_screenshot [--dark] [--screen=WxH] FILE.png\n");
    return 2;
  }
  if (dark) {
    QPalette palette(QColor(53, 53, 53), QColor(35, 35, 35));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::ButtonText, Qt::white);
    QApplication::setPalette(palette);
  }
  ApplyDesktopLook();
  modMain::SetCommandLine(QStringLiteral("veld32 --simulate /kovda"));
  modMain::InitSharedFlags();
  auto tester = std::make_shared<SimulatedTester>();
  tester->SetProgram({2, 3, 8, 200, 125, 1, TestMode::Duration, 12, 14});
  tester->SetProgram({3, 5, 6, 100, 45, 0, TestMode::Duration, 100, 400});
  QtOperatorPrompts prompts;
  ParentMDIForm window(tester, prompts);
  window.TestOptions().ctlVELD32UsbComm1().SetPollingTimerInterval(100);
  if (screen.size() == 2) window.FitInto(QRect(0, 0, screen[0].toInt(), screen[1].toInt()));
  window.show();
  for (QWidget* child :
       {static_cast<QWidget*>(&window.Background()), static_cast<QWidget*>(&window.TestOptions()),
        static_cast<QWidget*>(&window.StatusWindow())}) {
    window.ChildWindow(*child)->show();
  }
  window.TestOptions().findChild<QCheckBox*>(QStringLiteral("chkConnect"))->click();
  QDeadlineTimer deadline(10000);
  while (!modMain::StatusLogText.contains(QStringLiteral("Program data load complete.")) &&
         !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  QDeadlineTimer settle(300);
  while (!settle.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return window.grab().save(arguments.last()) ? 0 : 1;
}
