#pragma once

#include <QDialog>
#include <QList>

#include "tester/verdict.h"

class OperatorPrompts;
class QPushButton;
class QTableWidget;

// The window "Test Results": every test run from the window in this session, newest last, as
// a table of time, program, impedance and verdict, and "Save as CSV..." to keep them with the
// tester's serial number and the limits as well (the columns of veld32ctl's --csv). It keeps
// the runs until the utility closes; closing the window (or Escape) only hides it. A dialog
// owned by the main window, it opens over it.
class TestResultsForm : public QDialog {
  Q_OBJECT

 public:
  explicit TestResultsForm(OperatorPrompts& prompts, QWidget* parent = nullptr);

  void AddResult(const TestResult& result);
  const QList<TestResult>& Results() const { return results_; }

  // Asks for a file and writes every run to it; a failure is shown to the operator.
  void cmdSaveCsv_Click();

 private:
  OperatorPrompts& prompts_;
  QList<TestResult> results_;
  QTableWidget* tblResults;
  QPushButton* cmdSaveCsv;
};
