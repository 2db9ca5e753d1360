#include "shell/tester_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "device_link/ctlVELD32UsbComm.h"
#include "editor/frmTestOptions.h"
#include "programs/programs_model.h"
#include "resources/version.h"
#include "shell/TestResultsForm.h"
#include "shell/TesterInformationForm.h"
#include "tester/program_run.h"
#include "ui_core/modMain.h"
#include "ui_core/operator_prompts.h"

namespace {
const QString kTransferInProgress = QStringLiteral(
    "A program transfer with the VELD32 is in progress.  Run the test when it has finished.");
const QString kEditsKeptNoRun =
    QStringLiteral("Edited programs kept: test program %1 was not run.");
const QString kEndRunQuestion = QStringLiteral("Test program %1 is running: stop it and %2?");
const QString kStopped = QStringLiteral("Test program %1 stopped before its result.");
const QString kNotRecorded = QStringLiteral("The run was not recorded: %1");
constexpr int kClockMs = 1000;
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
  menuStopTest =
      menuTester->addAction(QStringLiteral("&Stop Test"), this, &TesterMenu::menuStopTest_Click);
  menuStopTest->setObjectName(QStringLiteral("menuStopTest"));
  menuTester->addSeparator();
  menuTesterInformation = menuTester->addAction(QStringLiteral("&Information…"), this,
                                                &TesterMenu::menuTesterInformation_Click);
  menuTesterInformation->setObjectName(QStringLiteral("menuTesterInformation"));

  clock_.setInterval(kClockMs);
  connect(&clock_, &QTimer::timeout, this, &TesterMenu::ShowElapsed);
  connect(run_, &TestRun::Testing, this,
          [this](int, qint64 expectedSeconds) { Testing(expectedSeconds); });
  connect(run_, &TestRun::Finished, this, &TesterMenu::Finished);
  connect(run_, &TestRun::Failed, this, &TesterMenu::Failed);
  // A link lost to a driver failure does not repaint the strip, but raises UsbError.
  connect(&link_, &ctlVELD32UsbComm::StatusChanged, this, &TesterMenu::UpdateEnabled);
  connect(&link_, &ctlVELD32UsbComm::UsbClosed, this, &TesterMenu::UpdateEnabled);
  connect(&link_, &ctlVELD32UsbComm::UsbConnected, this, &TesterMenu::UpdateEnabled);
  connect(&link_, &ctlVELD32UsbComm::UsbError, this, &TesterMenu::UpdateEnabled);
  connect(&editor_, &frmTestOptions::TransferInProgressChanged, this, &TesterMenu::UpdateEnabled);
  UpdateEnabled();
}

bool TesterMenu::Running() const { return run_->Active(); }

void TesterMenu::UpdateEnabled() {
  const bool connected = link_.Connected();
  const bool free = connected && !editor_.TransferInProgress() && !Running();
  menuTester->setEnabled(connected);
  for (QAction* action : menuRunTest) action->setEnabled(free);
  menuTesterInformation->setEnabled(free);
  menuStopTest->setEnabled(connected && Running());
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
  if (context_) current_ = context_();
  current_.started = QDateTime::currentDateTimeUtc();
  link_.ShowActivity(RunningCaption(program_));
  run_->Start(program_);
  if (!run_->Active()) return;  // failed at once; Failed has tidied up
  editor_.SetRunInProgress(true);
  UpdateEnabled();
  emit RunningChanged(true);
}

void TesterMenu::menuStopTest_Click() {
  if (!Running()) return;
  run_->Abandon();
  modMain::AddStatusMessage(kStopped.arg(program_));
  Ended();
  Record(RunOutcome::Stopped, {}, {});
}

bool TesterMenu::MayEndRun(const QString& action) {
  if (!Running()) return true;
  if (!prompts_.AskOkCancel(kEndRunQuestion.arg(program_).arg(action))) return false;
  menuStopTest_Click();
  return true;
}

void TesterMenu::menuTesterInformation_Click() {
  if (!link_.Connected() || editor_.TransferInProgress() || Running()) return;
  information_->show();
  information_->raise();
  information_->Refresh();
}

void TesterMenu::Testing(qint64 expectedSeconds) {
  expectedSeconds_ = expectedSeconds;
  testing_.start();
  clock_.start();
  ShowElapsed();
}

void TesterMenu::ShowElapsed() {
  link_.ShowActivity(RunningCaption(program_, testing_.elapsed() / 1000, expectedSeconds_));
}

void TesterMenu::SetRecording(RecordStore* store, std::function<RunRecord()> context) {
  store_ = store;
  context_ = std::move(context);
}

void TesterMenu::Record(RunOutcome outcome, const std::optional<double>& impedanceOhms,
                        const QString& errorText) {
  if (store_ == nullptr) return;
  RunRecord record = current_;
  record.id = QUuid::createUuid();
  record.ended = QDateTime::currentDateTimeUtc();
  // The run read its program from the tester into the editor: the settings it ran with.
  record.settings = editor_.Model().Settings(program_ - 1);
  record.impedanceOhms = impedanceOhms;
  record.outcome = outcome;
  record.errorText = errorText;
  record.version = QStringLiteral(VELD32_VERSION_TEXT);
  const StoreResult stored = store_->AddRun(record);
  if (stored.outcome == StoreOutcome::Failed) {
    modMain::AddStatusMessage(kNotRecorded.arg(stored.message));
  } else if (stored.outcome == StoreOutcome::KeptLocally) {
    modMain::AddStatusMessage(stored.message);
  }
  emit Recorded(stored);
}

void TesterMenu::Finished(const TestResult& result) {
  Ended();
  // Kept durably before the operator sees the verdict.
  // The run asked the tester's serial itself: a run started before the identity arrived still
  // names its tester.
  if (current_.tester.testerSerial.isEmpty()) current_.tester.testerSerial = result.testerSerial;
  Record(OutcomeOf(result.verdict),
         result.verdict == Verdict::NoReading ? std::nullopt
                                              : std::optional<double>(result.impedanceOhms),
         {});
  modMain::AddStatusMessage(ResultLine(result));
  // The new record is among those the window shows.
  if (results_->isVisible()) {
    results_->Refresh();
  } else {
    results_->show();
  }
  results_->raise();
}

void TesterMenu::Failed(const QString& reason) {
  Ended();
  modMain::AddStatusMessage(
      QStringLiteral("Test program %1 not completed: %2").arg(program_).arg(reason));
  Record(RunOutcome::Error, {}, reason);
}

void TesterMenu::Ended() {
  clock_.stop();
  link_.ShowActivity({});
  editor_.SetRunInProgress(false);
  UpdateEnabled();
  emit RunningChanged(false);
}
