#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <functional>

#include "records/production_record.h"
#include "records/record_store.h"

class OperatorPrompts;
class RecordStore;
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

// The main window's "Tester" menu: "Run Test Program 1/2/3", "Stop Test" and "Information...",
// while the link is connected. A run shows "Running test N…" in the link's strip, then the
// time since the test began and the program's duration, logs its result line (or why it did
// not finish) and adds the result to the "Test Results" window. A run reads its program from
// the tester into the editor's tab, so unsent edits there are replaced only when the operator
// says so, with the editor's own download question.
// Run and Information are disabled while the editor transfers programs or a test runs, and the
// editor's transfer buttons while a test runs. Stop ends the run in the window: the tester,
// which cannot be told to stop, finishes on its own, and no result is recorded.
class TesterMenu : public QObject {
  Q_OBJECT

 public:
  // Runs over `editor`'s link; the windows it opens belong to `window`.
  TesterMenu(QMenuBar& menuBar, frmTestOptions& editor, OperatorPrompts& prompts, QWidget& window);

  void menuRunTest_Click(int Index);
  void menuStopTest_Click();
  void menuTesterInformation_Click();

  TestResultsForm& Results() const { return *results_; }
  TesterInformationForm& Information() const { return *information_; }
  bool Running() const;
  // Whether the window may `action` ("close", "disconnect"), which would end a test in
  // progress: yes when none runs, else the operator decides, and a yes stops the test.
  bool MayEndRun(const QString& action);
  // Every run that ends (finished, stopped or failed) becomes one record in `store`: `context`
  // fills who ran it, where, on which unit and tester; the menu adds the program, times and
  // result. Without a store nothing is recorded.
  void SetRecording(RecordStore* store, std::function<RunRecord()> context);

 signals:
  void RunningChanged(bool running);
  // A run's record was kept (or not), as the store answered.
  void Recorded(const StoreResult& result);

 private:
  void UpdateEnabled();
  void Testing(qint64 expectedSeconds);
  void ShowElapsed();
  void Finished(const TestResult& result);
  void Failed(const QString& reason);
  // The run is over, however it ended.
  void Ended();
  void Record(RunOutcome outcome, const std::optional<double>& impedanceOhms,
              const QString& errorText);

  frmTestOptions& editor_;
  ctlVELD32UsbComm& link_;
  OperatorPrompts& prompts_;
  QMenu* menuTester;
  std::array<QAction*, 3> menuRunTest{};
  QAction* menuStopTest;
  QAction* menuTesterInformation;
  TestRun* run_;
  TestResultsForm* results_;
  TesterInformationForm* information_;
  int program_ = 0;  // of the run in progress or last run
  RecordStore* store_ = nullptr;
  std::function<RunRecord()> context_;
  RunRecord current_;  // the context of the run in progress
  QTimer clock_;       // repaints the elapsed time while a test runs
  QElapsedTimer testing_;
  qint64 expectedSeconds_ = 0;
};
