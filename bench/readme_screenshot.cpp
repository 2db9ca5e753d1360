// Takes the README's picture of the main window: the utility against the simulated tester,
// connected, with the three programs downloaded and the log in diagnostic mode.
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QMdiSubWindow>
#include <QScreen>

#include <cstdio>

#include "BackgroundForm.h"
#include "ParentMDIForm.h"
#include "StatusWindowForm.h"
#include "ctlVELD32UsbComm.h"
#include "frmTestOptions.h"
#include "modMain.h"
#include "operator_prompts.h"
#include "simulated_tester.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (app.arguments().size() != 2) {
    std::fprintf(stderr, "usage: readme_screenshot FILE.png\n");
    return 2;
  }
  modMain::SetCommandLine(QStringLiteral("veld32 --simulate /kovda"));
  modMain::InitSharedFlags();
  auto tester = std::make_shared<SimulatedTester>();
  tester->SetProgram({2, 3, 8, 200, 125, 1, 1, 12, 14});
  tester->SetProgram({3, 5, 6, 100, 45, 0, 1, 100, 400});
  QtOperatorPrompts prompts;
  ParentMDIForm window(tester, prompts);
  window.TestOptions().ctlVELD32UsbComm1().SetPollingTimerInterval(100);
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
  return window.grab().save(app.arguments().at(1)) ? 0 : 1;
}
