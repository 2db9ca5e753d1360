#pragma once

#include <QObject>

#include <array>

class OperatorPrompts;
class QAction;
class QMenu;
class QMenuBar;
class QWidget;
class TestResultsForm;
class TestRun;
class TesterInformationForm;
class ctlVELD32UsbComm;
class frmTestOptions;
struct TestResult;

// The main window's "Tester" menu: "Run Test Program 1/2/3" and "Information...", enabled
// while the link is connected. A run shows "Running test N…" in the link's strip, logs its
// result line (or why it did not finish) and adds the result to the "Test Results" window. A
// run is refused, with a message, while a program transfer or another run is in progress. A run
// reads its program from the tester into the editor's tab, so unsent edits there are replaced
// only when the operator says so, with the editor's own download question.
class TesterMenu : public QObject {
  Q_OBJECT

 public:
  // Runs over `editor`'s link; the windows it opens belong to `window`.
  TesterMenu(QMenuBar& menuBar, frmTestOptions& editor, OperatorPrompts& prompts, QWidget& window);

  void menuRunTest_Click(int Index);
  void menuTesterInformation_Click();

  TestResultsForm& Results() const { return *results_; }
  TesterInformationForm& Information() const { return *information_; }
  bool Running() const;

 private:
  void UpdateEnabled();
  void Finished(const TestResult& result);
  void Failed(const QString& reason);

  frmTestOptions& editor_;
  ctlVELD32UsbComm& link_;
  OperatorPrompts& prompts_;
  QMenu* menuTester;
  std::array<QAction*, 3> menuRunTest{};
  QAction* menuTesterInformation;
  TestRun* run_;
  TestResultsForm* results_;
  TesterInformationForm* information_;
  int program_ = 0;  // of the run in progress or last run
};
