#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <utility>

#include "tests/tools/ctl_runner.h"
#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "tests/support/file_faults.h"
#include "tests/support/file_rights.h"
#endif
#include "config_files/program_files.h"
#include "programs/programs_model.h"

namespace {

// The state file is an all-programs file whatever its name.
TEST_F(CtlTest, UploadThenDownloadThroughOneStateFileGivesBackTheUploadedPrograms) {
  const QString file = Write("three.vap", kThreePrograms);
  const QString state = "--simulate=" + Path("tester.VSP");
  ASSERT_EQ(RunCtl({state, "upload", file}).status, 0);
  const CtlRun downloaded = RunCtl({state, "--json", "download"});
  ASSERT_EQ(downloaded.status, 0) << downloaded.err.toStdString();

  QJsonArray expected = Programs(RunCtl({"--json", "show", file}));
  ASSERT_EQ(expected.size(), 3);
  // A Single Measure program travels without a duration and comes back at the minimum.
  QJsonObject single = expected[1].toObject();
  ASSERT_EQ(single["duration_s"], 600);
  single["duration_s"] = 30;
  expected[1] = single;
  EXPECT_EQ(Programs(downloaded), expected) << downloaded.out.toStdString();
}

// --lenient uploads the keys that apply and warns of the others; show always only warns.
TEST_F(CtlTest, LenientUploadSendsWhatAppliesAndWarnsOfTheRest) {
  QByteArray programs = kThreePrograms;
  const QString file = Write("pass.vap", programs.replace("Pass=999", "Pass=1999"));
  const QString warning = "veld32ctl: warning: Program 3: Pass=1999 not applied (1 to 999 ohms)\n";
  auto tester = std::make_shared<SimulatedTester>();
  const CtlRun run = RunCtl({"upload", "--lenient", file}, Attached(tester));
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(run.err, warning);
  ASSERT_TRUE(tester->Program(3));
  EXPECT_EQ(tester->Program(3)->passOhms, 150);
  EXPECT_EQ(tester->Program(3)->failOhms, 1000);
  const CtlRun show = RunCtl({"show", file});
  EXPECT_EQ(show.status, 0);
  EXPECT_EQ(show.err, warning);
}

TEST_F(CtlTest, SingleProgramFileGoesIntoItsProgramAndTheTesterKeepsTheOthers) {
  auto tester = std::make_shared<SimulatedTester>();
  const ProgramSettings first{1, 3, 8, 200, 125, 1, TestMode::Duration, 12, 14};
  const ProgramSettings third{3, 4, 2, 20, 45, 0, TestMode::Duration, 999, 1000};
  tester->SetProgram(first);
  tester->SetProgram(third);
  const QString file = Write("one.vsp",
                             "[Program]\nCurrent=10\nFrequency=5\nPulseWidth=150\n"
                             "Mode=1\nDuration=90\nPass=20\nFail=30\n");

  const CtlRun run = RunCtl({"upload", file, "--program=2"}, Attached(tester));
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const ProgramSettings second{2, 2, 2, 150, 90, 0, TestMode::Duration, 20, 30};
  for (const ProgramSettings& expected : {first, second, third}) {
    EXPECT_EQ(tester->Program(expected.number), expected) << "program " << expected.number;
  }
}

TEST_F(CtlTest, DownloadFileIsByteIdenticalToTheWindowsSaveOfTheSamePrograms) {
  // Single Measure at the 30-second minimum, so that the programs survive the trip unchanged.
  QByteArray programs = kThreePrograms;
  const QString file = Write("three.vap", programs.replace("Duration=600", "Duration=30"));
  auto tester = std::make_shared<SimulatedTester>();
  ASSERT_EQ(RunCtl({"upload", file}, Attached(tester)).status, 0);
  ASSERT_EQ(RunCtl({"download", "-o", Path("out.vap")}, Attached(tester)).status, 0);

  TestProgramsModel window{QLocale::c()};
  window.StartUp();
  ASSERT_TRUE(program_files::LoadAllProgramsFromFile(window, file).ok);
  ASSERT_TRUE(program_files::SaveAllProgramsToFile(window, Path("window.vap")).ok);
  QFile out(Path("out.vap"));
  QFile saved(Path("window.vap"));
  ASSERT_TRUE(out.open(QIODevice::ReadOnly) && saved.open(QIODevice::ReadOnly));
  const QByteArray windowBytes = saved.readAll();
  EXPECT_EQ(out.readAll(), windowBytes);
  // "-o -" puts the same file, and nothing else, on standard output.
  const CtlRun toStdout = RunCtl({"download", "-o", "-"}, Attached(tester));
  EXPECT_EQ(toStdout.status, 0);
  EXPECT_EQ(toStdout.out.toLatin1(), windowBytes);
}

#ifndef _WIN32
// Windows has no per-process write limit to make a write fail with.
// A failed write, whatever its cause, leaves the old file and the old state whole, and the run
// fails with the reason.
TEST_F(CtlTest, AFailedWriteKeepsTheOldFileAndTheStateAndExitsFive) {
  const QString state = Write("state.vap", kThreePrograms);
  const QString out = Write("out.vap", kThreePrograms);
  const QString three =
      Write("three.vap", QByteArray(kThreePrograms).replace("Pass=12", "Pass=13"));
  const QStringList runs[] = {{"--simulate", "download", "-o", out},
                              {"--simulate=" + state, "upload", three}};
  for (const QStringList& arguments : runs) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    CtlRun run;
    {
      // Room for the lock file, none for a whole configuration file.
      const WriteLimit limit(200);
      run = RunCtl(arguments);
    }
    EXPECT_EQ(run.status, 5);
    EXPECT_TRUE(run.err.contains("may not grow that large")) << run.err.toStdString();
    for (const QString& file : {state, out}) {
      QFile kept(file);
      ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
      EXPECT_EQ(kept.readAll(), kThreePrograms);
    }
  }
}

// A download over another's file in a group of the user's keeps the group and says that the
// owner could not be kept.
TEST_F(CtlTest, ADownloadKeepsTheGroupAndWarnsOfTheOwnerItCannotKeep) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0777), 0);
  const QString out = Write("out.vap", kThreePrograms);
  const QByteArray path = QFile::encodeName(out);
  ASSERT_EQ(::chown(path.constData(), kOtherUser, kSharedGroup), 0);
  ASSERT_EQ(::chmod(path.constData(), 0664), 0);
  QProcess run;
  run.setChildProcessModifier([] {
    if (!BecomeTestUser()) ::_exit(99);
  });
  run.start(QStringLiteral(VELD32CTL_PATH),
            {"--simulate", "--simulate-speed=1000", "--interval=20", "download", "-o", out});
  // A build in a folder that only root may enter (a scratch copy) is out of the user's reach.
  if (!run.waitForStarted())
    GTEST_SKIP() << "the test user cannot start " << VELD32CTL_PATH << ": "
                 << run.errorString().toStdString();
  ASSERT_TRUE(run.waitForFinished(20000));
  EXPECT_EQ(run.exitCode(), 0);
  EXPECT_EQ(run.readAllStandardError(), "veld32ctl: warning: " + path +
                                            " was saved, but could not keep its owner 64322 "
                                            "(now 64321).\n");
  struct stat st {};
  ASSERT_EQ(::stat(path.constData(), &st), 0);
  EXPECT_EQ(st.st_gid, kSharedGroup);
  EXPECT_EQ(st.st_mode & 07777, 0664u);
}

// Names that are no UTF-8 reach the file system byte for byte, and messages show such bytes as
// \xHH. The shell gives the program the bytes, as an operator's shell does.
TEST_F(CtlTest, NamesThatAreNoUtf8ReachTheFileSystemByteForByte) {
  const QByteArray given = QFile::encodeName(dir_.path()) + "/x\xff.vap";
  const int made = ::open(given.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  ASSERT_GE(made, 0);
  ASSERT_EQ(::write(made, kThreePrograms.constData(), kThreePrograms.size()),
            kThreePrograms.size());
  ::close(made);
  ASSERT_EQ(::mkdir((QFile::encodeName(dir_.path()) + "/d\xe9").constData(), 0755), 0);
  const struct {
    const char* arguments;  // for the shell, with the bytes as printf escapes
    int status;
    QByteArray err;
  } cases[] = {
      {"--simulate download -o \"$(printf 'caf\\351.vap')\"", 0, ""},
      {"show \"$(printf 'x\\377.vap')\"", 0, ""},
      {"show \"$(printf 'm\\377.vap')\"", 5, "veld32ctl: The file m\\xFF.vap does not exist.\n"},
      {"--simulate=\"$(printf 'st\\351.vap')\" upload \"$(printf 'x\\377.vap')\"", 0, ""},
      {"--simulate run 1 --csv \"$(printf 'r\\351.csv')\"", 0, "Running test 1…\n"},
      {"--simulate=\"$(printf 'd\\351/st.vap')\" upload \"$(printf 'x\\377.vap')\"", 0, ""},
      {"--simulate run 1 --csv \"$(printf 'd\\351/r\\351.csv')\"", 0, "Running test 1…\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    QProcess run;
    run.setWorkingDirectory(dir_.path());
    run.start(
        "/bin/sh",
        {"-c", QStringLiteral("exec \"$0\" --simulate-speed=1000 --interval=20 ") + c.arguments,
         QStringLiteral(VELD32CTL_PATH)});
    ASSERT_TRUE(run.waitForFinished(20000));
    EXPECT_EQ(run.exitCode(), c.status);
    EXPECT_EQ(run.readAllStandardError(), c.err);
  }
  const auto names = [](const QByteArray& path) {
    std::set<QByteArray> found;
    if (DIR* folder = ::opendir(path.constData())) {
      while (const dirent* entry = ::readdir(folder)) found.insert(entry->d_name);
      ::closedir(folder);
    }
    return found;
  };
  const QByteArray top = QFile::encodeName(dir_.path());
  EXPECT_EQ(names(top), (std::set<QByteArray>{".", "..", "caf\xe9.vap", "x\xff.vap", "st\xe9.vap",
                                              "r\xe9.csv", "d\xe9"}));
  EXPECT_EQ(names(top + "/d\xe9"), (std::set<QByteArray>{".", "..", "st.vap", "r\xe9.csv"}));
}

#endif

// Two runs on one state file at once take their turns: both changes stay.
// A command that changes nothing on the tester leaves its STATE alone: a read-only file serves,
// and a value the tester refused stays in the file, named once per run.
TEST_F(CtlTest, StateIsWrittenOnlyWhenTheTesterChanged) {
  QByteArray refused = kThreePrograms;
  const QString state = Write("st.vap", refused.replace("Pass=12", "Pass=5000"));
  const QString three = Write("three.vap", kThreePrograms);
  QFile::setPermissions(state, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
  for (const QStringList& command : {QStringList{"info"}, QStringList{"download"},
                                     QStringList{"--simulate-speed=1000", "run", "2"}}) {
    const CtlRun run = RunCtl(QStringList{"--simulate=" + state} + command);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.err.count("Program 1: Pass=5000 not applied (1 to 999 ohms)"), 1)
        << run.err.toStdString();
    EXPECT_EQ(ReadAll(state), refused);
  }
  QFile::setPermissions(state, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  ASSERT_EQ(RunCtl({"--simulate=" + state, "upload", three}).status, 0);
  EXPECT_TRUE(ReadAll(state).contains("Pass=12\r\n"));
}

TEST_F(CtlTest, TwoRunsOnOneStateFileKeepBothChanges) {
  const QString state = "--simulate=" + Path("state.vap");
  const QString first = Write("first.vsp", "[Program]\nPass=21\nFail=31\n");
  const QString third = Write("third.vsp", "[Program]\nPass=23\nFail=33\n");
  QProcess one;
  QProcess two;
  // The files hold only the limits: --lenient keeps the other keys as the tester has them.
  one.start(QStringLiteral(VELD32CTL_PATH), {state, "--interval=20", "--lenient", "upload", first});
  two.start(QStringLiteral(VELD32CTL_PATH),
            {state, "--interval=20", "--lenient", "upload", third, "--program=3"});
  for (QProcess* run : {&one, &two}) {
    ASSERT_TRUE(run->waitForFinished(30000));
    EXPECT_EQ(run->exitCode(), 0) << run->readAllStandardError().toStdString();
  }
  const QJsonArray programs = Programs(RunCtl({state, "--json", "download"}));
  ASSERT_EQ(programs.size(), 3);
  EXPECT_EQ(programs[0].toObject().value("pass_ohms"), 21);
  EXPECT_EQ(programs[2].toObject().value("pass_ohms"), 23);
}

// A state file that another run holds beyond the time-out is in use, and nothing is done.
TEST_F(CtlTest, AStateFileHeldTooLongIsInUse) {
  QLockFile held(Path("state.vap.lock"));
  ASSERT_TRUE(held.tryLock());
  const CtlRun run = RunCtl({"--simulate=" + Path("state.vap"), "--timeout=100", "info"});
  EXPECT_EQ(run.status, 5);
  EXPECT_TRUE(run.err.contains(
      "state.vap is in use by another program: " + QCoreApplication::applicationName() +
      " (process " + QString::number(QCoreApplication::applicationPid()) +
      ") holds its lock file " + Path("state.vap.lock") + " (waited 100 ms)"))
      << run.err.toStdString();
  EXPECT_TRUE(run.out.isEmpty());
}

// Standard input is read once, under either name (Windows has only "-").
TEST(Veld32ctlExecutable, ShowsAFileFromStandardInput) {
  QStringList names = {QStringLiteral("-")};
#ifndef _WIN32
  names << QStringLiteral("/dev/stdin");
#endif
  for (const QString& name : names) {
    QProcess process;
    process.start(QStringLiteral(VELD32CTL_PATH), {"--json", "show", name});
    process.write(kThreePrograms);
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(process.readAllStandardOutput())
                  .object()
                  .value("programs")
                  .toArray()
                  .at(2)
                  .toObject()
                  .value("pass_ohms"),
              999)
        << name.toStdString();
  }
}

TEST_F(CtlTest, ListMarksTheFirstDeviceDescribedExactlyVeld32) {
  auto tester = std::make_shared<SimulatedTester>(
      std::vector<std::string>{"veld32", "VELD32 ", "VELD32", "VELD32"});
  const CtlRun table = RunCtl({"list"}, Attached(tester));
  EXPECT_EQ(table.status, 0) << table.err.toStdString();
  EXPECT_EQ(table.out,
            "  0  SIM0001  veld32\n  1  SIM0002  VELD32 \n* 2  SIM0003  VELD32\n"
            "  3  SIM0004  VELD32\n");
  EXPECT_EQ(
      RunCtl({"--json", "list"}, Attached(tester)).out,
      R"([{"index": 0, "description": "veld32", "usb_serial": "SIM0001", "selected": false}, )"
      R"({"index": 1, "description": "VELD32 ", "usb_serial": "SIM0002", "selected": false}, )"
      R"({"index": 2, "description": "VELD32", "usb_serial": "SIM0003", "selected": true}, )"
      R"({"index": 3, "description": "VELD32", "usb_serial": "SIM0004", "selected": false}])"
      "\n");
}

TEST_F(CtlTest, VerboseLogsTheFramesAndTheWindowsStatusLines) {
  const CtlRun run = RunCtl({"--simulate", "--verbose", "download"});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
  EXPECT_EQ(lines.filter(QRegularExpression("^[^TR]")),
            (QStringList{"* VELD32 Connected", "Loading program data...",
                         "Program data load complete.", "* VELD32 Disconnected"}));
  EXPECT_EQ(lines.filter("TX -> "),
            (QStringList{"TX -> (*)", "TX -> (MP11)", "TX -> (MP12)", "TX -> (MP13)"}));
  EXPECT_EQ(lines.filter("RX").size(), 4) << "the replies, and no receive buffers";
}

// The built program, run as a user runs it.
TEST(Veld32ctlExecutable, AnswersFromTheSimulatedTester) {
  QProcess process;
  process.start(QStringLiteral(VELD32CTL_PATH), {"--simulate", "--interval=20", "--json", "info"});
  ASSERT_TRUE(process.waitForFinished(10000));
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  // Standard output ends lines the platform's way: "\r\n" on Windows.
  EXPECT_EQ(process.readAllStandardOutput().replace("\r\n", "\n"),
            R"({"firmware": "01.02", "serial": "00001", "calibration_date": "2024-01-15", )"
            R"("current_setpoints": [5, 10, 20, 50, 100]})"
            "\n");
}

#ifdef _WIN32
// The D2XX library by its own name comes only from the application's folder or the system's:
// one left in the current folder or along PATH is not loaded. Given by its path, it is.
TEST(Veld32ctlExecutable, LoadsTheD2xxLibraryByNameOnlyFromSafeFolders) {
  QTemporaryDir planted;
  ASSERT_TRUE(QFile::copy(QStringLiteral(FAKE_FTD2XX_PATH), planted.filePath("ftd2xx.dll")));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("PATH",
                     QDir::toNativeSeparators(planted.path()) + ";" + environment.value("PATH"));
  const auto list = [&](const QString& backend) {
    QProcess process;
    process.setWorkingDirectory(planted.path());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELD32CTL_PATH), {backend, "list"});
    EXPECT_TRUE(process.waitForFinished(20000));
    return std::pair(process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError()));
  };
  const auto [byName, byNameSaid] = list("--backend=d2xx");
  EXPECT_EQ(byName, 4) << byNameSaid.toStdString();
  EXPECT_TRUE(byNameSaid.contains("cannot load ftd2xx.dll")) << byNameSaid.toStdString();
  const auto [byPath, byPathSaid] = list("--backend=d2xx:ftd2xx.dll");
  EXPECT_EQ(byPath, 3) << byPathSaid.toStdString();
  EXPECT_TRUE(byPathSaid.contains("no FTDI device is attached")) << byPathSaid.toStdString();
}
#endif

}  // namespace
