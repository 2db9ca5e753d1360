#include "editor/frmTestOptions.h"

#include <algorithm>

#include <QCloseEvent>
#include <QLocale>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "device_link/ctlVELD32UsbComm.h"
#include "editor/ctlVELD32UsbCommStrip.h"
#include "editor/editor_keyboard.h"
#include "editor/program_tab.h"
#include "programs/program_transfer.h"
#include "programs/programs_model.h"
#include "ui_core/modMain.h"
#include "ui_core/operator_prompts.h"

namespace {

constexpr qint16 kPollingIntervalMs = 500;

const QString kLimitsMessage = QStringLiteral(
    "ERROR - Pass(ohms) value must be less than Fail(ohms) value!  Save to VELD32 aborted.");
const QString kLimitsLogLine =
    QStringLiteral("Save to VELD32 aborted: the pass limit is not below the fail limit in %1.");
const QString kNotConnectedMessage =
    QStringLiteral("ERROR - VELD32 not connected!  Save to VELD32 aborted.");
const QString kReplaceQuestion = QStringLiteral(
    "%1 %2 changes that the VELD32 does not have.\r\n\r\n"
    "Click 'OK' to replace them with the programs of the VELD32, or 'Cancel' to keep them.");
const QString kEditsKept =
    QStringLiteral("Edited programs kept: nothing was downloaded from VELD32.");
const QString kEchoMessage =
    QStringLiteral("The VELD32 does not hold what was uploaded:\r\n\r\n%1");

QString ProgramCaption(int vIndex) { return QStringLiteral("Test Program %1").arg(vIndex + 1); }

const QString kReplugMessage = QStringLiteral(
    "There is an error communicating with the VELD32 device. \r\n\r\n"
    "Please disconnect and reconnect the VELD32 device, and then click 'OK'");

}  // namespace

frmTestOptions::frmTestOptions(std::shared_ptr<D2xx> driver, OperatorPrompts& prompts,
                               QWidget* parent)
    : QWidget(parent),
      prompts_(prompts),
      model_(new TestProgramsModel(QLocale(), this)),
      link_(new ctlVELD32UsbComm(std::move(driver), this)),
      transfer_(new ProgramTransfer(
          *link_, *model_, modMain::AddStatusMessage, [] { return modMain::ShowVerbose; },
          [] { return modMain::ShowRXBuffer; }, this)),
      identity_(new TesterIdentityRequest(*link_, this)),
      SSTab1(new QTabWidget(this)),
      cmdSave(new QPushButton(QStringLiteral("Upload to VELD32"), this)),
      strip_(new ctlVELD32UsbCommStrip(*link_, this)) {
  setObjectName(QStringLiteral("frmTestOptions"));
  setWindowTitle(QStringLiteral("Test Options"));
  link_->setObjectName(QStringLiteral("ctlVELD32UsbComm1"));
  SSTab1->setObjectName(QStringLiteral("SSTab1"));
  cmdSave->setObjectName(QStringLiteral("cmdSave"));

  for (int i = 0; i < kProgramCount; ++i) {
    tabs_[i] = new ProgramTab(*model_, i, SSTab1);
    SSTab1->addTab(tabs_[i], ProgramCaption(i));
    PrepareProgramTab(*tabs_[i]);
    connect(tabs_[i]->cmdReload(), &QPushButton::clicked, this, [this, i] { cmdReload_Click(i); });
  }
  connect(cmdSave, &QPushButton::clicked, this, &frmTestOptions::cmdSave_Click);
  cmdSave->setToolTip(QStringLiteral(
      "Send all three programs to the tester; every pass limit must be below its fail limit"));

  SSTab1->setUsesScrollButtons(false);
  // Slim tabs a point smaller than the rest, so that all three captions stand side by side
  // within the window's width, also when each carries the mark of unsent changes.
  SSTab1->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 5px; }"));
  QFont tabFont = SSTab1->tabBar()->font();
  tabFont.setPointSizeF(tabFont.pointSizeF() - 1);
  SSTab1->tabBar()->setFont(tabFont);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(strip_, 0, Qt::AlignLeft);
  layout->addWidget(SSTab1);
  layout->addWidget(cmdSave, 0, Qt::AlignHCenter);
  // Larger desktop fonts widen the window rather than clip it.
  setFixedSize(std::max(kWidth, layout->minimumSize().width()), layout->sizeHint().height());
  PrepareEditorKeys(*this, *SSTab1);

  connect(link_, &ctlVELD32UsbComm::UsbConnected, this,
          &frmTestOptions::ctlVELD32UsbComm1_UsbConnected);
  connect(link_, &ctlVELD32UsbComm::UsbError, this, &frmTestOptions::ctlVELD32UsbComm1_UsbError);
  connect(transfer_, &ProgramTransfer::DownloadCompleted, identity_, &TesterIdentityRequest::Ask);
  connect(link_, &ctlVELD32UsbComm::UsbClosed, this, &frmTestOptions::ClearIdentity);
  connect(identity_, &TesterIdentityRequest::Completed, this,
          [this](const TesterIdentity& identity) {
            identified_ = identity;
            emit TesterIdentityChanged(IdentityLine(identity, link_->ConnectedUsbSerialNumber()));
            emit TesterIdentified(identified_);
          });
  // Another tab: whatever the operator left refused in a box gives way to the program's value.
  connect(SSTab1, &QTabWidget::currentChanged, this, [this] {
    for (int i = 0; i < kProgramCount; ++i) model_->ShowProgramValues(i);
  });
  connect(model_, &TestProgramsModel::ProgramChanged, this, &frmTestOptions::ShowTesterState);
  connect(transfer_, &ProgramTransfer::TesterStateChanged, this, &frmTestOptions::ShowTesterState);
  connect(transfer_, &ProgramTransfer::UploadEchoDiffers, this, [this](const QStringList& lines) {
    prompts_.Inform(kEchoMessage.arg(lines.join(QStringLiteral("\r\n"))));
  });

  Form_Load();
}

frmTestOptions::~frmTestOptions() {
  // The link outlives this part of the window while its parent tears it down.
  link_->disconnect(this);
}

void frmTestOptions::Form_Load() {
  modMain::DisableCloseButton(this);
  link_->SetPollingTimerInterval(kPollingIntervalMs);
  SSTab1->setCurrentIndex(0);
  transfer_->Reset();
  model_->StartUp();
}

const ProgramTransferState& frmTestOptions::Transfer() const { return transfer_->State(); }

bool frmTestOptions::TransferInProgress() const { return transfer_->Busy(); }

void frmTestOptions::Form_QueryUnload() {
  if (link_->Connected()) link_->Disconnect();
}

void frmTestOptions::closeEvent(QCloseEvent* event) {
  Form_QueryUnload();
  event->accept();
}

void frmTestOptions::SetRunInProgress(bool running) {
  runInProgress_ = running;
  ShowTesterState();
}

void frmTestOptions::SetDisconnectCheck(std::function<bool()> check) {
  strip_->SetReleaseCheck(std::move(check));
}

void frmTestOptions::SetConnectCheck(std::function<bool()> check) {
  strip_->SetPressCheck(std::move(check));
}

int frmTestOptions::CurrentProgram() const { return SSTab1->currentIndex(); }

void frmTestOptions::cmdSave_Click() {
  if (runInProgress_) return;
  if (!model_->ValidatePassFailLimits()) {
    prompts_.Inform(kLimitsMessage);
    QStringList programs;
    for (int i = 0; i < kProgramCount; ++i) {
      if (!model_->PassBelowFail(i)) programs << QStringLiteral("Program %1").arg(i + 1);
    }
    modMain::AddStatusMessage(kLimitsLogLine.arg(programs.join(QLatin1String(", "))));
    return;
  }
  if (!link_->Connected()) {
    prompts_.Inform(kNotConnectedMessage);
    return;
  }
  transfer_->UploadAll();
}

void frmTestOptions::cmdReload_Click(int Index) {
  if (!link_->Connected() || runInProgress_ || !MayReplace({Index})) return;
  transfer_->Reload(Index);
}

void frmTestOptions::ctlVELD32UsbComm1_UsbConnected() {
  ClearIdentity();
  if (MayReplace({0, 1, 2})) {
    transfer_->DownloadAll();
  } else {
    modMain::AddStatusMessage(kEditsKept);
  }
}

bool frmTestOptions::MayReplace(const std::vector<int>& indexes) {
  QStringList edited;
  for (const int i : indexes) {
    if (transfer_->HasUnsentChanges(i)) edited << ProgramCaption(i);
  }
  return edited.isEmpty() || prompts_.AskOkCancel(kReplaceQuestion.arg(
                                 edited.join(", "), edited.size() == 1 ? QStringLiteral("holds")
                                                                       : QStringLiteral("hold")));
}

void frmTestOptions::ShowTesterState() {
  for (int i = 0; i < kProgramCount; ++i) {
    QString caption = ProgramCaption(i);
    QString tip = QStringLiteral("Not yet downloaded from the VELD32.");
    if (transfer_->TesterHolds(i)) {
      QStringList differences;
      for (const SettingDifference& d : transfer_->Differences(i)) {
        differences << QStringLiteral("%1: %2 here, %3 on the VELD32")
                           .arg(SettingKey(d.setting), SettingValueText(d.setting, d.editor),
                                SettingValueText(d.setting, d.tester));
      }
      if (!differences.isEmpty()) caption += QStringLiteral(" *");
      tip = differences.isEmpty()
                ? QStringLiteral("As the VELD32 holds it.")
                : QStringLiteral("Differs from the VELD32:\n") + differences.join(u'\n');
    }
    const QString limits = model_->LimitsProblem(i);
    if (!limits.isEmpty()) tip = limits + u'\n' + tip;
    SSTab1->setTabText(i, caption);
    SSTab1->setTabToolTip(i, tip);
    tabs_[i]->setEnabled(!transfer_->Busy());
    tabs_[i]->cmdReload()->setEnabled(!runInProgress_);
  }
  cmdSave->setEnabled(!transfer_->Busy() && !runInProgress_);
  strip_->SetActivity(transfer_->Activity());
  if (transferShown_ != transfer_->Busy()) {
    transferShown_ = transfer_->Busy();
    emit TransferInProgressChanged(transferShown_);
  }
}

void frmTestOptions::ClearIdentity() {
  identity_->Cancel();
  identified_ = {};
  emit TesterIdentityChanged(QString());
  emit TesterIdentified(identified_);
}

// The link's text is for diagnosis; the operator is only asked to replug and confirm.
void frmTestOptions::ctlVELD32UsbComm1_UsbError() {
  if (prompts_.AskOkCancel(kReplugMessage)) link_->Connect();
}
