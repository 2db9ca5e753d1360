// The Results window's CSV: every cell as stored, safe for a spreadsheet.
#include <gtest/gtest.h>

#include "records/records_csv.h"

namespace {

TEST(RecordsCsv, CellsAreKeptWholeAndSafe) {
  const QList<QByteArray> header = RunRecordsCsvHeader().trimmed().split(',');
  struct Case {
    QString dut;
    QByteArray cell;
  };
  const Case cases[] = {
      {QStringLiteral("E-1"), "E-1"},
      {QStringLiteral("a,b"), "\"a,b\""},
      {QStringLiteral("say \"hi\""), "\"say \"\"hi\"\"\""},
      {QStringLiteral("=1+2"), "'=1+2"},
      {QStringLiteral("two\nlines"), "\"two\nlines\""},
  };
  for (const Case& c : cases) {
    RunRecord run;
    run.dut = c.dut;
    run.outcome = RunOutcome::Error;
    run.errorText = QStringLiteral("no reply");
    const QByteArray line = RunRecordsCsvLine(run);
    EXPECT_TRUE(line.endsWith('\n'));
    // The DUT is the fourth column, after id, started and ended (none holds a comma).
    const qsizetype start = line.indexOf(',', line.indexOf(',', line.indexOf(',') + 1) + 1) + 1;
    EXPECT_EQ(line.mid(start, c.cell.size()), c.cell) << c.dut.toStdString();
    EXPECT_TRUE(line.contains(",error: no reply,")) << line.toStdString();
  }
  EXPECT_EQ(header.indexOf("dut"), 3);
  EXPECT_EQ(header.size(), 22);
}

}  // namespace
