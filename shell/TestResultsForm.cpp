#include "shell/TestResultsForm.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "tester/run_record.h"
#include "ui_core/dialog_folder.h"
#include "ui_core/operator_prompts.h"

namespace {
const QString kCsvFilter = QStringLiteral("Comma-separated values (*.csv)");
}  // namespace

TestResultsForm::TestResultsForm(OperatorPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      prompts_(prompts),
      tblResults(new QTableWidget(0, 4, this)),
      cmdSaveCsv(new QPushButton(QStringLiteral("Save as CSV…"), this)) {
  setObjectName(QStringLiteral("TestResultsForm"));
  setWindowTitle(QStringLiteral("Test Results"));
  tblResults->setObjectName(QStringLiteral("tblResults"));
  cmdSaveCsv->setObjectName(QStringLiteral("cmdSaveCsv"));
  cmdSaveCsv->setToolTip(QStringLiteral(
      "Save every run of this session as a CSV file, in the columns of veld32ctl run --csv"));
  tblResults->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Program"),
                                         QStringLiteral("Impedance (ohms)"),
                                         QStringLiteral("Verdict")});
  tblResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblResults->verticalHeader()->hide();
  // Every header and cell whole, on one line: the columns take their contents' width.
  tblResults->setWordWrap(false);
  tblResults->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tblResults->horizontalHeader()->setStretchLastSection(true);
  connect(cmdSaveCsv, &QPushButton::clicked, this, &TestResultsForm::cmdSaveCsv_Click);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tblResults);
  layout->addWidget(cmdSaveCsv, 0, Qt::AlignRight);
  resize(460, 260);
}

void TestResultsForm::AddResult(const TestResult& result) {
  results_ << result;
  const int row = tblResults->rowCount();
  tblResults->insertRow(row);
  const QString impedance =
      result.verdict == Verdict::NoReading ? QStringLiteral("–") : OhmsText(result.impedanceOhms);
  const QStringList cells{result.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                          QString::number(result.program), impedance, VerdictName(result.verdict)};
  for (int column = 0; column < cells.size(); ++column) {
    tblResults->setItem(row, column, new QTableWidgetItem(cells[column]));
  }
  tblResults->scrollToBottom();
}

void TestResultsForm::cmdSaveCsv_Click() {
  const QString fileName = prompts_.SaveFileName(kCsvFilter, DialogStartFolder());
  if (fileName.isEmpty()) return;
  RememberDialogFolder(fileName);
  const QString failure = SaveRunRecords(fileName, results_);
  if (!failure.isEmpty()) prompts_.Inform(failure);
}
