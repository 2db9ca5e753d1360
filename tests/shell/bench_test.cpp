// The production bench in the assembled window: who operates it, the unit under test scanned into
// its field, which of several testers Connect opens, and a tester overdue for calibration.
#include "shell/frmSettings.h"
#include "shell/record_chart.h"
#include "tests/records/sample_records.h"
#include "tests/shell/window_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/widget_places.h"
#include "ui_core/window_settings.h"

namespace {

class Bench : public WindowTest {
 protected:
  void SetUp() override {}
};

TEST_F(Bench, OperatorIsAskedOnceAndEnterInTheDutFieldRunsTheProgramInFront) {
  Reopen(1, {}, {QStringLiteral("  Anna K.  ")});
  EXPECT_EQ(prompts_.questions.size(), 1);
  EXPECT_EQ(window_->Operator(), "Anna K.");
  EXPECT_TRUE(Text("lblOperator").contains("Anna K."));
  EXPECT_EQ(prompts_.lists.size(), 0);  // a tester alone needs no choice

  auto* dut = Find<QLineEdit>("txtDut");
  dut->setText(QStringLiteral("  "));
  QTest::keyClick(dut, Qt::Key_Return);
  EXPECT_FALSE(window_->Tester().Running());
  EXPECT_EQ(LogLines().size(), 1);  // how to start a run instead

  Connect();
  tester_->Tester().speed = 100;
  window_->TestOptions().findChild<QTabWidget*>()->setCurrentIndex(1);
  dut->setText(QStringLiteral("E-0042"));
  QTest::keyClick(dut, Qt::Key_Return);
  EXPECT_TRUE(window_->Tester().Running());
  EXPECT_EQ(StatusCaption(), QStringLiteral("Running test 2…"));
  EXPECT_EQ(dut->selectedText(), "E-0042");  // the next scan replaces it
  ASSERT_TRUE(WaitUntil([this] { return !window_->Tester().Running(); }));

  // The run is on record, with who ran it where, on which unit and tester.
  const Fetched<RunRecord> runs = window_->Records()->Runs({});
  ASSERT_EQ(runs.items.size(), 1U) << runs.error;
  const RunRecord& run = runs.items[0];
  // Run at once after the download, before the tester's identity has arrived: the run's own
  // answer names the tester.
  EXPECT_EQ(QStringList({run.dut, run.operatorName, run.station, run.tester.usbSerial,
                         run.tester.testerSerial, QString::number(run.settings.number),
                         RunOutcomeName(run.outcome), QString::number(*run.impedanceOhms)}),
            QStringList({"E-0042", "Anna K.", window_settings::Station(), "SIM0001", "00001", "2",
                         RunOutcomeName(RunOutcome::Pass),
                         QString::number(tester_->Tester().impedanceOhms)}));
  EXPECT_LE(run.started, run.ended);
  EXPECT_EQ(Text("lblRecords"), "");
}

// The Results window over the records: the filters, the statistics line and the charts.
TEST_F(Bench, ResultsWindowFiltersTheRecords) {
  Reopen(1);
  const std::tuple<const char*, int, std::optional<double>, RunOutcome> runs[] = {
      {"A-1", 1, 100, RunOutcome::Pass},
      {"A-2", 1, 1200, RunOutcome::Fail},
      {"B-1", 2, 120, RunOutcome::Pass},
      {"A-3", 1, 90, RunOutcome::Pass},
      {"C-1", 3, {}, RunOutcome::NoReading}};
  for (int minute = 0; const auto& [dut, program, ohms, outcome] : runs) {
    const RunRecord run = SampleRun(dut, program, ohms, outcome, SampleTime(minute++));
    ASSERT_EQ(window_->Records()->AddRun(run).outcome, StoreOutcome::Stored);
  }
  window_->findChild<QAction*>("menuTestResults")->trigger();
  TestResultsForm& results = window_->Tester().Results();
  auto* table = Find<QTableWidget>("tblResults");
  const auto column = [table](int index) {
    QStringList cells;
    for (int row = 0; row < table->rowCount(); ++row) cells << table->item(row, index)->text();
    return cells;
  };
  ASSERT_TRUE(WaitUntil([&] { return table->rowCount() == 5; }));
  EXPECT_EQ(Text("lblPage"), "Runs 1–5 of 5");
  // A program without readings has no ohms to give.
  EXPECT_TRUE(Text("lblStatistics").endsWith("program 3: 1 runs, 0.0 % pass"))
      << Text("lblStatistics");
  // The two charts side by side.
  const QWidget* histogram = results.findChild<QWidget*>("chtHistogram");
  const QWidget* overTime = results.findChild<QWidget*>("chtOverTime");
  ASSERT_TRUE(histogram && overTime);
  EXPECT_TRUE(overTime->isVisible() && overTime->x() > histogram->geometry().right());
  // The histogram spans every reading, not only the limits.
  const RecordChart& chart = results.Histogram();
  EXPECT_TRUE(chart.HistogramX(100) > chart.HistogramX(90) &&
              chart.HistogramX(1200) > chart.HistogramX(1000));

  const std::tuple<const char*, const char*, QStringList> filters[] = {
      {"txtDutPrefix", "A-", {"A-3", "A-2", "A-1"}},
      {"txtSince", "2026-12-01T08:01:00Z", {"A-3", "A-2"}},
      {"txtUntil", "2026-12-01T08:02:00Z", {"A-2"}}};
  for (const auto& [name, text, duts] : filters) {
    auto* box = Find<QLineEdit>(name);
    EXPECT_TRUE(box->isClearButtonEnabled()) << name;
    box->setText(text);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_TRUE(WaitUntil([&] { return column(4) == duts; })) << name;
  }
  for (const auto& [name, text, duts] : filters) Find<QLineEdit>(name)->clear();
  auto* verdict = Find<QComboBox>("cmbVerdict");
  verdict->setCurrentIndex(verdict->findText(RunOutcomeName(RunOutcome::Pass)));
  EXPECT_TRUE(WaitUntil([&] { return column(4) == QStringList({"A-3", "B-1", "A-1"}); }));
  auto* program = Find<QComboBox>("cmbProgram");
  program->setCurrentIndex(program->findData(1));
  EXPECT_TRUE(WaitUntil([&] { return column(4) == QStringList({"A-3", "A-1"}); }));
  EXPECT_TRUE(Text("lblStatistics").startsWith("2 runs"));
  EXPECT_GT(chart.HistogramX(1000), chart.HistogramX(150));
}

TEST_F(Bench, RunsThatCannotBeRecordedAreSaidToBe) {
  WriteAll(RecordsFile(), "just text\n");  // not a database
  Reopen(1);
  EXPECT_EQ(window_->Records(), nullptr);
  EXPECT_FALSE(Text("lblRecords").isEmpty());
  EXPECT_EQ(startLines_.filter("Runs are not recorded: ").size(), 1);
  qputenv("VELD32_RECORDS", "postgresql://line-3/records");  // no user: no location
  Reopen(1);
  EXPECT_EQ(startLines_.filter("Runs are not recorded: ").size(), 1);
  qputenv("VELD32_RECORDS", RecordsFile().toLocal8Bit());
}

TEST_F(Bench, SeveralTestersAreOfferedTheChoiceKeptAndAnOverdueCalibrationWarned) {
  Reopen(3);
  EXPECT_EQ(window_->Operator(), "");
  prompts_.choices = {2};
  Connect();
  ASSERT_EQ(prompts_.lists.size(), 1);
  EXPECT_EQ(prompts_.lists[0], QStringList({"USB SIM0001", "USB SIM0002", "USB SIM0003"}));
  EXPECT_EQ(Link().ConnectedUsbSerialNumber(), "SIM0003");
  // The status bar names the tester after the download, and nothing once the window has closed.
  EXPECT_TRUE(WaitUntil([this] {
    return Text("lblTesterIdentity") ==
           "Tester 00003 \u00B7 USB SIM0003 \u00B7 firmware 01.02 \u00B7 calibrated 2024-01-15";
  })) << Text("lblTesterIdentity");
  // A tester calibrated longer ago than the interval set is overdue (by default none is).
  window_settings::SetRecordsLocation(RecordsFile());
  Action("menuSettings").trigger();
  const auto* settings = Find<QDialog>("frmSettings");
  ASSERT_TRUE(settings->isVisible());
  // Every control and caption of the dialog in a place of its own.
  QList<QWidget*> parts = settings->findChildren<QWidget*>();
  parts.removeIf([](const QWidget* part) { return part->inherits("QDialogButtonBox"); });
  EXPECT_EQ(Covering(*settings, parts), QStringList());
  EXPECT_EQ(Find<QLineEdit>("txtStation")->placeholderText(), QSysInfo::machineHostName());
  auto* interval = Find<QComboBox>("cmbCalibrationInterval");
  QStringList intervals;
  for (int i = 0; i < interval->count(); ++i) intervals << interval->itemText(i);
  EXPECT_EQ(intervals.removeDuplicates(), 0);
  interval->setCurrentIndex(interval->findData(12));
  Find<QLineEdit>("txtStation")->setText(QStringLiteral("Bench 7"));
  Find<QPushButton>("cmdOK")->click();
  EXPECT_TRUE(Text("lblTesterIdentity").endsWith("calibration overdue"));
  EXPECT_EQ(window_settings::Station(), "Bench 7");
  window_settings::SetStation(QStringLiteral(" "));  // emptied: the computer's name again
  EXPECT_EQ(window_settings::Station(), QSysInfo::machineHostName());
  EXPECT_EQ(window_settings::CalibrationIntervalMonths(), 12);
  window_settings::SetCalibrationIntervalMonths(0);  // Off stays off
  EXPECT_EQ(window_settings::CalibrationIntervalMonths(), 0);
  EXPECT_EQ(window_settings::RecordsLocation(), RecordsFile());  // kept as it was
  window_->close();
  EXPECT_FALSE(Link().Connected());
  EXPECT_EQ(LogLines().last(), "* VELD32 Disconnected");
  EXPECT_EQ(Text("lblTesterIdentity"), "");

  // The next session offers the last choice first, with the tester's serial it reported; a
  // cancelled choice leaves the link down.
  Reopen(3);
  prompts_.choices = {};
  ConnectButton().click();
  ASSERT_EQ(prompts_.lists.size(), 1);
  EXPECT_EQ(prompts_.lists[0][2], QStringLiteral("USB SIM0003 \u00B7 tester 00003"));
  EXPECT_EQ(window_settings::ChosenTester(), "SIM0003");
  EXPECT_FALSE(Link().Connected());
  EXPECT_FALSE(ConnectButton().isChecked());
}

TEST_F(Bench, DeviceAtStartPicksTheTesterWithoutAsking) {
  // --device's value, the tester opened; empty: none fixed, the operator is asked
  const std::pair<QString, QString> cases[] = {{"SIM0002", "SIM0002"}, {"1", "SIM0002"}, {"7", ""}};
  for (const auto& [device, usbSerial] : cases) {
    Reopen(2, device);
    prompts_.choices = {0};
    EXPECT_EQ(startLines_.filter("not chosen").size(), usbSerial.isEmpty() ? 1 : 0) << device;
    Connect();
    EXPECT_EQ(prompts_.lists.size(), usbSerial.isEmpty() ? 1 : 0) << device;
    EXPECT_EQ(Link().ConnectedUsbSerialNumber(), usbSerial.isEmpty() ? "SIM0001" : usbSerial);
  }
}

}  // namespace
