#include "tests/config_files/config_files_test.h"
#include "tests/support/program_description.h"

namespace {

using namespace program_files;

using ProgramFiles = ConfigFiles;

// Three programs load and save back the same, all three at once or one into another's place.
TEST_F(ProgramFiles, WhatIsSavedLoadsBackTheSame) {
  const QByteArray all = QByteArray(kThreePrograms).replace("Duration=600", "Duration=30");
  WriteAll(Path("all.vap"), all);
  const Outcome outcome = LoadAllProgramsFromFile(model_, Path("all.vap"));
  EXPECT_TRUE(outcome.ok && outcome.warnings.empty())
      << WarningTexts(outcome.warnings).join("; ").toStdString();
  ASSERT_TRUE(SaveAllProgramsToFile(model_, Path("again.vap")).ok);
  EXPECT_EQ(ReadAll(Path("again.vap")), all);
  ASSERT_TRUE(SaveProgramToFile(model_, 0, Path("one.vsp"), true).ok);
  EXPECT_TRUE(ReadAll(Path("one.vsp")).startsWith("[Program]\r\nCurrent=20\r\n"));
  ASSERT_TRUE(LoadProgramFromFile(model_, 2, Path("one.vsp"), true).ok);
  EXPECT_EQ(DescribeProgram(model_, 2), DescribeProgram(model_, 0));
}

// A save of all programs writes exactly their three sections over any old content; a save of one
// changes only its own section's keys. Each writes what an upload would send: the sliders.
TEST_F(ProgramFiles, SavesWriteTheirSectionsAndKeepTheRest) {
  const QByteArray old =
      "; kept comment\r\n[Program]\r\nCurrent=100\r\nNote=kept\r\nFail=3\r\n\r\n"
      "[Program2]\r\nCurrent=7\r\n";
  WriteAll(Path("all.vap"), old);
  WriteAll(Path("one.vsp"), old);
  model_.SetBoxText(1, ProgramBox::PassOhms, "2000");  // refused while typing
  ASSERT_TRUE(SaveAllProgramsToFile(model_, Path("all.vap")).ok);
  ASSERT_TRUE(SaveProgramToFile(model_, 1, Path("one.vsp"), true).ok);
  QByteArray all;
  for (const char* n : {"1", "2", "3"})
    all += (all.isEmpty() ? "[Program" : "\r\n[Program") + QByteArray(n) +
           "]\r\nCurrent=5\r\nFrequency=2\r\nPulseWidth=200\r\nMode=2\r\nDuration=30\r\n"
           "Pass=150\r\nFail=1000\r\n";
  EXPECT_EQ(ReadAll(Path("all.vap")), all);
  EXPECT_EQ(ReadAll(Path("one.vsp")),
            "; kept comment\r\n[Program]\r\nCurrent=5\r\nNote=kept\r\nFail=1000\r\n"
            "Frequency=2\r\nPulseWidth=200\r\nMode=2\r\nDuration=30\r\nPass=150\r\n\r\n"
            "[Program2]\r\nCurrent=7\r\n");
}

// What a load makes of a file: a key applies whole or not at all, by the editor's rules (a key
// refused or missing changes none of its controls), a name given twice is read from its first
// place as the platform's profile reader does; the operator is told each, a value that a terminal
// would swallow shown escaped. (A file that cannot be used is among the files' faults.)
TEST_F(ProgramFiles, ALoadAppliesWhatItCanAndSaysWhatItCannot) {
  const QString fresh = "5mA 2Hz 200us(200) single 0h 30s(00:30) pass 150(150) fail 1000(1000)";
  const QString duration =
      "5mA 2Hz 200us(200) duration 0h 30s(00:30) pass 150(150) fail 1000(1000)";
  const QString pass12 = "5mA 2Hz 200us(200) single 0h 30s(00:30) pass 12(12) fail 1000(1000)";
  struct Case {
    QString file;          // *.vsp loads into program 1, any other into all three
    QByteArray bytes;      // written into it
    QStringList said;      // among the warnings, or the error
    QStringList programs;  // each program after the load, from program 1
    int warnings = -1;     // how many in all, where it counts
  };
  const Case cases[] = {
      {"hand.vap",
       "\r\n[general]\r\nowner=lab 4\r\n\r\n[PROGRAM1]\r\ncurrent = 20\r\nFREQUENCY=150\r\n"
       "PulseWidth= 205 \r\nMode=1\r\nduration=3725\r\nPass=12.5\r\nFail=13.5\r\n\r\n"
       "[program2]\r\nMode=7\r\nCurrent=10\r\n\r\n[Program3]\r\nMode=2\r\nPass=abc\r\n"
       "Duration=45\r\n",
       {"Program 2: Mode=7 not applied (1 Duration or 2 Single Measure)",
        "Program 2: PulseWidth missing, not applied (100 to 500 us at 10 mA)",
        "Program 3: Pass=abc not applied (1 to 999 ohms)"},
       // Mode=7 selects neither option; Duration=45 goes into the disabled controls of a
       // single-measure program.
       {"20mA 150Hz 200us(200) duration 1h 125s(02:05) pass 12(12) fail 14(14)",
        "10mA 2Hz 200us(200) single 0h 30s(00:30) pass 150(150) fail 1000(1000)",
        "5mA 2Hz 200us(200) single 0h 45s(00:45) pass 150(150) fail 1000(1000)"},
       11},
      // Each of these once changed a box over a slider that kept its value; the model's table
      // pins every setting's range, these the file's numbers beyond 16 bits and the order of
      // the keys (the width judged at the current already applied).
      {"one.vsp",
       "[Program]\r\nMode=1\r\nPulseWidth=100\r\n",
       {"Program 1: PulseWidth=100 not applied (200 to 500 us at 5 mA)"},
       {duration}},
      {"one.vsp",
       "[Program]\r\nMode=1\r\nDuration=360000\r\n",
       {"Program 1: Duration=360000 not applied (30 to 359999 s)"},
       {duration}},
      {"one.vsp",
       "[Program]\r\nPass=12\r\nPass=100\r\n",
       {"Program 1: Pass appears twice; the first (12) is used"},
       {pass12}},
      {"one.vsp",
       "[Program]\r\nPass=12\r\nPASS=13\r\npass=14\r\n",
       {"Program 1: Pass appears 3 times; the first (12) is used"},
       {pass12}},
      {"one.vsp",
       "[Program]\r\nPass=12\r\n[program]\r\nPass=13\r\n",
       {"Program 1: section [Program] appears twice; the first is used"},
       {pass12}},
      {"one.vsp",
       QByteArray("[Program]\r\nPass=1\0 2\r\n", 23),
       {"Program 1: Pass=1\\0 2 not applied (1 to 999 ohms)"},
       {fresh}},
      {"one.vsp",
       "[Something]\r\nCurrent=100\r\n",
       {"The file one.vsp holds no settings of section [Program]."},
       {fresh}}};
  for (const Case& c : cases) {
    TestProgramsModel model{QLocale::c()};
    model.StartUp();
    const QString file = Path(c.file);
    WriteAll(file, c.bytes);
    const Outcome outcome = c.file.endsWith(".vsp") ? LoadProgramFromFile(model, 0, file, true)
                                                    : LoadAllProgramsFromFile(model, file);
    EXPECT_EQ(outcome.ok, outcome.error.isEmpty());
    const QStringList said = WarningTexts(outcome.warnings) << outcome.error;
    for (const QString& line : c.said)
      EXPECT_TRUE(said.contains(line)) << said.join("; ").toStdString();
    for (int i = 0; i < c.programs.size(); ++i) EXPECT_EQ(DescribeProgram(model, i), c.programs[i]);
    EXPECT_TRUE(c.warnings < 0 || outcome.warnings.size() == std::size_t(c.warnings))
        << said.join("; ").toStdString();
  }
}

}  // namespace
