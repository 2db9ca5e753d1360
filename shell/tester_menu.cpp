#include "tester_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "TestResultsForm.h"
#include "TesterInformationForm.h"
#include "ctlVELD32UsbComm.h"
#include "frmTestOptions.h"
#include "modMain.h"
#include "operator_prompts.h"
#include "test_run.h"

namespace {
const QString kTransferInProgress = QStringLiteral(
    "A program transfer with the VELD32 is in progress.  Run the test when it has finished.");
const QString kEditsKeptNoRun =
    QStringLiteral("Edited programs kept: test program %1 was not run.");
}  // namespace

TesterMenu::TesterMenu(QMenuBar& menuBar, frmTestOptions& editor, OperatorPrompts& prompts,
                       QWidget& window)
    : QObject(&window),
      editor_(editor),
      link_(editor.ctlVELD32UsbComm1()),
      prompts_(prompts),
      menuTester(menuBar.addMenu(QStringLiteral("&Tester"))),
      run_(new TestRun(link_, {}, this)),
      results_(new TestResultsForm(prompts, &window)),
      information_(new TesterInformationForm(link_, &window)) {
  menuTester->setObjectName(QStringLiteral("menuTester"));
  for (int index = 0; index < 3; ++index) {
    menuRunTest[index] =
        menuTester->addAction(QStringLiteral("Run Test Program &%1").arg(index + 1), this,
                              [this, index] { menuRunTest_Click(index); });
    menuRunTest[index]->setObjectName(QStringLiteral("menuRunTest%1").arg(index));
  }
  menuTester->addSeparator();
  menuTesterInformation = menuTester->addAction(QStringLiteral("&Information…"), this,
                                                &TesterMenu::menuTesterInformation_Click);
  menuTesterInformation->setObjectName(QStringLiteral("menuTesterInformation"));

  connect(run_, &TestRun::Finished, this, &TesterMenu::Finished);
  connect(run_, &TestRun::Failed, this, &TesterMenu::Failed);
  // A link lost to a driver failure does not repaint the strip, but raises UsbError.
  connect(&link_, &ctlVELD32UsbComm::StripChanged, this, &TesterMenu::UpdateEnabled);
  connect(&link_, &ctlVELD32UsbComm::UsbClosed, this, &TesterMenu::UpdateEnabled);
  connect(&link_, &ctlVELD32UsbComm::UsbConnected, this, &TesterMenu::UpdateEnabled);
  connect(&link_, &ctlVELD32UsbComm::UsbError, this, &TesterMenu::UpdateEnabled);
  UpdateEnabled();
}

bool TesterMenu::Running() const { return run_->Active(); }

void TesterMenu::UpdateEnabled() {
  menuTester->setEnabled(link_.Connected());
  for (QAction* action : menuTester->actions()) action->setEnabled(link_.Connected());
}

void TesterMenu::menuRunTest_Click(int Index) {
  if (!link_.Connected()) return;
  if (run_->Active()) {
    prompts_.Inform(
        QStringLiteral("A test is still running.  Run the next one when it has finished."));
    return;
  }
  if (editor_.TransferInProgress()) {
    prompts_.Inform(kTransferInProgress);
    return;
  }
  if (!editor_.MayReplace({Index})) {
    modMain::AddStatusMessage(kEditsKeptNoRun.arg(Index + 1));
    return;
  }
  program_ = Index + 1;
  link_.ShowActivity(RunningCaption(program_));
  run_->Start(program_);
}

void TesterMenu::menuTesterInformation_Click() {
  if (!link_.Connected()) return;
  information_->show();
  information_->raise();
  information_->Refresh();
}

void TesterMenu::Finished(const TestResult& result) {
  link_.ShowActivity({});
  modMain::AddStatusMessage(ResultLine(result));
  results_->AddResult(result);
  results_->show();
  results_->raise();
}

void TesterMenu::Failed(const QString& reason) {
  link_.ShowActivity({});
  modMain::AddStatusMessage(
      QStringLiteral("Test program %1 not completed: %2").arg(program_).arg(reason));
}
