#include "ctl_runner.h"
#include "qt_printers.h"

namespace {

const QStringList kFast = {"--interval=20"};

struct UsageCase {
  const char* name;
  QStringList arguments;
  const char* complaint;
};

void PrintTo(const UsageCase& usage, std::ostream* out) { *out << usage.name; }

class BadUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(BadUsage, ExitsWithTwoAndSaysWhy) {
  const CtlRun run = RunCtl(GetParam().arguments);
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.err.startsWith(QStringLiteral("veld32ctl: ") + GetParam().complaint))
      << run.err.toStdString();
  EXPECT_TRUE(run.out.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, BadUsage,
    ::testing::Values(
        UsageCase{"NoCommand", {"--simulate"}, "No command given"},
        UsageCase{"UnknownCommand", {"flash"}, "Unknown command 'flash'"},
        UsageCase{"MissingFile", {"upload"}, "Command upload needs a FILE"},
        UsageCase{"ExtraArgument", {"show", "a.vap", "b.vap"}, "Unexpected argument 'b.vap'"},
        UsageCase{"ZeroInterval", {"--interval=0", "info"}, "--interval needs"},
        UsageCase{"WordTimeout", {"--timeout=soon", "info"}, "--timeout needs"},
        UsageCase{"ProgramFour", {"upload", "a.vsp", "--program=4"}, "--program needs"},
        UsageCase{"ProgramWithAllPrograms", {"upload", "a.vap", "--program=2"}, "Option --program"},
        UsageCase{"OutputOnShow", {"show", "a.vap", "-o", "b.vap"}, "Option -o belongs"},
        UsageCase{"OutputWithoutFile", {"download", "-o"}, "Option -o needs"},
        UsageCase{"UnknownBackend", {"--backend=serial", "info"}, "Unknown backend 'serial'"},
        UsageCase{"EmptyState", {"--simulate=", "info"}, "--simulate= needs"},
        UsageCase{"UnknownOption", {"--force", "info"}, "Unknown option '--force'"}),
    [](const auto& info) { return info.param.name; });

TEST_F(CtlTest, UnreadableFilesExitWithFiveAndNeverReachTheTester) {
  const QString noSections = Write("notes.vap", "[Notes]\r\nCurrent=20\r\n");
  const QString wrongKind = Write("one.vsp", kThreePrograms);
  const struct {
    QStringList arguments;
    const char* complaint;
  } cases[] = {
      {{"show", Path("missing.vap")}, "veld32ctl: Cannot read "},
      {{"check", noSections},
       "veld32ctl: The file notes.vap holds no settings of section [Program1]."},
      {{"upload", noSections},
       "veld32ctl: The file notes.vap holds no settings of section [Program3]."},
      {{"upload", wrongKind},
       "veld32ctl: The file one.vsp holds no settings of section [Program]."},
  };
  for (const auto& c : cases) {
    auto driver = std::make_shared<FaultAfterWrites>(std::make_shared<SimulatedTester>(), 0,
                                                     [](SimulatedTester&) {});
    const CtlRun run = RunCtl(kFast + c.arguments, Attached(driver, nullptr));
    EXPECT_EQ(run.status, 5) << c.arguments.join(' ').toStdString();
    EXPECT_TRUE(run.err.contains(c.complaint)) << run.err.toStdString();
    EXPECT_EQ(driver->opens, 0);
  }
}

TEST_F(CtlTest, UnwritableOutputFileExitsWithFive) {
  const CtlRun run =
      RunCtl(kFast + QStringList{"--simulate", "download", "-o", Path("no-such-folder/out.vap")});
  EXPECT_EQ(run.status, 5);
  EXPECT_TRUE(run.err.contains("could not be written")) << run.err.toStdString();
}

TEST_F(CtlTest, PassNotBelowFailExitsWithOneAndUploadsNothing) {
  QByteArray equal = kThreePrograms;
  equal.replace("Pass=999\r\nFail=1000", "Pass=999\r\nFail=999");
  const QString file = Write("equal.vap", equal);

  const CtlRun check = RunCtl({"check", file});
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.err, "veld32ctl: Program3: pass 999 ohms is not below fail 999 ohms\n");
  EXPECT_EQ(check.out.count('\n'), 4) << "the table is printed all the same";

  auto tester = std::make_shared<SimulatedTester>();
  auto driver = std::make_shared<FaultAfterWrites>(tester, 0, [](SimulatedTester&) {});
  const CtlRun upload = RunCtl(kFast + QStringList{"upload", file}, Attached(driver, tester));
  EXPECT_EQ(upload.status, 1);
  EXPECT_TRUE(upload.err.endsWith("nothing uploaded\n")) << upload.err.toStdString();
  EXPECT_EQ(driver->opens, 0);
}

TEST_F(CtlTest, CorruptedProgramWriteIsNotConfirmedAndExitsWithOne) {
  auto tester = std::make_shared<SimulatedTester>();
  auto driver = std::make_shared<FaultAfterWrites>(tester, 0, [](SimulatedTester&) {});
  // The write of program 2 arrives with its pass limit off by one.
  driver->alterWrite = [](std::string& bytes) {
    if (bytes.starts_with("(MP02,")) bytes.replace(bytes.find(",0150,"), 6, ",0151,");
  };
  const CtlRun run = RunCtl(kFast + QStringList{"upload", Write("three.vap", kThreePrograms)},
                            Attached(driver, tester));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "veld32ctl: Program2 not confirmed: pass sent 150, held 151\n");
}

TEST_F(CtlTest, NoDeviceDescribedVeld32ExitsWithThree) {
  auto tester =
      std::make_shared<SimulatedTester>(std::vector<std::string>{"FT232R USB UART", "veld32"});
  const CtlRun download = RunCtl(kFast + QStringList{"download"}, Attached(tester));
  EXPECT_EQ(download.status, 3);
  EXPECT_EQ(download.err, "veld32ctl: No tester found: no FTDI device is described \"VELD32\"\n");

  const CtlRun list = RunCtl({"list"}, Attached(tester));
  EXPECT_EQ(list.status, 3);
  EXPECT_EQ(list.out, "  0  FT232R USB UART\n  1  veld32\n");
}

TEST_F(CtlTest, UnplugDuringTheDownloadExitsWithFourNamingTheFailedCall) {
  auto tester = std::make_shared<SimulatedTester>();
  // After the handshake and the request for program 1.
  auto driver =
      std::make_shared<FaultAfterWrites>(tester, 2, [](SimulatedTester& t) { t.Unplug(); });
  const CtlRun run = RunCtl(kFast + QStringList{"download"}, Attached(driver, tester));
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.err, "veld32ctl: Link failure: FT_GetQueueStatus - General IO Error\n");
  EXPECT_TRUE(run.out.isEmpty());
}

TEST_F(CtlTest, SilentTesterHitsTheReplyTimeOutAndExitsWithFour) {
  auto tester = std::make_shared<SimulatedTester>();
  // Acknowledges the handshake, then answers nothing.
  auto driver =
      std::make_shared<FaultAfterWrites>(tester, 1, [](SimulatedTester& t) { t.SetSilent(true); });
  const CtlRun run =
      RunCtl({"--interval=20", "--timeout=150", "download"}, Attached(driver, tester));
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.err,
            "veld32ctl: No reply from the tester within 150 ms: no program values (0 of 3 "
            "received)\n");
}

}  // namespace
