#pragma once

#include <QDialog>

#include <optional>

#include "records/production_record.h"
#include "records/record_location.h"

class OperatorPrompts;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class RecordChart;
class RecordsQuery;
struct ResultsView;

// The window "Test Results": the production records of every run, kept between sessions, newest
// first, a page at a time (time, program, impedance, verdict, DUT, operator, tester), filtered by
// time (since/until, inclusive), DUT (prefix), tester serial, station, program and verdict; a
// statistics line per program; a histogram of impedance with the pass and fail limits across it and
// impedance over time coloured by verdict; and "Save as CSV..." for the whole filtered set. The
// queries run off the window's thread (its own connection to the database), so that a large
// database keeps the window responsive. Closing the window (or Escape) only hides it. A dialog
// owned by the main window.
class TestResultsForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kPageSize = 100;

  explicit TestResultsForm(OperatorPrompts& prompts, QWidget* parent = nullptr);
  ~TestResultsForm() override;

  // Where the records are; none: `why` they are not kept, shown in the window.
  void SetLocation(const std::optional<RecordLocation>& location, const QString& why);
  // The records again, from the first page, as the filters say; Refreshed follows.
  void Refresh();
  // The filters as entered; none when a time is not one (`error` says which).
  std::optional<RecordFilter> Filter(QString* error = nullptr) const;

  void cmdSaveCsv_Click();
  void cmdNewer_Click();
  void cmdOlder_Click();

  RecordChart& Histogram() const { return *chtHistogram; }
  RecordChart& OverTime() const { return *chtOverTime; }

 signals:
  // The window shows the answer to the last query (or why there is none).
  void Refreshed();
  // "Save as CSV..." has written its file or said why not.
  void Saved();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Fetch();
  void Show(const ResultsView& view);

  OperatorPrompts& prompts_;
  std::unique_ptr<RecordsQuery> query_;
  QString notKept_;
  int offset_ = 0;
  qint64 total_ = 0;
  QLineEdit* txtSince;
  QLineEdit* txtUntil;
  QLineEdit* txtDutPrefix;
  QLineEdit* txtFilterTester;
  QLineEdit* txtFilterStation;
  QComboBox* cmbProgram;
  QComboBox* cmbVerdict;
  QTableWidget* tblResults;
  QPushButton* cmdNewer;
  QPushButton* cmdOlder;
  QLabel* lblPage;
  QLabel* lblStatistics;
  RecordChart* chtHistogram;
  RecordChart* chtOverTime;
  QPushButton* cmdSaveCsv;
};
