#include "ctl_runner.h"
#include "qt_printers.h"

namespace {

// As an editor on Windows leaves it: CR LF, a comment, blank lines, names in any letter case,
// blanks around names and values, a value longer than the 49 characters the reader takes
// (200 behind 47 zeros reads as 20), halves, a word where a number belongs, refused values and
// a missing key.
const QByteArray kWindowsFile =
    "; bench 4 settings\r\n"
    "\r\n"
    "[program1]\r\n"
    "CURRENT = 50 \r\n"
    "frequency=120\r\n"
    "PulseWidth=" +
    QByteArray(47, '0') +
    "200\r\n"
    "mode=1\r\n"
    "Duration = 7290.5\r\n"
    "Pass=12.5\r\n"
    "  FAIL=13.5\r\n"
    "\r\n"
    "  [PROGRAM2]  \r\n"
    "Current=100\r\n"
    "Frequency=150\r\n"
    "PulseWidth=  300  \r\n"
    "Mode=2\r\n"
    "Duration=45\r\n"
    "Pass=abc\r\n"
    "Fail=1000\r\n"
    "\r\n"
    "[Program3]\r\n"
    "Current=7\r\n"
    "Frequency=2\r\n"
    "Mode=7\r\n"
    "Pass=100\r\n"
    "Fail=200\r\n";

QJsonObject Program(const char* section, int current, int frequency, int pulseWidth,
                    const char* mode, int duration, int pass, int fail, double charge,
                    double average, const QStringList& warnings) {
  return {{"section", section},
          {"current_mA", current},
          {"frequency_Hz", frequency},
          {"pulse_width_us", pulseWidth},
          {"mode", mode},
          {"duration_s", duration},
          {"pass_ohms", pass},
          {"fail_ohms", fail},
          {"pulse_charge_uC", charge},
          {"average_current_mA", average},
          {"warnings", QJsonArray::fromStringList(warnings)}};
}

QByteArray Compact(const QJsonValue& program) {
  return QJsonDocument(program.toObject()).toJson(QJsonDocument::Compact);
}

TEST_F(CtlTest, ShowOfAHandWrittenWindowsFileGivesEveryValueAndWarning) {
  const CtlRun run = RunCtl({"--json", "show", Write("bench.vap", kWindowsFile)});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
  const QJsonArray expected = {
      Program("Program1", 50, 120, 20, "duration", 7290, 12, 14, 1.0, 0.12, {}),
      Program("Program2", 100, 150, 300, "single", 45, 150, 1000, 30.0, 4.5,
              {"Program2: Pass \"abc\" is not a number"}),
      Program("Program3", 5, 2, 200, "single", 30, 100, 200, 1.0, 0.002,
              {"Program3: Current 7 refused", "Program3: PulseWidth missing",
               "Program3: Mode 7 refused", "Program3: Duration missing"}),
  };
  const QJsonArray programs = Programs(run);
  ASSERT_EQ(programs.size(), expected.size()) << run.out.toStdString();
  for (qsizetype i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Compact(programs[i]), Compact(expected[i]));
  }
}

TEST_F(CtlTest, ShowPrintsTheWindowsDisplayFormsAndWarnsOnStandardError) {
  const CtlRun run = RunCtl({"show", Write("bench.vap", kWindowsFile)});
  ASSERT_EQ(run.status, 0);
  const QStringList rows = run.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 4) << run.out.toStdString();
  EXPECT_EQ(rows[1].simplified(), "Program1 50 120 20 Duration 2:01:30 12 14 01.0 000.120");
  EXPECT_EQ(rows[2].simplified(),
            "Program2 100 150 300 Single Measure 0:00:45 150 1000 30.0 004.500");
  EXPECT_EQ(run.err.count("veld32ctl: warning: "), 5) << run.err.toStdString();
}

TEST_F(CtlTest, JsonShapeKeepsTheDocumentedOrderAndDecimals) {
  const CtlRun run = RunCtl({"--json", "show", Write("three.vap", kThreePrograms)});
  ASSERT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.startsWith(
      "{\"programs\": [{\"section\": \"Program1\", \"current_mA\": 20, \"frequency_Hz\": 150, "
      "\"pulse_width_us\": 200, \"mode\": \"duration\", \"duration_s\": 3725, \"pass_ohms\": 12, "
      "\"fail_ohms\": 14, \"pulse_charge_uC\": 4.0, \"average_current_mA\": 0.6, \"warnings\": "
      "[]}, "))
      << run.out.toStdString();
}

TEST_F(CtlTest, ShowOfASingleProgramFileGivesThatProgramAlone) {
  const CtlRun run = RunCtl(
      {"--json", "show", Write("one.vsp", "[Program]\nCurrent=10\nFrequency=5\nPulseWidth=150\n")});
  ASSERT_EQ(run.status, 0);
  const QJsonArray programs = Programs(run);
  ASSERT_EQ(programs.size(), 1);
  EXPECT_EQ(programs[0].toObject()["section"], "Program");
  EXPECT_EQ(programs[0].toObject()["pulse_width_us"], 150);
  EXPECT_EQ(programs[0].toObject()["warnings"].toArray().size(), 4);
}

}  // namespace
