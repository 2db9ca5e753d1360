#include "ctl_runner.h"
#include "program_files.h"
#include "qt_printers.h"
#include "test_programs_model.h"

namespace {

const QStringList kFast = {"--interval=20"};

TEST_F(CtlTest, UploadThenDownloadThroughOneStateFileGivesBackTheUploadedPrograms) {
  const QString file = Write("three.vap", kThreePrograms);
  const QString state = QStringLiteral("--simulate=") + Path("tester.vap");
  const CtlRun shown = RunCtl({"--json", "show", file});
  ASSERT_EQ(shown.status, 0) << shown.err.toStdString();

  const CtlRun uploaded = RunCtl(kFast + QStringList{state, "upload", file});
  ASSERT_EQ(uploaded.status, 0) << uploaded.err.toStdString();
  const CtlRun downloaded = RunCtl(kFast + QStringList{state, "--json", "download"});
  ASSERT_EQ(downloaded.status, 0) << downloaded.err.toStdString();

  QJsonArray expected = Programs(shown);
  ASSERT_EQ(expected.size(), 3);
  // A Single Measure program travels without a duration and comes back at the minimum.
  QJsonObject single = expected[1].toObject();
  ASSERT_EQ(single["mode"], "single");
  ASSERT_EQ(single["duration_s"], 600);
  single["duration_s"] = 30;
  expected[1] = single;
  EXPECT_EQ(Programs(downloaded), expected) << downloaded.out.toStdString();
}

TEST_F(CtlTest, SingleProgramFileGoesIntoItsProgramAndTheTesterKeepsTheOthers) {
  auto tester = std::make_shared<SimulatedTester>();
  const ProgramWrite first{1, 3, 8, 200, 125, 1, 1, 12, 14};
  const ProgramWrite third{3, 4, 2, 20, 45, 0, 1, 999, 1000};
  tester->SetProgram(first);
  tester->SetProgram(third);
  const QString file = Write("one.vsp",
                             "[Program]\nCurrent=10\nFrequency=5\nPulseWidth=150\n"
                             "Mode=1\nDuration=90\nPass=20\nFail=30\n");

  const CtlRun run = RunCtl(kFast + QStringList{"upload", file, "--program=2"}, Attached(tester));
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const ProgramWrite second{2, 2, 2, 150, 90, 0, 1, 20, 30};
  for (const ProgramWrite& expected : {first, second, third}) {
    const ProgramWrite held = *tester->Program(expected.programId);
    EXPECT_EQ(std::tie(held.currentLevelIndex, held.freqIndex, held.pulseWidthUs, held.duration,
                       held.durationHr, held.mode, held.pass, held.fail),
              std::tie(expected.currentLevelIndex, expected.freqIndex, expected.pulseWidthUs,
                       expected.duration, expected.durationHr, expected.mode, expected.pass,
                       expected.fail))
        << "program " << expected.programId;
  }
}

TEST_F(CtlTest, DownloadFileIsByteIdenticalToTheWindowsSaveOfTheSamePrograms) {
  // Single Measure at the 30-second minimum, so that the programs survive the trip unchanged.
  QByteArray programs = kThreePrograms;
  programs.replace("Duration=600", "Duration=30");
  const QString file = Write("three.vap", programs);
  auto tester = std::make_shared<SimulatedTester>();
  ASSERT_EQ(RunCtl(kFast + QStringList{"upload", file}, Attached(tester)).status, 0);

  const CtlRun run =
      RunCtl(kFast + QStringList{"download", "-o", Path("out.vap")}, Attached(tester));
  ASSERT_EQ(run.status, 0) << run.err.toStdString();

  TestProgramsModel window{QLocale::c()};
  window.StartUp();
  ASSERT_TRUE(program_files::LoadAllProgramsFromFile(window, file).ok);
  ASSERT_TRUE(program_files::SaveAllProgramsToFile(window, Path("window.vap")).ok);
  EXPECT_EQ(Read(Path("out.vap")), Read(Path("window.vap")));
}

TEST_F(CtlTest, InfoGivesTheTestersTextsAsReceived) {
  auto tester = std::make_shared<SimulatedTester>();
  tester->Tester().firmwareVersion = "02.10";
  tester->Tester().serialNumber = "04711";
  tester->Tester().calibrationDate = "2023,11,30";
  const CtlRun run = RunCtl(kFast + QStringList{"--json", "info"}, Attached(tester));
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(
      run.out,
      "{\"firmware\": \"02.10\", \"serial\": \"04711\", \"calibration_date\": \"2023-11-30\"}\n");
}

TEST_F(CtlTest, ListMarksTheFirstDeviceDescribedExactlyVeld32) {
  auto tester = std::make_shared<SimulatedTester>(
      std::vector<std::string>{"veld32", "VELD32 ", "VELD32", "VELD32"});
  const CtlRun run = RunCtl({"--json", "list"}, Attached(tester));
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const QJsonArray devices = QJsonDocument::fromJson(run.out.toUtf8()).array();
  ASSERT_EQ(devices.size(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(devices[i].toObject()["index"], i);
    EXPECT_EQ(devices[i].toObject()["selected"], i == 2) << "device " << i;
  }
  EXPECT_EQ(devices[1].toObject()["description"], "VELD32 ");
}

TEST_F(CtlTest, VerboseLogsTheFramesAndTheWindowsStatusLines) {
  const CtlRun run = RunCtl(kFast + QStringList{"--simulate", "--verbose", "download"});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
  const QStringList status = lines.filter(QRegularExpression("^[^TR]"));
  EXPECT_EQ(status, (QStringList{"* VELD32 Connected", "Loading program data...",
                                 "Program data load complete.", "* VELD32 Disconnected"}));
  EXPECT_EQ(lines.filter(QRegularExpression(R"(^TX -> \(MP1[123]\)$)")).size(), 3);
  EXPECT_EQ(lines.filter(QRegularExpression(R"(^RX <- \(MP1[123],)")).size(), 3);
}

}  // namespace
