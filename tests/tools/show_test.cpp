#include "tests/tools/ctl_runner.h"

namespace {

// As an editor on Windows leaves it: CR LF, a comment, blank lines, names in any letter case,
// blanks around names and values, a value longer than the 49 characters the reader takes
// (200 behind 47 zeros reads as 20), halves, a word where a number belongs, refused values and
// missing keys.
const QByteArray kWindowsFile =
    "; bench 4 settings\r\n\r\n[program1]\r\nCURRENT = 50 \r\nfrequency=120\r\nPulseWidth=" +
    QByteArray(47, '0') +
    "200\r\nmode=1\r\nDuration = 7290.5\r\nPass=12.5\r\n  FAIL=13.5\r\n\r\n"
    "  [PROGRAM2]  \r\nCurrent=100\r\nFrequency=150\r\nPulseWidth=  300  \r\nMode=2\r\n"
    "Duration=45\r\nPass=abc\r\nFail=1000\r\n\r\n"
    "[Program3]\r\nCurrent=7\r\nFrequency=2\r\nMode=7\r\nPass=100\r\nFail=200\r\n";

TEST_F(CtlTest, ShowOfAHandWrittenWindowsFileGivesEveryValueAndWarning) {
  const QString file = Write("bench.vap", kWindowsFile);
  const CtlRun json = RunCtl({"--json", "show", file});
  ASSERT_EQ(json.status, 0) << json.err.toStdString();
  EXPECT_TRUE(json.err.isEmpty()) << json.err.toStdString();
  EXPECT_EQ(
      json.out,
      R"({"programs": [{"section": "Program1", "current_mA": 50, "frequency_Hz": 120, )"
      R"("pulse_width_us": 20, "mode": "duration", "duration_s": 7290, "pass_ohms": 12, )"
      R"("fail_ohms": 14, "pulse_charge_uC": 1.0, "average_current_mA": 0.12, "warnings": []}, )"
      R"({"section": "Program2", "current_mA": 100, "frequency_Hz": 150, )"
      R"("pulse_width_us": 300, "mode": "single", "duration_s": 45, "pass_ohms": 150, )"
      R"("fail_ohms": 1000, "pulse_charge_uC": 30.0, "average_current_mA": 4.5, )"
      R"j("warnings": ["Program 2: Pass=abc not applied (1 to 999 ohms)"]}, )j"
      R"({"section": "Program3", "current_mA": 5, "frequency_Hz": 2, )"
      R"("pulse_width_us": 200, "mode": "single", "duration_s": 30, "pass_ohms": 100, )"
      R"("fail_ohms": 200, "pulse_charge_uC": 1.0, "average_current_mA": 0.002, )"
      R"j("warnings": ["Program 3: Current=7 not applied (5, 10, 20, 50 or 100 mA)", )j"
      R"j("Program 3: PulseWidth missing, not applied (200 to 500 us at 5 mA)", )j"
      R"j("Program 3: Mode=7 not applied (1 Duration or 2 Single Measure)", )j"
      R"j("Program 3: Duration missing, not applied (30 to 359999 s)"]}]})j"
      "\n");

  // The table shows the window's display forms; the warnings go to standard error.
  const CtlRun table = RunCtl({"show", file});
  ASSERT_EQ(table.status, 0);
  const QStringList rows = table.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 4) << table.out.toStdString();
  EXPECT_EQ(rows[1].simplified(), "Program1 50 120 20 Duration 2:01:30 12 14 01.0 000.120");
  EXPECT_EQ(rows[2].simplified(),
            "Program2 100 150 300 Single Measure 0:00:45 150 1000 30.0 004.500");
  EXPECT_EQ(table.err.count("veld32ctl: warning: Program "), 5) << table.err.toStdString();
}

TEST_F(CtlTest, ShowOfASingleProgramFileGivesThatProgramAlone) {
  const CtlRun run = RunCtl(
      {"--json", "show", Write("one.vsp", "[Program]\nCurrent=10\nFrequency=5\nPulseWidth=150\n")});
  ASSERT_EQ(run.status, 0);
  const QJsonArray programs = Programs(run);
  ASSERT_EQ(programs.size(), 1);
  EXPECT_EQ(programs[0].toObject().value("section"), "Program");
  EXPECT_EQ(programs[0].toObject().value("pulse_width_us"), 150);
  EXPECT_EQ(programs[0].toObject().value("warnings").toArray().size(), 4);
}

}  // namespace
