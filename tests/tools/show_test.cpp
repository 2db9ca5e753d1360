#include "tests/tools/ctl_runner.h"

namespace {

// The file's rules are the editor's (pinned with the configuration files); show gives what the
// editor made of each program, with the derived values, and each key it did not apply.
TEST_F(CtlTest, ShowGivesEveryValueAndWarningOfAFile) {
  const QString file = Write("bench.vap", QByteArray(kThreePrograms)
                                              .replace("Duration=3725", "Duration=7290")
                                              .replace("Pass=150", "Pass=abc"));
  const CtlRun json = RunCtl({"--json", "show", file});
  ASSERT_EQ(json.status, 0) << json.err.toStdString();
  EXPECT_TRUE(json.err.isEmpty()) << json.err.toStdString();
  EXPECT_EQ(
      json.out,
      R"({"programs": [{"section": "Program1", "current_mA": 20, "frequency_Hz": 150, )"
      R"("pulse_width_us": 200, "mode": "duration", "duration_s": 7290, "pass_ohms": 12, )"
      R"("fail_ohms": 14, "pulse_charge_uC": 4.0, "average_current_mA": 0.6, "warnings": []}, )"
      R"({"section": "Program2", "current_mA": 100, "frequency_Hz": 2, "pulse_width_us": 300, )"
      R"("mode": "single", "duration_s": 600, "pass_ohms": 150, "fail_ohms": 1000, )"
      R"("pulse_charge_uC": 30.0, "average_current_mA": 0.06, )"
      R"j("warnings": ["Program 2: Pass=abc not applied (1 to 999 ohms)"]}, )j"
      R"({"section": "Program3", "current_mA": 50, "frequency_Hz": 5, "pulse_width_us": 20, )"
      R"("mode": "duration", "duration_s": 45, "pass_ohms": 999, "fail_ohms": 1000, )"
      R"("pulse_charge_uC": 1.0, "average_current_mA": 0.005, "warnings": []}]})"
      "\n");

  // The table shows the window's display forms in aligned columns; the warnings go to standard
  // error.
  const CtlRun table = RunCtl({"show", file});
  ASSERT_EQ(table.status, 0);
  EXPECT_EQ(table.out,
            "Section   Current mA  Freq Hz  Pulse µs  Mode            Duration  Pass Ω  Fail Ω  "
            "Charge µC  Average mA\n"
            "Program1          20      150       200  Duration         2:01:30      12      14  "
            "     04.0     000.600\n"
            "Program2         100        2       300  Single Measure   0:10:00     150    1000  "
            "     30.0     000.060\n"
            "Program3          50        5        20  Duration         0:00:45     999    1000  "
            "     01.0     000.005\n");
  EXPECT_EQ(table.err, "veld32ctl: warning: Program 2: Pass=abc not applied (1 to 999 ohms)\n");

  // A single-program file gives that program alone.
  const QJsonArray one = Programs(
      RunCtl({"--json", "show", Write("one.vsp", "[Program]\nCurrent=10\nPulseWidth=150\n")}));
  ASSERT_EQ(one.size(), 1);
  ExpectMembers(one[0].toObject(), {{"section", "Program"}, {"pulse_width_us", 150}});
  EXPECT_EQ(one[0].toObject().value("warnings").toArray().size(), 5);
}

}  // namespace
