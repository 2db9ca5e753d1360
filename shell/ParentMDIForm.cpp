#include "shell/ParentMDIForm.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMoveEvent>
#include <QScrollArea>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

#include "config_files/program_files.h"
#include "device_link/ctlVELD32UsbComm.h"
#include "editor/frmTestOptions.h"
#include "programs/programs_model.h"
#include "records/record_store.h"
#include "resources/version.h"
#include "shell/BackgroundForm.h"
#include "shell/TestResultsForm.h"
#include "shell/desktop_help.h"
#include "shell/frmSettings.h"
#include "shell/tab_chain_subwindow.h"
#include "shell/tester_menu.h"
#include "ui_core/StatusWindowForm.h"
#include "ui_core/dialog_folder.h"
#include "ui_core/modMain.h"
#include "ui_core/operator_prompts.h"
#include "ui_core/window_settings.h"

namespace {
constexpr int kTwipsPerPixel = 15;
constexpr int Px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

constexpr int kMainWidthTwips = 11000;
constexpr int kMainHeightTwips = 10000;
constexpr int kStatusBarHeightTwips = 375;

const QString kLoadComplete = QStringLiteral("Load from file complete: %1");
const QString kLoadFailed = QStringLiteral("Load from file failed.");
const QString kSaveComplete = QStringLiteral("Save to file complete: %1");
const QString kSaveFailed = QStringLiteral("Save to file failed.");
const QString kNoDevicesFound = QStringLiteral("No devices found");
const QString kCalibrationOverdue = QStringLiteral(" \u00B7 calibration overdue");
const QString kRecordsKeptLocally = QStringLiteral("Records kept locally");
const QString kRecordsFailed = QStringLiteral("Runs not recorded");
const QString kNoUnitToRun = QStringLiteral("Scan or type the DUT, then press Enter to run.");
constexpr int kOperatorWidthTwips = 2400;

// Room for the title bar and borders that the window system adds around the frame.
constexpr QSize kDecoration(16, 48);

}  // namespace

ParentMDIForm::ParentMDIForm(std::shared_ptr<D2xx> driver, OperatorPrompts& prompts,
                             QWidget* parent)
    : QMainWindow(parent),
      prompts_(prompts),
      mdiArea_(new QMdiArea),
      scrollArea_(new QScrollArea),
      client_(new QWidget),
      StatusBarPictureBox(new QWidget),
      VELD32VersionLabel(new QLabel(StatusBarPictureBox)),
      lblTesterIdentity(new QLabel(StatusBarPictureBox)),
      lblOperator(new QLabel(StatusBarPictureBox)),
      background_(new BackgroundForm),
      testOptions_(new frmTestOptions(std::move(driver), prompts)) {
  setObjectName(QStringLiteral("ParentMDIForm"));
  setWindowTitle(QStringLiteral("VELD32 Configurator"));
  mdiArea_->setObjectName(QStringLiteral("mdiArea"));
  mdiArea_->setBackground(Qt::black);
  mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  StatusBarPictureBox->setObjectName(QStringLiteral("StatusBarPictureBox"));
  StatusBarPictureBox->setFixedHeight(Px(kStatusBarHeightTwips));
  VELD32VersionLabel->setObjectName(QStringLiteral("VELD32VersionLabel"));
  VELD32VersionLabel->setGeometry(Px(60), Px(60), Px(1275), Px(255));
  VELD32VersionLabel->setFont(QFont(QStringLiteral("Microsoft Sans Serif"), 8));
  // The connected tester, beside the version, across the rest of the bar.
  lblTesterIdentity->setObjectName(QStringLiteral("lblTesterIdentity"));
  lblTesterIdentity->setGeometry(
      Px(60 + 1275 + 120), Px(60),
      Px(kMainWidthTwips - 60 - 1275 - 120 - 60 - kOperatorWidthTwips - 60), Px(255));
  lblTesterIdentity->setFont(VELD32VersionLabel->font());
  // The operator of the session at the bar's right end.
  lblOperator->setObjectName(QStringLiteral("lblOperator"));
  lblOperator->setGeometry(Px(kMainWidthTwips - 60 - kOperatorWidthTwips), Px(60),
                           Px(kOperatorWidthTwips), Px(255));
  lblOperator->setFont(VELD32VersionLabel->font());
  lblOperator->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  connect(testOptions_, &frmTestOptions::TesterIdentityChanged, this, &ParentMDIForm::ShowTester);
  // The tester serial each bridge answered with, so that a bench of several can offer both.
  connect(testOptions_, &frmTestOptions::TesterIdentified, this,
          [this](const TesterIdentity& identity) {
            if (identity.serial) {
              window_settings::RememberTesterSerial(
                  testOptions_->ctlVELD32UsbComm1().ConnectedUsbSerialNumber(), *identity.serial);
            }
          });
  // A link that is down names no tester: the status bar follows the link's status, which shows
  // a lost link down before anyone is asked about reconnecting.
  const ctlVELD32UsbComm& link = testOptions_->ctlVELD32UsbComm1();
  connect(&link, &ctlVELD32UsbComm::StatusChanged, lblTesterIdentity, [this, &link] {
    if (!link.Connected()) lblTesterIdentity->clear();
  });

  auto* layout = new QVBoxLayout(client_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(mdiArea_, 1);
  layout->addWidget(StatusBarPictureBox);
  // The frame keeps its specified size; only a screen too small for it shows scroll bars.
  scrollArea_->setObjectName(QStringLiteral("scrollArea"));
  scrollArea_->setFrameShape(QFrame::NoFrame);
  scrollArea_->setWidgetResizable(true);
  scrollArea_->setWidget(client_);
  setCentralWidget(scrollArea_);

  settings_ = new frmSettings(this);
  connect(settings_, &frmSettings::Changed, this, &ParentMDIForm::ShowTester);
  CreateMenus();
  CreateHelpMenus();
  CreateUnitField();
  SetOperator({});
  MDIForm_Load();
  WatchForMissingTester();
}

ParentMDIForm::~ParentMDIForm() = default;

void ParentMDIForm::CreateMenus() {
  QMenu* menuLoad = menuBar()->addMenu(QStringLiteral("&Load"));
  menuLoad->setObjectName(QStringLiteral("menuLoad"));
  menuLoadAll = menuLoad->addAction(QStringLiteral("Load &All Programs..."), this,
                                    &ParentMDIForm::menuLoadAll_Click);
  menuLoadAll->setObjectName(QStringLiteral("menuLoadAll"));
  for (int index = 0; index < 3; ++index) {
    menuLoadProgram[index] =
        menuLoad->addAction(QStringLiteral("Load Program &%1...").arg(index + 1), this,
                            [this, index] { menuLoadProgram_Click(index); });
    menuLoadProgram[index]->setObjectName(QStringLiteral("menuLoadProgram%1").arg(index));
  }

  QMenu* menuSave = menuBar()->addMenu(QStringLiteral("&Save"));
  menuSave->setObjectName(QStringLiteral("menuSave"));
  menuSaveAll = menuSave->addAction(QStringLiteral("Save &All Programs..."), this,
                                    &ParentMDIForm::menuSaveAll_Click);
  menuSaveAll->setObjectName(QStringLiteral("menuSaveAll"));
  for (int index = 0; index < 3; ++index) {
    menuSaveProgram[index] =
        menuSave->addAction(QStringLiteral("Save Program &%1...").arg(index + 1), this,
                            [this, index] { menuSaveProgram_Click(index); });
    menuSaveProgram[index]->setObjectName(QStringLiteral("menuSaveProgram%1").arg(index));
  }

  testerMenu_ = new TesterMenu(*menuBar(), *testOptions_, prompts_, *this);
  // A load during a transfer would be overwritten by the tester's replies without a word; one
  // during a test would change the tab whose program the test runs.
  connect(testOptions_, &frmTestOptions::TransferInProgressChanged, this,
          &ParentMDIForm::UpdateLoadMenus);
  connect(testerMenu_, &TesterMenu::RunningChanged, this, &ParentMDIForm::UpdateLoadMenus);
  connect(testerMenu_, &TesterMenu::Recorded, this, [this](const StoreResult& result) {
    lblRecords->setText(result.outcome == StoreOutcome::Stored        ? QString()
                        : result.outcome == StoreOutcome::KeptLocally ? kRecordsKeptLocally
                                                                      : kRecordsFailed);
    lblRecords->setToolTip(result.message);
  });
  testOptions_->SetDisconnectCheck(
      [this] { return testerMenu_->MayEndRun(QStringLiteral("disconnect")); });
}

void ParentMDIForm::UpdateLoadMenus() {
  const bool free = !testOptions_->TransferInProgress() && !testerMenu_->Running();
  menuLoadAll->setEnabled(free);
  for (QAction* item : menuLoadProgram) item->setEnabled(free);
}

void ParentMDIForm::CreateHelpMenus() {
  QMenu* menuWindow = menuBar()->addMenu(QStringLiteral("&Window"));
  menuWindow->setObjectName(QStringLiteral("menuWindow"));
  menuWindow
      ->addAction(QStringLiteral("&Arrange Windows"), this,
                  &ParentMDIForm::menuArrangeWindows_Click)
      ->setObjectName(QStringLiteral("menuArrangeWindows"));
  // Closing the Results window must not lose the way back to it.
  menuWindow
      ->addAction(QStringLiteral("Test &Results"), this,
                  [this] {
                    testerMenu_->Results().show();
                    testerMenu_->Results().raise();
                    testerMenu_->Results().activateWindow();
                  })
      ->setObjectName(QStringLiteral("menuTestResults"));
  menuWindow->addAction(QStringLiteral("&Settings…"), this, &ParentMDIForm::menuSettings_Click)
      ->setObjectName(QStringLiteral("menuSettings"));
  QMenu* menuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
  menuHelp->setObjectName(QStringLiteral("menuHelp"));
  menuHelp
      ->addAction(QStringLiteral("&About VELD32 Configurator"), this,
                  &ParentMDIForm::menuAbout_Click)
      ->setObjectName(QStringLiteral("menuAbout"));
  // F10 opens the menu bar, as on other desktops.
  connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this,
          [this] { menuBar()->setActiveAction(menuBar()->actions().constFirst()); });
}

void ParentMDIForm::CreateUnitField() {
  // The unit under test beside the menus, where a barcode scanner that types as a keyboard
  // fills it; its Enter starts the run.
  auto* strip = new QWidget(this);
  strip->setObjectName(QStringLiteral("UnitStrip"));
  // Shown while records do not reach their database.
  lblRecords = new QLabel(strip);
  lblRecords->setObjectName(QStringLiteral("lblRecords"));
  lblRecords->setStyleSheet(QStringLiteral("color: #c00000;"));
  lblDut = new QLabel(QStringLiteral("DUT:"), strip);
  lblDut->setObjectName(QStringLiteral("lblDut"));
  txtDut = new QLineEdit(strip);
  txtDut->setObjectName(QStringLiteral("txtDut"));
  txtDut->setToolTip(
      QStringLiteral("The unit under test: scan its barcode or type it (Ctrl+D comes here), "
                     "then Enter runs the program in front"));
  // Outside the editor's Tab cycle: a click or Ctrl+D puts the scanner's typing here.
  txtDut->setFocusPolicy(Qt::ClickFocus);
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_D), this), &QShortcut::activated, txtDut,
          [this] {
            txtDut->setFocus(Qt::ShortcutFocusReason);
            txtDut->selectAll();
          });
  txtDut->setMinimumWidth(Px(2400));
  auto* layout = new QHBoxLayout(strip);
  layout->setContentsMargins(4, 0, 4, 0);
  layout->addWidget(lblRecords);
  layout->addSpacing(8);
  layout->addWidget(lblDut);
  layout->addWidget(txtDut);
  menuBar()->setCornerWidget(strip, Qt::TopRightCorner);
  connect(txtDut, &QLineEdit::returnPressed, this, &ParentMDIForm::txtDut_Return);
}

QString ParentMDIForm::UnitUnderTest() const { return txtDut->text().trimmed(); }

void ParentMDIForm::txtDut_Return() {
  if (UnitUnderTest().isEmpty()) {
    modMain::AddStatusMessage(kNoUnitToRun);
    return;
  }
  testerMenu_->menuRunTest_Click(testOptions_->CurrentProgram());
  // The next scan replaces this one.
  txtDut->selectAll();
}

void ParentMDIForm::SetRecordStore(std::unique_ptr<RecordStore> store, const QString& why,
                                   const std::optional<RecordLocation>& location) {
  records_ = std::move(store);
  testerMenu_->Results().SetLocation(records_ ? location : std::nullopt, why);
  if (!records_) {
    lblRecords->setText(kRecordsFailed);
    lblRecords->setToolTip(why);
    modMain::AddStatusMessage(QStringLiteral("Runs are not recorded: %1").arg(why));
  }
  testerMenu_->SetRecording(records_.get(), [this] {
    RunRecord record;
    record.dut = UnitUnderTest();
    record.operatorName = operator_;
    record.station = window_settings::Station();
    const TesterIdentity& identity = testOptions_->Identity();
    record.tester.usbSerial = testOptions_->ctlVELD32UsbComm1().ConnectedUsbSerialNumber();
    record.tester.testerSerial = identity.serial.value_or(QString());
    record.tester.firmware = identity.firmware.value_or(QString());
    record.tester.calibrated = identity.Complete() ? CalibrationDateText(identity) : QString();
    record.tester.calibrationOverdue = CalibrationOverdue(
        identity, window_settings::CalibrationIntervalMonths(), QDate::currentDate());
    return record;
  });
}

void ParentMDIForm::SetOperator(const QString& name) {
  operator_ = name.trimmed();
  lblOperator->setText(QStringLiteral("Operator: %1")
                           .arg(operator_.isEmpty() ? QStringLiteral("\u2013") : operator_));
}

void ParentMDIForm::menuSettings_Click() {
  settings_->Reload();
  settings_->show();
  settings_->raise();
  settings_->activateWindow();
}

void ParentMDIForm::ShowTester() {
  const TesterIdentity& identity = testOptions_->Identity();
  const ctlVELD32UsbComm& link = testOptions_->ctlVELD32UsbComm1();
  if (!link.Connected() || !identity.Complete()) {
    lblTesterIdentity->clear();
    return;
  }
  const bool overdue = CalibrationOverdue(identity, window_settings::CalibrationIntervalMonths(),
                                          QDate::currentDate());
  lblTesterIdentity->setText(IdentityLine(identity, link.ConnectedUsbSerialNumber()) +
                             (overdue ? kCalibrationOverdue : QString()));
  lblTesterIdentity->setStyleSheet(overdue ? QStringLiteral("color: #c00000;") : QString());
}

void ParentMDIForm::WatchForMissingTester() {
  ctlVELD32UsbComm& link = testOptions_->ctlVELD32UsbComm1();
  connect(&link, &ctlVELD32UsbComm::StatusChanged, this, [this, &link] {
    const bool noTester = link.Status().message == kNoDevicesFound;
    if (noTester && !noTesterReported_)
      modMain::AddStatusMessage(NoTesterHint(InstalledUdevRule()));
    noTesterReported_ = noTester;
  });
}

QString ParentMDIForm::AboutText() const {
  return ::AboutText(backendDescription_, InstalledUdevRule());
}

void ParentMDIForm::menuAbout_Click() {
  auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("About VELD32 Configurator"),
                              AboutText(), QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("frmAbout"));
  box->setIconPixmap(windowIcon().pixmap(64, 64));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void ParentMDIForm::menuArrangeWindows_Click() {
  for (const auto& [child, position] : startPositions_) child->move(position);
}

bool ParentMDIForm::eventFilter(QObject* watched, QEvent* event) {
  auto* child = qobject_cast<QMdiSubWindow*>(watched);
  if (child != nullptr && event->type() == QEvent::Move) {
    const QSize room = mdiArea_->viewport()->size() - child->size();
    const QPoint inside(std::clamp(child->x(), 0, std::max(0, room.width())),
                        std::clamp(child->y(), 0, std::max(0, room.height())));
    if (inside != child->pos()) child->move(inside);
  }
  return QMainWindow::eventFilter(watched, event);
}

void ParentMDIForm::FitInto(const QRect& available) {
  const QSize specified = client_->size() + QSize(0, menuBar()->sizeHint().height());
  const QSize room = available.size() - kDecoration;
  if (specified.width() <= room.width() && specified.height() <= room.height()) return;
  setFixedSize(specified.boundedTo(room));
  move(available.topLeft());
}

QMdiSubWindow* ParentMDIForm::AddChild(QWidget* form, Qt::WindowFlags flags) {
  auto* child = new TabChainSubWindow;
  mdiArea_->addSubWindow(child, Qt::SubWindow | flags);
  child->setWidget(form);
  child->setObjectName(form->objectName() + QStringLiteral("Window"));
  child->setWindowTitle(form->windowTitle());
  child->adjustSize();
  child->setFixedSize(child->size());
  return child;
}

QMdiSubWindow* ParentMDIForm::ChildWindow(const QWidget& form) const {
  return qobject_cast<QMdiSubWindow*>(form.parentWidget());
}

void ParentMDIForm::MDIForm_Load() {
  FormLoading = true;
  // The frame keeps one size: no maximize box, and a fixed size below.
  setWindowFlag(Qt::WindowMaximizeButtonHint, false);
  VELD32VersionLabel->setText(QStringLiteral("%1 v%2.%3.%4")
                                  .arg(QStringLiteral(VELD32_PRODUCT_NAME))
                                  .arg(VELD32_VERSION_MAJOR)
                                  .arg(VELD32_VERSION_MINOR)
                                  .arg(VELD32_VERSION_PATCH));
  move(0, 0);
  resize(Px(kMainWidthTwips), Px(kMainHeightTwips));

  const Qt::WindowFlags fixedChild = Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  QMdiSubWindow* backgroundChild = AddChild(background_, Qt::FramelessWindowHint);
  const int backgroundWidthTwips = backgroundChild->width() * kTwipsPerPixel;
  const int backgroundHeightTwips = backgroundChild->height() * kTwipsPerPixel;
  backgroundChild->move(Px(kMainWidthTwips - backgroundWidthTwips - 500),
                        Px(kMainHeightTwips - backgroundHeightTwips - 1800));

  QMdiSubWindow* editorChild = AddChild(testOptions_, fixedChild);
  editorChild->move(0, 0);

  statusWindow_ = new StatusWindowForm(prompts_);
  QMdiSubWindow* logChild = AddChild(statusWindow_, fixedChild);
  logChild->move(editorChild->width(), 0);

  client_->setFixedSize(width(), height() - menuBar()->sizeHint().height());
  setFixedSize(size());
  for (QMdiSubWindow* child : {backgroundChild, editorChild, logChild}) {
    startPositions_.emplace_back(child, child->pos());
    child->installEventFilter(this);
  }
  testOptions_->setFocus();
  FormLoading = false;
}

void ParentMDIForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Each child window takes the focus as it is shown, the log last; the operator starts in the
  // editor.
  if (event->spontaneous()) return;
  mdiArea_->setActiveSubWindow(ChildWindow(*testOptions_));
  if (QWidget* first = NextTabStop(*testOptions_, true)) first->setFocus(Qt::OtherFocusReason);
}

void ParentMDIForm::closeEvent(QCloseEvent* event) {
  if (!testerMenu_->MayEndRun(QStringLiteral("close"))) {
    event->ignore();
    return;
  }
  testOptions_->Form_QueryUnload();
  event->accept();
}

void ParentMDIForm::RunFileOperation(FileDialog dialog, const QString& filter,
                                     const QString& before, const FileOperation& operation) {
  const QString startFolder = DialogStartFolder();
  const QString fileName = dialog == FileDialog::Open ? prompts_.OpenFileName(filter, startFolder)
                                                      : prompts_.SaveFileName(filter, startFolder);
  if (fileName.isEmpty()) return;
  RememberDialogFolder(fileName);
  modMain::AddStatusMessage(before);
  const program_files::Outcome outcome = operation(fileName);
  for (const program_files::Warning& warning : outcome.warnings)
    modMain::AddStatusMessage(program_files::WarningText(warning));
  for (const QString& line : outcome.notes) modMain::AddStatusMessage(line);
  const bool load = dialog == FileDialog::Open;
  if (outcome.ok) {
    modMain::AddStatusMessage((load ? kLoadComplete : kSaveComplete).arg(fileName));
    return;
  }
  // The log keeps the cause beside the failure; the message box says it at once.
  modMain::AddStatusMessage((load ? kLoadFailed : kSaveFailed) + u' ' +
                            QString(outcome.error).replace(u'\n', u' '));
  prompts_.Inform(outcome.error);
}

void ParentMDIForm::menuLoadAll_Click() {
  RunFileOperation(FileDialog::Open, program_files::kAllProgramsFilter,
                   QStringLiteral("Loading all Program configurations from file..."),
                   [this](const QString& fileName) {
                     return program_files::LoadAllProgramsFromFile(testOptions_->Model(), fileName);
                   });
}

void ParentMDIForm::menuLoadProgram_Click(int Index) {
  RunFileOperation(FileDialog::Open, program_files::kSingleProgramFilter,
                   QStringLiteral("Loading Program %1 configuration from file...").arg(Index + 1),
                   [this, Index](const QString& fileName) {
                     return program_files::LoadProgramFromFile(testOptions_->Model(), Index,
                                                               fileName, true);
                   });
}

void ParentMDIForm::WarnOfLimits(int Index, program_files::Outcome& outcome) const {
  const QString problem = testOptions_->Model().LimitsProblem(Index);
  if (outcome.ok && !problem.isEmpty())
    outcome.notes << QStringLiteral("Program %1: %2").arg(Index + 1).arg(problem);
}

void ParentMDIForm::menuSaveAll_Click() {
  RunFileOperation(FileDialog::SaveAs, program_files::kAllProgramsFilter,
                   QStringLiteral("Saving all Program configurations to file..."),
                   [this](const QString& fileName) {
                     program_files::Outcome outcome =
                         program_files::SaveAllProgramsToFile(testOptions_->Model(), fileName);
                     for (int i = 0; i < 3; ++i) WarnOfLimits(i, outcome);
                     return outcome;
                   });
}

void ParentMDIForm::menuSaveProgram_Click(int Index) {
  RunFileOperation(FileDialog::SaveAs, program_files::kSingleProgramFilter,
                   QStringLiteral("Saving Program %1 configuration to file...").arg(Index + 1),
                   [this, Index](const QString& fileName) {
                     program_files::Outcome outcome = program_files::SaveProgramToFile(
                         testOptions_->Model(), Index, fileName, true);
                     WarnOfLimits(Index, outcome);
                     return outcome;
                   });
}
