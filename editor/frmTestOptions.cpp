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
#include "program_transfer.h"
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
      transfer_(new ProgramTransfer(
          *link_, *model_, modMain::AddStatusMessage, [] { return modMain::ShowVerbose; },
          [] { return modMain::ShowRXBuffer; }, this)),
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

  connect(link_, &ctlVELD32UsbComm::UsbConnected, this,
          &frmTestOptions::ctlVELD32UsbComm1_UsbConnected);
  connect(link_, &ctlVELD32UsbComm::UsbError, this, &frmTestOptions::ctlVELD32UsbComm1_UsbError);
  connect(transfer_, &ProgramTransfer::DownloadCompleted, this, &frmTestOptions::AskIdentity);
  connect(link_, &ctlVELD32UsbComm::UsbClosed, this, &frmTestOptions::ClearIdentity);
  connect(link_, &ctlVELD32UsbComm::RXFirmwareVersion, this, [this](const QString& version) {
    IdentityReply([&version](TesterIdentity& identity) { identity.firmware = version; });
  });
  connect(link_, &ctlVELD32UsbComm::RXSerialNumber, this, [this](const QString& serial) {
    IdentityReply([&serial](TesterIdentity& identity) { identity.serial = serial; });
  });
  connect(link_, &ctlVELD32UsbComm::RXCalibrationDate, this,
          [this](const QString& year, const QString& month, const QString& day) {
            IdentityReply([&](TesterIdentity& identity) {
              identity.calibrationYear = year;
              identity.calibrationMonth = month;
              identity.calibrationDay = day;
            });
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

void frmTestOptions::Form_QueryUnload() {
  if (link_->Connected()) link_->Disconnect();
}

void frmTestOptions::closeEvent(QCloseEvent* event) {
  Form_QueryUnload();
  event->accept();
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
  transfer_->UploadAll();
}

void frmTestOptions::cmdReload_Click(int Index) { transfer_->Reload(Index); }

void frmTestOptions::ctlVELD32UsbComm1_UsbConnected() {
  ClearIdentity();
  transfer_->DownloadAll();
}

void frmTestOptions::AskIdentity() {
  askedIdentity_.emplace();
  link_->TXGetFirmwareVersion();
  link_->TXGetSerialNumber();
  link_->TXGetCalibrationDate();
}

void frmTestOptions::IdentityReply(const std::function<void(TesterIdentity&)>& store) {
  if (!askedIdentity_) return;
  store(*askedIdentity_);
  if (!askedIdentity_->Complete()) return;
  const QString line = IdentityLine(*askedIdentity_, link_->ConnectedUsbSerialNumber());
  askedIdentity_.reset();
  emit TesterIdentityChanged(line);
}

void frmTestOptions::ClearIdentity() {
  askedIdentity_.reset();
  emit TesterIdentityChanged(QString());
}

// The link's text is for diagnosis; the operator is only asked to replug and confirm.
void frmTestOptions::ctlVELD32UsbComm1_UsbError() {
  if (prompts_.AskOkCancel(kReplugMessage)) link_->Connect();
}
