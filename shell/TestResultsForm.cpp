#include "shell/TestResultsForm.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

#include "shell/record_chart.h"
#include "shell/records_query.h"
#include "tester/verdict.h"
#include "ui_core/dialog_folder.h"
#include "ui_core/operator_prompts.h"

namespace {
const QString kCsvFilter = QStringLiteral("Comma-separated values (*.csv)");
const QString kAll = QStringLiteral("All");
constexpr RunOutcome kOutcomes[] = {RunOutcome::Pass,          RunOutcome::Fail,
                                    RunOutcome::BetweenLimits, RunOutcome::NoReading,
                                    RunOutcome::Stopped,       RunOutcome::Error};

// A day ("2026-12-07", the whole day when `end`) or a moment ("2026-12-07T14:30"), local time.
std::optional<QDateTime> ParseTime(const QString& text, bool end) {
  const QString trimmed = text.trimmed();
  // A date alone: the date parser would also take the date of a moment and drop its time.
  if (const QDate day = QDate::fromString(trimmed, Qt::ISODate);
      day.isValid() && !trimmed.contains(u'T')) {
    return end ? day.addDays(1).startOfDay().addMSecs(-1).toUTC() : day.startOfDay().toUTC();
  }
  const QDateTime moment = QDateTime::fromString(trimmed, Qt::ISODate);
  if (moment.isValid()) return moment.toUTC();
  return std::nullopt;
}

QString Ohms(double ohms) { return QString::number(ohms, 'f', ohms == std::floor(ohms) ? 0 : 1); }

QLineEdit* FilterBox(const QString& name, const QString& placeholder, const QString& tip,
                     QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setToolTip(tip + QStringLiteral("; Enter applies it"));
  box->setObjectName(name);
  box->setPlaceholderText(placeholder);
  box->setClearButtonEnabled(true);
  return box;
}
}  // namespace

TestResultsForm::TestResultsForm(OperatorPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      prompts_(prompts),
      txtSince(FilterBox(QStringLiteral("txtSince"), QStringLiteral("YYYY-MM-DD"),
                         QStringLiteral("Runs started on or after this day or time"), this)),
      txtUntil(FilterBox(QStringLiteral("txtUntil"), QStringLiteral("YYYY-MM-DD"),
                         QStringLiteral("Runs started on or before this day or time"), this)),
      txtDutPrefix(FilterBox(QStringLiteral("txtDutPrefix"), QStringLiteral("start of id"),
                             QStringLiteral("Units under test whose id starts so"), this)),
      txtFilterTester(FilterBox(QStringLiteral("txtFilterTester"), QStringLiteral("serial"),
                                QStringLiteral("The tester's serial number"), this)),
      txtFilterStation(FilterBox(QStringLiteral("txtFilterStation"), QString(),
                                 QStringLiteral("The bench's station name"), this)),
      cmbProgram(new QComboBox(this)),
      cmbVerdict(new QComboBox(this)),
      tblResults(new QTableWidget(0, 7, this)),
      cmdNewer(new QPushButton(QStringLiteral("< &Newer"), this)),
      cmdOlder(new QPushButton(QStringLiteral("&Older >"), this)),
      lblPage(new QLabel(this)),
      lblStatistics(new QLabel(this)),
      chtHistogram(new RecordChart(this)),
      chtOverTime(new RecordChart(this)),
      cmdSaveCsv(new QPushButton(QStringLiteral("Save as CSV…"), this)) {
  setObjectName(QStringLiteral("TestResultsForm"));
  setWindowTitle(QStringLiteral("Test Results"));
  cmbProgram->setObjectName(QStringLiteral("cmbProgram"));
  cmbProgram->addItem(kAll);
  for (int program = 1; program <= 3; ++program)
    cmbProgram->addItem(QString::number(program), program);
  cmbVerdict->setObjectName(QStringLiteral("cmbVerdict"));
  cmbVerdict->addItem(kAll);
  for (const RunOutcome outcome : kOutcomes)
    cmbVerdict->addItem(RunOutcomeName(outcome), static_cast<int>(outcome));
  cmbProgram->setToolTip(QStringLiteral("Runs of one program, or all"));
  cmbVerdict->setToolTip(QStringLiteral("Runs with one verdict, or all"));
  cmdNewer->setToolTip(QStringLiteral("The page of newer runs"));
  cmdOlder->setToolTip(QStringLiteral("The page of older runs"));
  tblResults->setObjectName(QStringLiteral("tblResults"));
  cmdNewer->setObjectName(QStringLiteral("cmdNewer"));
  cmdOlder->setObjectName(QStringLiteral("cmdOlder"));
  lblPage->setObjectName(QStringLiteral("lblPage"));
  lblStatistics->setObjectName(QStringLiteral("lblStatistics"));
  lblStatistics->setWordWrap(true);
  chtHistogram->setObjectName(QStringLiteral("chtHistogram"));
  chtOverTime->setObjectName(QStringLiteral("chtOverTime"));
  cmdSaveCsv->setObjectName(QStringLiteral("cmdSaveCsv"));
  cmdSaveCsv->setToolTip(QStringLiteral("Save every run the filters take as a CSV file"));
  tblResults->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Program"),
                                         QStringLiteral("Impedance (ohms)"),
                                         QStringLiteral("Verdict"), QStringLiteral("DUT"),
                                         QStringLiteral("Operator"), QStringLiteral("Tester")});
  tblResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblResults->verticalHeader()->hide();
  // Every header and cell whole, on one line: the columns take their contents' width.
  tblResults->setWordWrap(false);
  tblResults->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tblResults->horizontalHeader()->setStretchLastSection(true);

  for (QLineEdit* box : {txtSince, txtUntil, txtDutPrefix, txtFilterTester, txtFilterStation})
    connect(box, &QLineEdit::returnPressed, this, &TestResultsForm::Refresh);
  for (QComboBox* list : {cmbProgram, cmbVerdict})
    connect(list, &QComboBox::currentIndexChanged, this, &TestResultsForm::Refresh);
  connect(cmdNewer, &QPushButton::clicked, this, &TestResultsForm::cmdNewer_Click);
  connect(cmdOlder, &QPushButton::clicked, this, &TestResultsForm::cmdOlder_Click);
  connect(cmdSaveCsv, &QPushButton::clicked, this, &TestResultsForm::cmdSaveCsv_Click);

  auto* filters = new QGridLayout;
  const std::pair<QString, QWidget*> fields[] = {{QStringLiteral("&Since:"), txtSince},
                                                 {QStringLiteral("&Until:"), txtUntil},
                                                 {QStringLiteral("&DUT:"), txtDutPrefix},
                                                 {QStringLiteral("&Tester:"), txtFilterTester},
                                                 {QStringLiteral("St&ation:"), txtFilterStation},
                                                 {QStringLiteral("&Program:"), cmbProgram},
                                                 {QStringLiteral("&Verdict:"), cmbVerdict}};
  int cell = 0;
  for (const auto& [caption, field] : fields) {
    auto* label = new QLabel(caption, this);
    label->setBuddy(field);
    // Each caption over its field: beside it, the captions' widths would add up to more than
    // the main window's client area holds under some desktop fonts.
    filters->addWidget(label, (cell / 4) * 2, cell % 4);
    filters->addWidget(field, (cell / 4) * 2 + 1, cell % 4);
    ++cell;
  }
  auto* paging = new QHBoxLayout;
  paging->addWidget(cmdNewer);
  paging->addWidget(lblPage, 1, Qt::AlignCenter);
  paging->addWidget(cmdOlder);
  auto* charts = new QHBoxLayout;
  charts->addWidget(chtHistogram);
  charts->addWidget(chtOverTime);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(tblResults, 1);
  layout->addLayout(paging);
  layout->addWidget(lblStatistics);
  layout->addLayout(charts);
  layout->addWidget(cmdSaveCsv, 0, Qt::AlignRight);
  resize(720, 540);
  SetLocation(std::nullopt, {});
}

TestResultsForm::~TestResultsForm() = default;

void TestResultsForm::SetLocation(const std::optional<RecordLocation>& location,
                                  const QString& why) {
  query_.reset();
  notKept_.clear();
  if (location) {
    query_ = std::make_unique<RecordsQuery>(*location);
  } else {
    notKept_ = why.isEmpty() ? QStringLiteral("Runs are not recorded.")
                             : QStringLiteral("Runs are not recorded: %1").arg(why);
  }
  if (isVisible()) Refresh();
}

std::optional<RecordFilter> TestResultsForm::Filter(QString* error) const {
  RecordFilter filter;
  const std::pair<QLineEdit*, std::optional<QDateTime>*> times[] = {{txtSince, &filter.since},
                                                                    {txtUntil, &filter.until}};
  for (const auto& [box, time] : times) {
    if (box->text().trimmed().isEmpty()) continue;
    *time = ParseTime(box->text(), box == txtUntil);
    if (!*time) {
      if (error != nullptr) {
        *error = QStringLiteral("'%1' is no date (YYYY-MM-DD) or time (YYYY-MM-DDTHH:MM)")
                     .arg(box->text().trimmed());
      }
      return std::nullopt;
    }
  }
  filter.dutPrefix = txtDutPrefix->text().trimmed();
  filter.tester = txtFilterTester->text().trimmed();
  filter.station = txtFilterStation->text().trimmed();
  if (cmbProgram->currentIndex() > 0) filter.program = cmbProgram->currentData().toInt();
  if (cmbVerdict->currentIndex() > 0)
    filter.outcome = static_cast<RunOutcome>(cmbVerdict->currentData().toInt());
  return filter;
}

void TestResultsForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The table and its charts want room, but the window stays over the main window's client
  // area, whose size depends on the desktop's style and fonts.
  if (const auto* main = qobject_cast<QMainWindow*>(parentWidget());
      main && main->centralWidget()) {
    const QWidget* client = main->centralWidget();
    const QRect area(client->mapToGlobal(QPoint(0, 0)), client->size());
    QRect frame = geometry();
    frame.setSize(frame.size().boundedTo(area.size()));
    frame.moveCenter(area.center());
    setGeometry(frame);
  }
  Refresh();
}

void TestResultsForm::Refresh() {
  offset_ = 0;
  Fetch();
}

void TestResultsForm::cmdNewer_Click() {
  offset_ = std::max(0, offset_ - kPageSize);
  Fetch();
}

void TestResultsForm::cmdOlder_Click() {
  if (offset_ + kPageSize >= total_) return;
  offset_ += kPageSize;
  Fetch();
}

void TestResultsForm::Fetch() {
  QString error;
  const std::optional<RecordFilter> filter = Filter(&error);
  if (!query_ || !filter) {
    ResultsView view;
    view.error = query_ ? error : notKept_;
    Show(view);
    return;
  }
  lblPage->setText(QStringLiteral("Reading the records…"));
  query_->Fetch(*filter, offset_, kPageSize, [this](const ResultsView& view) { Show(view); });
}

void TestResultsForm::Show(const ResultsView& view) {
  tblResults->setRowCount(0);
  total_ = view.total;
  cmdNewer->setEnabled(view.error.isEmpty() && offset_ > 0);
  cmdOlder->setEnabled(view.error.isEmpty() && offset_ + kPageSize < total_);
  if (!view.error.isEmpty()) {
    lblPage->clear();
    lblStatistics->setText(view.error);
    chtHistogram->ShowHistogram({});
    chtOverTime->ShowSeries({});
    emit Refreshed();
    return;
  }
  tblResults->setRowCount(static_cast<int>(view.page.size()));
  int row = 0;
  for (const RunRecord& run : view.page) {
    const QStringList cells{
        run.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        QString::number(run.settings.number),
        run.impedanceOhms ? Ohms(*run.impedanceOhms) : QStringLiteral("–"),
        RunOutcomeName(run.outcome),
        run.dut,
        run.operatorName,
        run.tester.testerSerial};
    for (int column = 0; column < cells.size(); ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column == 3 && !run.errorText.isEmpty()) item->setToolTip(run.errorText);
      tblResults->setItem(row, column, item);
    }
    ++row;
  }
  lblPage->setText(total_ == 0 ? QStringLiteral("No runs")
                               : QStringLiteral("Runs %1–%2 of %3")
                                     .arg(offset_ + 1)
                                     .arg(offset_ + static_cast<qint64>(view.page.size()))
                                     .arg(total_));
  QStringList figures{QStringLiteral("%1 runs").arg(total_)};
  for (const ProgramStats& program : view.stats) {
    QString text = QStringLiteral("program %1: %2 runs, %3 % pass")
                       .arg(program.program)
                       .arg(program.count)
                       .arg(program.passRate * 100, 0, 'f', 1);
    if (program.minOhms && program.medianOhms && program.maxOhms) {
      text += QStringLiteral(", %1 / %2 / %3 ohms (min / median / max)")
                  .arg(Ohms(*program.minOhms), Ohms(*program.medianOhms), Ohms(*program.maxOhms));
    }
    figures << text;
  }
  lblStatistics->setText(figures.join(QStringLiteral(" · ")));
  chtHistogram->ShowHistogram(view.histogram);
  chtOverTime->ShowSeries(view.series);
  emit Refreshed();
}

void TestResultsForm::cmdSaveCsv_Click() {
  QString error;
  const std::optional<RecordFilter> filter = Filter(&error);
  if (!query_ || !filter) {
    prompts_.Inform(query_ ? error : notKept_);
    emit Saved();
    return;
  }
  const QString fileName = prompts_.SaveFileName(kCsvFilter, DialogStartFolder());
  if (fileName.isEmpty()) return;
  RememberDialogFolder(fileName);
  cmdSaveCsv->setEnabled(false);
  query_->Export(*filter, fileName, [this, fileName](qint64, const QString& failure) {
    cmdSaveCsv->setEnabled(true);
    if (!failure.isEmpty()) {
      prompts_.Inform(
          QStringLiteral("The records could not be saved to %1: %2").arg(fileName, failure));
    }
    emit Saved();
  });
}
