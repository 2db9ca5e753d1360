#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "config_files/program_files.h"
#include "tests/config_files/file_bytes.h"
#include "tests/support/program_description.h"
#include "tests/support/qt_printers.h"

namespace {

using namespace program_files;

class ProgramFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    model_.StartUp();
  }
  QString Path(const QString& name) const { return dir_.filePath(name); }

  // Program 1: 20 mA, 150 Hz, 200 us, 1 h 2 min 5 s; program 2 single measure at 100 mA and
  // 300 us; program 3: 50 mA, 5 Hz, 20 us, 0 h 45 s.
  void EditThreePrograms(TestProgramsModel& model) {
    model.PickListPosition(0, ProgramList::Current, 2);
    model.PickListPosition(0, ProgramList::Frequency, 7);
    model.SelectMode(0, ProgramMode::Duration);
    model.SetSliderValue(0, ProgramSlider::DurationHr, 1);
    model.SetSliderValue(0, ProgramSlider::Duration, 125);
    model.SetBoxText(0, ProgramBox::PassOhms, "12");
    model.SetBoxText(0, ProgramBox::FailOhms, "14");
    model.PickListPosition(1, ProgramList::Current, 4);
    model.SetSliderValue(1, ProgramSlider::PulseWidth, 300);
    model.PickListPosition(2, ProgramList::Current, 3);
    model.PickListPosition(2, ProgramList::Frequency, 1);
    model.SetSliderValue(2, ProgramSlider::PulseWidth, 20);
    model.SelectMode(2, ProgramMode::Duration);
    model.SetSliderValue(2, ProgramSlider::Duration, 45);
    model.SetSliderValue(2, ProgramSlider::PassOhms, 999);
  }

  QTemporaryDir dir_;
  TestProgramsModel model_{QLocale::c()};
};

TEST_F(ProgramFiles, SaveAllThenLoadAllGivesBackTheSamePrograms) {
  EditThreePrograms(model_);
  ASSERT_TRUE(SaveAllProgramsToFile(model_, Path("all.vap")).ok);

  TestProgramsModel loaded{QLocale::c()};
  loaded.StartUp();
  const Outcome outcome = LoadAllProgramsFromFile(loaded, Path("all.vap"));
  EXPECT_TRUE(outcome.ok);
  EXPECT_TRUE(outcome.warnings.empty()) << WarningTexts(outcome.warnings).join("; ").toStdString();
  for (int i = 0; i < kProgramCount; ++i) {
    EXPECT_EQ(DescribeProgram(loaded, i), DescribeProgram(model_, i));
    EXPECT_EQ(loaded.UploadSettings(i), model_.UploadSettings(i));
  }
}

TEST_F(ProgramFiles, SaveAllWritesExactlyTheThreeSectionsOverAnyOldContent) {
  WriteAll(Path("all.vap"), "; old notes\r\n[Other]\r\nKey=1\r\n[Program2]\r\nCurrent=100\r\n");
  ASSERT_TRUE(SaveAllProgramsToFile(model_, Path("all.vap")).ok);
  QByteArray expected;
  for (int n = 1; n <= 3; ++n) {
    if (n > 1) expected += "\r\n";
    expected += QStringLiteral(
                    "[Program%1]\r\nCurrent=5\r\nFrequency=2\r\nPulseWidth=200\r\n"
                    "Mode=2\r\nDuration=30\r\nPass=150\r\nFail=1000\r\n")
                    .arg(n)
                    .toLatin1();
  }
  EXPECT_EQ(ReadAll(Path("all.vap")), expected);
}

TEST_F(ProgramFiles, SingleProgramSavedFromOneLoadsIntoThree) {
  EditThreePrograms(model_);
  ASSERT_TRUE(SaveProgramToFile(model_, 0, Path("one.vsp"), true).ok);
  EXPECT_TRUE(ReadAll(Path("one.vsp")).startsWith("[Program]\r\nCurrent=20\r\n"));
  ASSERT_TRUE(LoadProgramFromFile(model_, 2, Path("one.vsp"), true).ok);
  EXPECT_EQ(DescribeProgram(model_, 2), DescribeProgram(model_, 0));
}

TEST_F(ProgramFiles, SingleProgramSaveKeepsEverythingElseInTheFile) {
  const QByteArray before =
      "; kept comment\r\n[Program]\r\nCurrent=100\r\nNote=kept\r\nFail=3\r\n\r\n"
      "[Extra]\r\nCurrent=7\r\n";
  WriteAll(Path("one.vsp"), before);
  ASSERT_TRUE(SaveProgramToFile(model_, 1, Path("one.vsp"), true).ok);
  EXPECT_EQ(ReadAll(Path("one.vsp")),
            "; kept comment\r\n[Program]\r\nCurrent=5\r\nNote=kept\r\nFail=1000\r\n"
            "Frequency=2\r\nPulseWidth=200\r\nMode=2\r\nDuration=30\r\nPass=150\r\n\r\n"
            "[Extra]\r\nCurrent=7\r\n");
}

TEST_F(ProgramFiles, HandWrittenWindowsFileLoadsThroughTheEditorsRules) {
  WriteAll(Path("hand.vap"),
           "\r\n[general]\r\nowner=lab 4\r\n\r\n[PROGRAM1]\r\ncurrent = 20\r\nFREQUENCY=150\r\n"
           "PulseWidth= 205 \r\nMode=1\r\nduration=3725\r\nPass=12.5\r\nFail=13.5\r\n\r\n"
           "[program2]\r\nMode=7\r\nCurrent=10\r\n\r\n[Program3]\r\nMode=2\r\nPass=abc\r\n"
           "Duration=45\r\n");
  const Outcome outcome = LoadAllProgramsFromFile(model_, Path("hand.vap"));
  EXPECT_TRUE(outcome.ok) << outcome.error.toStdString();
  EXPECT_EQ(DescribeProgram(model_, 0),
            "20mA 150Hz 200us(200) duration 1h 125s(02:05) pass 12(12) fail 14(14)");
  // Mode=7 selects neither option; the keys that are missing leave their controls alone.
  EXPECT_EQ(DescribeProgram(model_, 1),
            "10mA 2Hz 200us(200) single 0h 30s(00:30) pass 150(150) fail 1000(1000)");
  // Duration=45 is written into the disabled controls of a single-measure program.
  EXPECT_EQ(DescribeProgram(model_, 2),
            "5mA 2Hz 200us(200) single 0h 45s(00:45) pass 150(150) fail 1000(1000)");
  const QStringList warnings = WarningTexts(outcome.warnings);
  for (const char* line : {"Program 2: Mode=7 not applied (1 Duration or 2 Single Measure)",
                           "Program 2: PulseWidth missing, not applied (100 to 500 us at 10 mA)",
                           "Program 3: Pass=abc not applied (1 to 999 ohms)"})
    EXPECT_TRUE(warnings.contains(line)) << warnings.join("; ").toStdString();
  EXPECT_EQ(warnings.size(), 11);  // every key missing or refused, none else
}

// A refused key changes none of its controls, and a save writes what an upload would send.
TEST_F(ProgramFiles, RefusedKeysChangeNothingAndSavesWriteTheSliders) {
  const QString untouched = DescribeProgram(model_, 0);
  // key=value, each of which once changed a box over a slider that kept its value; the model's
  // table pins every setting's range, these the file's numbers beyond 16 bits and the order of
  // the keys (the width judged at the current already applied)
  const std::pair<const char*, const char*> cases[] = {
      {"PulseWidth=100", "200 to 500 us at 5 mA"},
      {"PulseWidth=-32769", "200 to 500 us at 5 mA"},
      {"Duration=360000", "30 to 359999 s"}};
  for (const auto& [key, allowed] : cases) {
    WriteAll(Path("one.vsp"), QByteArray("[Program]\r\nMode=1\r\n") + key + "\r\n");
    const Outcome outcome = LoadProgramFromFile(model_, 0, Path("one.vsp"), true);
    const QStringList warnings = WarningTexts(outcome.warnings);
    EXPECT_TRUE(
        warnings.contains(QStringLiteral("Program 1: %1 not applied (%2)").arg(key, allowed)))
        << warnings.join("; ").toStdString();
    model_.SelectMode(0, ProgramMode::SingleMeasure);
    EXPECT_EQ(DescribeProgram(model_, 0), untouched) << key;
  }
  model_.SetBoxText(0, ProgramBox::PassOhms, "2000");  // refused while typing
  ASSERT_TRUE(SaveProgramToFile(model_, 0, Path("saved.vsp"), true).ok);
  EXPECT_TRUE(ReadAll(Path("saved.vsp")).contains("\r\nPass=150\r\n"));
}

// A name given twice is read from its first place, as the platform's profile reader does, and
// the operator is told; a value that a terminal would swallow is shown escaped.
TEST_F(ProgramFiles, ANameGivenTwiceIsReadFromItsFirstPlaceAndNamed) {
  const struct {
    QByteArray section;
    QString warning;
  } cases[] = {
      {"Pass=12\r\nPass=100\r\n", "Program 1: Pass appears twice; the first (12) is used"},
      {"Pass=12\r\nPASS=13\r\npass=14\r\n",
       "Program 1: Pass appears 3 times; the first (12) is used"},
      {"Pass=12\r\n[program]\r\nPass=13\r\n",
       "Program 1: section [Program] appears twice; the first is used"},
      {QByteArray("Pass=1\0 2\r\n", 12), "Program 1: Pass=1\\0 2 not applied (1 to 999 ohms)"},
  };
  for (const auto& c : cases) {
    TestProgramsModel model{QLocale::c()};
    model.StartUp();
    WriteAll(Path("twice.vsp"), "[Program]\r\n" + c.section);
    const Outcome outcome = LoadProgramFromFile(model, 0, Path("twice.vsp"), true);
    const QStringList warnings = WarningTexts(outcome.warnings);
    EXPECT_TRUE(warnings.contains(c.warning)) << warnings.join("; ").toStdString();
    if (c.section.startsWith("Pass=12")) {
      EXPECT_EQ(model.Slider(0, ProgramSlider::PassOhms).value, 12);
    }
  }
}

TEST_F(ProgramFiles, ALoadThatFindsNoneOfTheKeysFailsAndChangesNothing) {
  WriteAll(Path("other.vsp"), "[Something]\r\nCurrent=100\r\n");
  const QString before = DescribeProgram(model_, 0);
  const Outcome outcome = LoadProgramFromFile(model_, 0, Path("other.vsp"), true);
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(outcome.error.contains("holds no settings of section [Program]"))
      << outcome.error.toStdString();
  EXPECT_EQ(DescribeProgram(model_, 0), before);
}

}  // namespace
