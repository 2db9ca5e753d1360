// A record as CSV: every cell under its column, as stored, safe for a spreadsheet.
#include <gtest/gtest.h>

#include <functional>

#include "records/record_row.h"
#include "tests/records/sample_records.h"
#include "tests/support/csv_cells.h"

namespace {

struct Case {
  const char* what;
  std::function<void(RunRecord&, ProgramChange&)> set;
  bool change;  // the cell is the change's, else the run's
  QByteArray column, cell;
};

TEST(RecordRow, EveryCellUnderItsColumnAsStoredAndSafe) {
  ProgramSettings one = SampleRun({}, 1, {}, RunOutcome::Pass, SampleTime(0)).settings;
  ProgramSettings two = one;
  two.number = 2;
  two.mode = TestMode::SingleMeasure;
  const Case cases[] = {
      {"plain", [](RunRecord& r, ProgramChange&) { r.dut = "E-1"; }, false, "dut", "E-1"},
      {"comma", [](RunRecord& r, ProgramChange&) { r.dut = "a,b"; }, false, "dut", "a,b"},
      {"quotes", [](RunRecord& r, ProgramChange&) { r.dut = "say \"hi\""; }, false, "dut",
       "say \"hi\""},
      {"line break", [](RunRecord& r, ProgramChange&) { r.operatorName = "two\nlines"; }, false,
       "operator", "two\nlines"},
      {"formula", [](RunRecord& r, ProgramChange&) { r.station = "=1+2"; }, false, "station",
       "'=1+2"},
      {"no reading", [](RunRecord& r, ProgramChange&) { r.impedanceOhms.reset(); }, false,
       "impedance_ohms", ""},
      {"reading", [](RunRecord& r, ProgramChange&) { r.impedanceOhms = 62.5; }, false,
       "impedance_ohms", "62.5"},
      {"no error", [](RunRecord&, ProgramChange&) {}, false, "error", ""},
      {"error text",
       [](RunRecord& r, ProgramChange&) {
         r.outcome = RunOutcome::Error;
         r.errorText = "no reply, \"again\"";
       },
       false, "error", "no reply, \"again\""},
      {"verdict", [](RunRecord& r, ProgramChange&) { r.outcome = RunOutcome::Error; }, false,
       "verdict", "error"},
      {"settings", [](RunRecord&, ProgramChange&) {}, false, "duration_s", "30"},
      {"overdue", [](RunRecord& r, ProgramChange&) { r.tester.calibrationOverdue = true; }, false,
       "calibration_overdue", "true"},
      {"action", [](RunRecord&, ProgramChange& c) { c.action = "-service"; }, true, "action",
       "'-service"},
      {"programs",
       [=](RunRecord&, ProgramChange& c) {
         c.programsSent = {one, two};
       },
       true, "programs_sent",
       "[{\"program\":1,\"current_mA\":20,\"frequency_Hz\":50,\"pulse_width_us\":250,"
       "\"mode\":\"duration\",\"duration_s\":30,\"pass_ohms\":150,\"fail_ohms\":1000},"
       "{\"program\":2,\"current_mA\":20,\"frequency_Hz\":50,\"pulse_width_us\":250,"
       "\"mode\":\"single\",\"duration_s\":30,\"pass_ohms\":150,\"fail_ohms\":1000}]"},
      {"no programs", [](RunRecord&, ProgramChange&) {}, true, "programs_echoed", "[]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunRecord run = SampleRun("E-0", 1, 50, RunOutcome::Pass, SampleTime(0));
    ProgramChange change;
    c.set(run, change);
    const RecordRow row = c.change ? ChangeRow(change) : RunRow(run);
    const QByteArray line = CsvLine(row);
    ASSERT_TRUE(line.endsWith('\n'));
    const QList<QList<QByteArray>> read = CsvCells(CsvHeader(row) + line);
    ASSERT_EQ(read.size(), 2) << line.toStdString();
    const QList<QByteArray>& header = read[0];
    const QList<QByteArray>& cells = read[1];
    ASSERT_EQ(cells.size(), header.size()) << line.toStdString();
    ASSERT_TRUE(header.contains(c.column));
    EXPECT_EQ(cells[header.indexOf(c.column)], c.cell) << line.toStdString();
  }
}

}  // namespace
