#include "frmTestOptions.h"

#include <algorithm>

#include <QCloseEvent>
#include <QLocale>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ctlVELD32UsbComm.h"
#include "ctlVELD32UsbCommStrip.h"
#include "modMain.h"
#include "operator_prompts.h"
#include "program_tab.h"
#include "test_programs_model.h"

namespace {

constexpr qint16 kPollingIntervalMs = 500;

const QString kLimitsMessage = QStringLiteral(
    "ERROR - Pass(ohms) value must be less than Fail(ohms) value!  Save to VELD32 aborted.");
const QString kNotConnectedMessage =
    QStringLiteral("ERROR - VELD32 not connected!  Save to VELD32 aborted.");
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
      SSTab1(new QTabWidget(this)),
      cmdSave(new QPushButton(QStringLiteral("Upload to VELD32"), this)) {
  setObjectName(QStringLiteral("frmTestOptions"));
  setWindowTitle(QStringLiteral("Test Options"));
  link_->setObjectName(QStringLiteral("ctlVELD32UsbComm1"));
  SSTab1->setObjectName(QStringLiteral("SSTab1"));
  cmdSave->setObjectName(QStringLiteral("cmdSave"));

  for (int i = 0; i < kProgramCount; ++i) {
    tabs_[i] = new ProgramTab(*model_, i, SSTab1);
    SSTab1->addTab(tabs_[i], QStringLiteral("Test Program %1").arg(i + 1));
    connect(tabs_[i]->cmdReload(), &QPushButton::clicked, this, [this, i] { cmdReload_Click(i); });
  }
  connect(cmdSave, &QPushButton::clicked, this, &frmTestOptions::cmdSave_Click);

  SSTab1->setUsesScrollButtons(false);
  // Slim tabs, so that all three captions stand side by side within the window's width.
  SSTab1->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 5px; }"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(new ctlVELD32UsbCommStrip(*link_, this), 0, Qt::AlignLeft);
  layout->addWidget(SSTab1);
  layout->addWidget(cmdSave, 0, Qt::AlignHCenter);
  // Larger desktop fonts widen the window rather than clip it.
  setFixedSize(std::max(kWidth, layout->minimumSize().width()), layout->sizeHint().height());

  connect(link_, &ctlVELD32UsbComm::RXData, this, &frmTestOptions::ctlVELD32UsbComm1_RXData);
  connect(link_, &ctlVELD32UsbComm::RXDataInBuffer, this,
          &frmTestOptions::ctlVELD32UsbComm1_RXDataInBuffer);
  connect(link_, &ctlVELD32UsbComm::TXData, this, &frmTestOptions::ctlVELD32UsbComm1_TXData);
  connect(link_, &ctlVELD32UsbComm::RXProgramValues, this,
          &frmTestOptions::ctlVELD32UsbComm1_RXProgramValues);
  connect(link_, &ctlVELD32UsbComm::UsbConnected, this,
          &frmTestOptions::ctlVELD32UsbComm1_UsbConnected);
  connect(link_, &ctlVELD32UsbComm::UsbClosed, this, &frmTestOptions::ctlVELD32UsbComm1_UsbClosed);
  connect(link_, &ctlVELD32UsbComm::UsbError, this, &frmTestOptions::ctlVELD32UsbComm1_UsbError);

  Form_Load();
}

frmTestOptions::~frmTestOptions() {
  // The link outlives this part of the window while its parent tears it down.
  link_->disconnect(this);
}

void frmTestOptions::Form_Load() {
  modMain::DisableCloseButton(this);
  InitializeEditor();
  model_->SetEditorReady(true);
  for (int i = 0; i < kProgramCount; ++i) model_->UpdateAverageCurrent(i);
}

void frmTestOptions::Form_QueryUnload() {
  if (link_->Connected()) link_->Disconnect();
}

void frmTestOptions::closeEvent(QCloseEvent* event) {
  Form_QueryUnload();
  event->accept();
}

void frmTestOptions::InitializeEditor() {
  link_->SetPollingTimerInterval(kPollingIntervalMs);
  SSTab1->setCurrentIndex(0);
  model_->InitializeEditor();
  transfer_.Reset();
}

void frmTestOptions::cmdSave_Click() {
  if (!model_->ValidatePassFailLimits()) {
    prompts_.Inform(kLimitsMessage);
    return;
  }
  if (!link_->Connected()) {
    prompts_.Inform(kNotConnectedMessage);
    return;
  }
  modMain::AddStatusMessage(QStringLiteral("Saving All Program Data to VELD32..."));
  transfer_.BeginUpload();
  for (int i = 0; i < kProgramCount; ++i) {
    const UploadArguments a = model_->UploadArgumentsFor(i);
    link_->TXSetProgramValues(a.vProgramID, a.vCurrentLevelIndex, a.vFreqIndex, a.vPW, a.vDuration,
                              a.vDurationHr, a.vMode, a.vPass, a.vFail);
  }
}

void frmTestOptions::cmdReload_Click(int Index) {
  if (!link_->Connected()) return;
  modMain::AddStatusMessage(
      QStringLiteral("Reloading Program %1 data from VELD32.").arg(Index + 1));
  link_->TXGetProgramValues(static_cast<qint16>(Index + 1));
}

void frmTestOptions::ctlVELD32UsbComm1_RXData(const QString& vData) {
  if (modMain::ShowVerbose) modMain::AddStatusMessage(QStringLiteral("RX <- ") + vData);
}

void frmTestOptions::ctlVELD32UsbComm1_RXDataInBuffer(const QString& vBufferData) {
  if (modMain::ShowRXBuffer) {
    modMain::AddStatusMessage(QStringLiteral("RXBuffer <- ") + vBufferData);
  }
}

void frmTestOptions::ctlVELD32UsbComm1_TXData(const QString& vData) {
  if (modMain::ShowVerbose) modMain::AddStatusMessage(QStringLiteral("TX -> ") + vData);
}

// The averages, the charge and the command text of the reply are the tester's own view; the
// editor derives its own from the settings.
void frmTestOptions::ctlVELD32UsbComm1_RXProgramValues(
    qint16 vProgramIndex, qint16 vCurrentIndex, qint16 vFrequencyIndex, qint16 vPW,
    qint16 vDuration, qint16 vDurationHr, qint16 vMode, qint16 /*vAvgmA*/, qint16 /*vAvguA*/,
    qint16 /*vCharge*/, qint16 vPassValue, qint16 vFailValue, double /*vAverageCurrent*/,
    qint16 /*vPWValue*/, const QString& /*vCommandText*/) {
  transfer_.CountReply();
  model_->ApplyReceivedProgram({.vProgramIndex = vProgramIndex,
                                .vCurrentIndex = vCurrentIndex,
                                .vFrequencyIndex = vFrequencyIndex,
                                .vPW = vPW,
                                .vDuration = vDuration,
                                .vDurationHr = vDurationHr,
                                .vMode = vMode,
                                .vPassValue = vPassValue,
                                .vFailValue = vFailValue});
  if (const auto line = transfer_.CompletionLine()) modMain::AddStatusMessage(*line);
}

void frmTestOptions::ctlVELD32UsbComm1_UsbConnected(qint32 /*vHandleID*/) {
  modMain::AddStatusMessage(QStringLiteral("* VELD32 Connected"));
  modMain::AddStatusMessage(QStringLiteral("Loading program data..."));
  transfer_.BeginDownload();
  for (qint16 program = 1; program <= kProgramCount; ++program) {
    link_->TXGetProgramValues(program);
  }
}

void frmTestOptions::ctlVELD32UsbComm1_UsbClosed() {
  modMain::AddStatusMessage(QStringLiteral("* VELD32 Disconnected"));
}

// The link's text is for diagnosis; the operator is only asked to replug and confirm.
void frmTestOptions::ctlVELD32UsbComm1_UsbError(const QString& /*vErrorString*/) {
  if (prompts_.AskOkCancel(kReplugMessage)) link_->Connect();
}
