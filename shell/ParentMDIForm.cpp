#include "ParentMDIForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QVBoxLayout>

#include "BackgroundForm.h"
#include "StatusWindowForm.h"
#include "frmTestOptions.h"
#include "modMain.h"
#include "operator_prompts.h"
#include "program_files.h"
#include "version.h"

namespace {
constexpr int kTwipsPerPixel = 15;
constexpr int Px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

constexpr int kMainWidthTwips = 11000;
constexpr int kMainHeightTwips = 10000;
constexpr int kStatusBarHeightTwips = 375;

const QString kLoadComplete = QStringLiteral("Load from file complete.");
const QString kLoadFailed = QStringLiteral("Load from file failed.");
const QString kSaveComplete = QStringLiteral("Save to file complete.");
const QString kSaveFailed = QStringLiteral("Save to file failed.");
}  // namespace

ParentMDIForm::ParentMDIForm(std::shared_ptr<D2xx> driver, OperatorPrompts& prompts,
                             QWidget* parent)
    : QMainWindow(parent),
      prompts_(prompts),
      mdiArea_(new QMdiArea),
      StatusBarPictureBox(new QWidget),
      VELD32VersionLabel(new QLabel(StatusBarPictureBox)),
      lblTesterIdentity(new QLabel(StatusBarPictureBox)),
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
  lblTesterIdentity->setGeometry(Px(60 + 1275 + 120), Px(60),
                                 Px(kMainWidthTwips - 60 - 1275 - 120 - 60), Px(255));
  lblTesterIdentity->setFont(VELD32VersionLabel->font());
  connect(testOptions_, &frmTestOptions::TesterIdentityChanged, lblTesterIdentity,
          &QLabel::setText);

  auto* client = new QWidget;
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(mdiArea_, 1);
  layout->addWidget(StatusBarPictureBox);
  setCentralWidget(client);

  CreateMenus();
  MDIForm_Load();
}

ParentMDIForm::~ParentMDIForm() = default;

void ParentMDIForm::CreateMenus() {
  QMenu* menuLoad = menuBar()->addMenu(QStringLiteral("Load"));
  menuLoad->setObjectName(QStringLiteral("menuLoad"));
  menuLoadAll = menuLoad->addAction(QStringLiteral("Load All Programs..."), this,
                                    &ParentMDIForm::menuLoadAll_Click);
  menuLoadAll->setObjectName(QStringLiteral("menuLoadAll"));
  for (int index = 0; index < 3; ++index) {
    menuLoadProgram[index] =
        menuLoad->addAction(QStringLiteral("Load Program %1...").arg(index + 1), this,
                            [this, index] { menuLoadProgram_Click(index); });
    menuLoadProgram[index]->setObjectName(QStringLiteral("menuLoadProgram%1").arg(index));
  }

  QMenu* menuSave = menuBar()->addMenu(QStringLiteral("Save"));
  menuSave->setObjectName(QStringLiteral("menuSave"));
  menuSaveAll = menuSave->addAction(QStringLiteral("Save All Programs..."), this,
                                    &ParentMDIForm::menuSaveAll_Click);
  menuSaveAll->setObjectName(QStringLiteral("menuSaveAll"));
  for (int index = 0; index < 3; ++index) {
    menuSaveProgram[index] =
        menuSave->addAction(QStringLiteral("Save Program %1...").arg(index + 1), this,
                            [this, index] { menuSaveProgram_Click(index); });
    menuSaveProgram[index]->setObjectName(QStringLiteral("menuSaveProgram%1").arg(index));
  }
}

QMdiSubWindow* ParentMDIForm::AddChild(QWidget* form, Qt::WindowFlags flags) {
  QMdiSubWindow* child = mdiArea_->addSubWindow(form, Qt::SubWindow | flags);
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

  statusWindow_ = new StatusWindowForm;
  QMdiSubWindow* logChild = AddChild(statusWindow_, fixedChild);
  logChild->move(editorChild->width(), 0);

  setFixedSize(size());
  testOptions_->setFocus();
  FormLoading = false;
}

void ParentMDIForm::closeEvent(QCloseEvent* event) {
  testOptions_->Form_QueryUnload();
  event->accept();
}

void ParentMDIForm::RunFileOperation(FileDialog dialog, const QString& filter,
                                     const QString& before, const FileOperation& operation) {
  const QString startFolder = modMain::GetDesktopFolder();
  const QString fileName = dialog == FileDialog::Open ? prompts_.OpenFileName(filter, startFolder)
                                                      : prompts_.SaveFileName(filter, startFolder);
  if (fileName.isEmpty()) return;
  modMain::AddStatusMessage(before);
  const program_files::Outcome outcome = operation(fileName);
  const bool load = dialog == FileDialog::Open;
  if (outcome.ok) {
    modMain::AddStatusMessage(load ? kLoadComplete : kSaveComplete);
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

void ParentMDIForm::menuSaveAll_Click() {
  RunFileOperation(FileDialog::SaveAs, program_files::kAllProgramsFilter,
                   QStringLiteral("Saving all Program configurations to file..."),
                   [this](const QString& fileName) {
                     return program_files::SaveAllProgramsToFile(testOptions_->Model(), fileName);
                   });
}

void ParentMDIForm::menuSaveProgram_Click(int Index) {
  RunFileOperation(FileDialog::SaveAs, program_files::kSingleProgramFilter,
                   QStringLiteral("Saving Program %1 configuration to file...").arg(Index + 1),
                   [this, Index](const QString& fileName) {
                     return program_files::SaveProgramToFile(testOptions_->Model(), Index, fileName,
                                                             true);
                   });
}
