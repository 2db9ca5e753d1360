#pragma once

#include <QMainWindow>

#include "config_files/program_files.h"
#include "records/record_location.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class BackgroundForm;
class D2xx;
class OperatorPrompts;
class RecordStore;
class QAction;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QScrollArea;
class StatusWindowForm;
class TesterMenu;
class frmSettings;
class frmTestOptions;

// The main window "VELD32 Configurator": a fixed-size frame around the background picture, the
// test program editor and the communication log, with the Load and Save menus that move
// programs between the editor and configuration files. Closing it closes the link, after asking
// whether to stop a test in progress.
class ParentMDIForm : public QMainWindow {
  Q_OBJECT

 public:
  ParentMDIForm(std::shared_ptr<D2xx> driver, OperatorPrompts& prompts, QWidget* parent = nullptr);
  ~ParentMDIForm() override;

  frmTestOptions& TestOptions() const { return *testOptions_; }
  StatusWindowForm& StatusWindow() const { return *statusWindow_; }
  BackgroundForm& Background() const { return *background_; }
  TesterMenu& Tester() const { return *testerMenu_; }
  // The MDI child window that frames `form`.
  QMdiSubWindow* ChildWindow(const QWidget& form) const;

  // The driver backend in use, for the About box.
  void SetBackendDescription(const QString& backend) { backendDescription_ = backend; }
  // Makes the frame no larger than `available` (a screen's free area): a frame that does not
  // fit keeps its specified size inside a scrollable area; one that fits stays as specified.
  void FitInto(const QRect& available);
  // Puts the three child windows back where they start.
  void menuArrangeWindows_Click();
  // Shows "About VELD32 Configurator" without waiting for it to close.
  void menuAbout_Click();
  QString AboutText() const;

  // The operator of this session, shown in the status bar and carried by every record.
  void SetOperator(const QString& name);
  const QString& Operator() const { return operator_; }
  // The unit under test as scanned or typed.
  QString UnitUnderTest() const;
  // Enter in the DUT field: runs the program in front, as the Tester menu does.
  void txtDut_Return();
  // "Settings…": the station and the calibration interval.
  void menuSettings_Click();
  frmSettings& Settings() const { return *settings_; }
  // Where each run is recorded; none (with `why`) records nothing and says so.
  // The Results window reads the records at `location` with a store of its own.
  void SetRecordStore(std::unique_ptr<RecordStore> store, const QString& why,
                      const std::optional<RecordLocation>& location);
  RecordStore* Records() const { return records_.get(); }

  void menuLoadAll_Click();
  void menuLoadProgram_Click(int Index);
  void menuSaveAll_Click();
  void menuSaveProgram_Click(int Index);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Keeps the child windows inside the frame.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class FileDialog { Open, SaveAs };
  using FileOperation = std::function<program_files::Outcome(const QString& fileName)>;

  void MDIForm_Load();
  // A file menu's whole course: the dialog, then (unless cancelled) the log line before, the
  // operation, and the log line after; a failure is also shown to the operator.
  void RunFileOperation(FileDialog dialog, const QString& filter, const QString& before,
                        const FileOperation& operation);
  // A saved program the tester would refuse gets a warning line.
  void WarnOfLimits(int Index, program_files::Outcome& outcome) const;
  void CreateMenus();
  void CreateHelpMenus();
  // The Load menus wait while a transfer or a test is in progress.
  void UpdateLoadMenus();
  // Adds one log line with what to check whenever the link newly reports no tester.
  void WatchForMissingTester();
  QMdiSubWindow* AddChild(QWidget* form, Qt::WindowFlags flags);

  OperatorPrompts& prompts_;
  QMdiArea* mdiArea_;
  QScrollArea* scrollArea_;
  QWidget* client_;
  QString backendDescription_;
  std::vector<std::pair<QMdiSubWindow*, QPoint>> startPositions_;
  bool noTesterReported_ = false;
  QWidget* StatusBarPictureBox;
  QLabel* VELD32VersionLabel;
  QLabel* lblTesterIdentity;
  // The status bar's tester line, with a warning when its calibration is overdue.
  void ShowTester();
  void CreateUnitField();

  QLabel* lblOperator;
  QLabel* lblRecords = nullptr;
  QLabel* lblDut = nullptr;
  QLineEdit* txtDut = nullptr;
  frmSettings* settings_ = nullptr;
  QString operator_;
  std::unique_ptr<RecordStore> records_;
  QAction* menuLoadAll = nullptr;
  std::array<QAction*, 3> menuLoadProgram{};
  QAction* menuSaveAll = nullptr;
  std::array<QAction*, 3> menuSaveProgram{};
  BackgroundForm* background_;
  frmTestOptions* testOptions_;
  StatusWindowForm* statusWindow_ = nullptr;
  TesterMenu* testerMenu_ = nullptr;
  bool FormLoading = false;
};
