#include <QDir>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include "tests/tools/ctl_runner.h"
#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "tests/support/file_rights.h"
#endif

namespace {

// --lenient uploads the keys that apply and warns of the others (show always only warns); a
// single-program file goes into its program, and the tester keeps the others.
TEST_F(CtlTest, LenientUploadOfOneProgramSendsWhatAppliesAndWarnsOfTheRest) {
  auto tester = std::make_shared<SimulatedTester>();
  const ProgramSettings first{1, 3, 8, 200, 125, 1, TestMode::Duration, 12, 14};
  const ProgramSettings third{3, 4, 2, 20, 45, 0, TestMode::Duration, 999, 1000};
  for (const ProgramSettings& program :
       {first, third, ProgramSettings{2, 1, 1, 200, 30, 0, TestMode::Duration, 21, 40}})
    tester->SetProgram(program);
  const QString file = Write("one.vsp",
                             "[Program]\nCurrent=10\nFrequency=5\nPulseWidth=150\n"
                             "Mode=1\nDuration=90\nPass=1999\nFail=30\n");
  const CtlRun run = RunCtl({"upload", "--lenient", file, "--program=2"}, Attached(tester));
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(run.err, "veld32ctl: warning: Program 2: Pass=1999 not applied (1 to 999 ohms)\n");
  const ProgramSettings second{2, 2, 2, 150, 90, 0, TestMode::Duration, 21, 30};
  for (const ProgramSettings& expected : {first, second, third})
    EXPECT_EQ(tester->Program(expected.number), expected) << "program " << expected.number;
}

#ifndef _WIN32
// A download over another's file in a group of the user's says that the owner could not be kept
// (what the save keeps is pinned with the configuration files).
TEST_F(CtlTest, ADownloadOverAnothersFileWarnsOfTheOwnerItCannotKeep) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0777), 0);
  const QByteArray path = QFile::encodeName(Write("out.vap", kThreePrograms));
  ASSERT_EQ(::chown(path.constData(), kOtherUser, kSharedGroup), 0);
  ASSERT_EQ(::chmod(path.constData(), 0664), 0);
  QProcess run;
  run.setChildProcessModifier([] {
    if (!BecomeTestUser()) ::_exit(99);
  });
  run.start(QStringLiteral(VELD32CTL_PATH),
            {"--simulate", "--simulate-speed=1000", "--interval=20", "download", "-o", path});
  // A build in a folder that only root may enter (a scratch copy) is out of the user's reach.
  if (!run.waitForStarted())
    GTEST_SKIP() << "the test user cannot start " << VELD32CTL_PATH << ": "
                 << run.errorString().toStdString();
  ASSERT_TRUE(run.waitForFinished(20000));
  EXPECT_EQ(run.exitCode(), 0);
  EXPECT_EQ(run.readAllStandardError(),
            "veld32ctl: warning: " + path +
                " was saved, but could not keep its owner 64322 (now 64321).\n");
}

// Names that are no UTF-8 reach the file system byte for byte, and messages show such bytes as
// \xHH. The shell gives the program the bytes, as an operator's shell does.
TEST_F(CtlTest, NamesThatAreNoUtf8ReachTheFileSystemByteForByte) {
  const QByteArray top = QFile::encodeName(dir_.path());
  const int made = ::open((top + "/x\xff.vap").constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  ASSERT_GE(made, 0);
  ASSERT_EQ(::write(made, kThreePrograms.constData(), kThreePrograms.size()),
            kThreePrograms.size());
  ::close(made);
  ASSERT_EQ(::mkdir((top + "/d\xe9").constData(), 0755), 0);
  // the arguments for the shell, with the bytes as printf escapes; the status; standard error
  const std::tuple<const char*, int, QByteArray> cases[] = {
      {"--simulate download -o \"$(printf 'caf\\351.vap')\"", 0, ""},
      {"show \"$(printf 'x\\377.vap')\"", 0, ""},
      {"show \"$(printf 'm\\377.vap')\"", 5, "veld32ctl: The file m\\xFF.vap does not exist.\n"},
      {"--simulate=\"$(printf 'd\\351/st.vap')\" upload \"$(printf 'x\\377.vap')\"", 0, ""},
      {"--simulate run 1 --csv \"$(printf 'd\\351/r\\351.csv')\"", 0, "Running test 1…\n"},
  };
  for (const auto& [arguments, status, err] : cases) {
    SCOPED_TRACE(arguments);
    QProcess run;
    run.setWorkingDirectory(dir_.path());
    run.start("/bin/sh",
              {"-c", QString("exec \"$0\" --simulate-speed=1000 --interval=20 ") + arguments,
               QStringLiteral(VELD32CTL_PATH)});
    ASSERT_TRUE(run.waitForFinished(20000));
    EXPECT_EQ(run.exitCode(), status);
    EXPECT_EQ(run.readAllStandardError(), err);
  }
  const auto names = [&top](const QByteArray& folder) {
    std::set<QByteArray> found;
    if (DIR* listed = ::opendir((top + folder).constData())) {
      while (const dirent* entry = ::readdir(listed)) found.insert(entry->d_name);
      ::closedir(listed);
    }
    return found;
  };
  EXPECT_EQ(names(""), (std::set<QByteArray>{".", "..", "caf\xe9.vap", "x\xff.vap", "d\xe9"}));
  EXPECT_EQ(names("/d\xe9"), (std::set<QByteArray>{".", "..", "st.vap", "r\xe9.csv"}));
}
#endif

// A command that changes nothing on the tester leaves its STATE alone: a read-only file serves,
// and a value the tester refused stays in the file, named once per run. One that changes the
// tester fails when its STATE cannot be saved, the file as it was.
TEST_F(CtlTest, StateIsWrittenOnlyWhenTheTesterChanged) {
  const QByteArray refused = QByteArray(kThreePrograms).replace("Pass=12", "Pass=5000");
  const QString state = Write("st.vap", refused);
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
  EXPECT_THAT(RunCtl({"--simulate=" + state, "upload", three}), Ended(5, "read-only"));
  EXPECT_EQ(ReadAll(state), refused);
  QFile::setPermissions(state, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  ASSERT_EQ(RunCtl({"--simulate=" + state, "upload", three}).status, 0);
  EXPECT_TRUE(ReadAll(state).contains("Pass=12\r\n"));
}

// Standard input is read once, under either name (Windows has only "-"); the built program's
// standard output carries what the simulated tester answers.
TEST(Veld32ctlExecutable, ShowsAFileFromStandardInputAndAnswersFromTheSimulatedTester) {
  QStringList names = {QStringLiteral("-")};
#ifndef _WIN32
  names << QStringLiteral("/dev/stdin");
#endif
  for (const QString& name : names) {
    const CtlRun run = RunExe({"--json", "show", name}, {}, kThreePrograms);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(Programs(run).at(2).toObject().value("pass_ohms"), 999) << name.toStdString();
  }
  const CtlRun info = RunExe({"--simulate", "--json", "info"});
  EXPECT_EQ(info.status, 0) << info.err.toStdString();
  // The identity's members are pinned with info's other forms.
  EXPECT_THAT(info.out, Has("\"current_setpoints\": [5, 10, 20, 50, 100]}\n"));
}

// Each --simulate is a tester of its own with its own state, an all-programs file whatever its
// name. A Single Measure program travels without a duration and comes back at the 30-second
// minimum; otherwise the download's file is the uploaded one, and "-o -" puts the same file, and
// nothing else, on standard output.
TEST_F(CtlTest, EachSimulateIsATesterOfItsOwnAndDownloadsTheUploadedPrograms) {
  const QString a = "--simulate=" + Path("a.vap"), b = "--simulate=" + Path("b.VSP");
  ASSERT_EQ(RunCtl({a, b, "--device=SIM0002", "upload", Write("three.vap", kThreePrograms)}).status,
            0);
  const CtlRun info = RunCtl({a, b, "--simulate", "--all", "info"});
  EXPECT_EQ(info.status, 0) << info.err.toStdString();
  EXPECT_EQ(info.out.count("firmware 01.02, calibrated 2024-01-15"), 3) << info.out.toStdString();
  ASSERT_EQ(RunCtl({b, "download", "-o", Path("out.vap")}).status, 0);
  const QByteArray saved = QByteArray(kThreePrograms).replace("Duration=600", "Duration=30");
  EXPECT_EQ(ReadAll(Path("out.vap")), saved);
  const CtlRun toStdout = RunCtl({b, "download", "-o", "-"});
  EXPECT_EQ(toStdout.status, 0);
  EXPECT_EQ(toStdout.out.toLatin1(), saved);
  // Only the second tester took the upload, and only its STATE kept it.
  EXPECT_EQ(Programs(RunCtl({a, "--json", "download"}))[0].toObject().value("pass_ohms"), 150);
}

TEST_F(CtlTest, VerboseLogsTheFramesAndTheWindowsStatusLines) {
  const CtlRun run = RunCtl({"--simulate", "--verbose", "download", "-o", Path("v.vap")});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
  EXPECT_EQ(
      lines.filter(QRegularExpression("^[^TR]")),
      (QStringList{"* VELD32 Connected", "Loading program data...", "Program data load complete.",
                   "* VELD32 Disconnected", "Saving all Program configurations to file...",
                   "Save to file complete."}));
  EXPECT_EQ(lines.filter("TX -> "),
            (QStringList{"TX -> (*)", "TX -> (MP11)", "TX -> (MP12)", "TX -> (MP13)"}));
  EXPECT_EQ(lines.filter("RX").size(), 4) << "the replies, and no receive buffers";
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
    return RunExe({backend, "list"}, [&](QProcess& p) {
      p.setWorkingDirectory(planted.path());
      p.setProcessEnvironment(environment);
    });
  };
  const CtlRun byName = list("--backend=d2xx");
  EXPECT_EQ(byName.status, 4) << byName.err.toStdString();
  EXPECT_THAT(byName.err, Has("cannot load ftd2xx.dll"));
  const CtlRun byPath = list("--backend=d2xx:ftd2xx.dll");
  EXPECT_EQ(byPath.status, 3) << byPath.err.toStdString();
  EXPECT_THAT(byPath.err, Has("no FTDI device is attached"));
}
#endif

}  // namespace
