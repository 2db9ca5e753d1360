#include <QDir>

#include <set>

#include "tests/support/faulty_d2xx.h"
#include "tests/tools/ctl_runner.h"

namespace {

// A bench of `testers` simulated testers.
std::shared_ptr<SimulatedTester> Bench(std::size_t testers) {
  return std::make_shared<SimulatedTester>(std::vector<std::string>(testers, "VELD32"));
}

TEST_F(CtlTest, DeviceChoosesATesterByUsbSerialNumberOrListIndex) {
  auto bench = Bench(3);
  bench->Tester(1).serialNumber = "00042";
  // the arguments, the status, what standard output begins with, what standard error holds
  const std::tuple<QStringList, int, QString, QString> cases[] = {
      {{"--device=SIM0002", "info"}, 0, "Firmware version:  01.02\nSerial number:     00042\n", ""},
      {{"--device=1", "info"}, 0, "Firmware version:  01.02\nSerial number:     00042\n", ""},
      {{"--device=0", "info"}, 0, "Firmware version:  01.02\nSerial number:     00001\n", ""},
      {{"--device=SIM0009", "info"}, 3, "", "No tester found: no device described \"VELD32\""},
      {{"--device=3", "download"}, 3, "", "has the USB serial number or the index '3'"},
      {{"--device=SIM0001", "list"}, 2, "", "Option --device belongs to info, download"},
      {{"--device=SIM0001", "--all", "info"}, 2, "", "Options --all and --device exclude"},
      {{"--all", "show", "x.vap"}, 2, "", "Option --all belongs to info, download"},
      {{"--device=", "info"}, 2, "", "--device needs"},
      {{"--device=SIM0002", "--yes", "service", "set-serial", "77"}, 0, "", ""},
  };
  for (const auto& [arguments, status, out, err] : cases) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const CtlRun run = RunCtl(arguments, Attached(bench));
    EXPECT_EQ(run.status, status);
    EXPECT_EQ(run.out.left(out.size()), out);
    EXPECT_THAT(run.err, Has(err));
  }
  EXPECT_EQ(bench->Tester(0).serialNumber, "00001") << "service reached the chosen tester only";
  EXPECT_NE(bench->Tester(1).serialNumber, "00042");
}

TEST_F(CtlTest, DeviceOfATesterWhoseSerialNumberCannotBeToldOpensOnlyTheFirst) {
  // Drivers that cannot tell serial numbers.
  const auto noSerials = [](std::vector<std::string> descriptions) {
    auto tester = std::make_shared<SimulatedTester>(std::move(descriptions));
    auto driver = std::make_shared<FaultyD2xx>(tester);
    driver->FailEvery("FT_ListDevicesSerialNumber", FT_NOT_SUPPORTED);
    return Attached(tester, driver);
  };
  const BackendFactory bench = noSerials({"FT232R", "VELD32", "VELD32"});
  EXPECT_EQ(RunCtl({"--device=1", "info"}, bench).status, 0);
  EXPECT_THAT(RunCtl({"--device=0", "info"}, bench).err, Has("not \"VELD32\""));
  EXPECT_THAT(RunCtl({"--device=2", "info"}, bench),
              Ended(3, "device 2 has no USB serial number of its own"));
  const CtlRun all = RunCtl({"--all", "info"}, bench);
  EXPECT_EQ(all.status, 3);
  EXPECT_EQ(all.out.count("failed: No tester found: no USB serial number"), 2)
      << all.out.toStdString();
  // Alone on the bench, it needs none.
  const CtlRun alone = RunCtl({"--all", "info"}, noSerials({"FT232R", "VELD32"}));
  EXPECT_EQ(alone.status, 0) << alone.err.toStdString();
  EXPECT_EQ(alone.out, "-  00002  firmware 01.02, calibrated 2024-01-15\n");
}

TEST_F(CtlTest, AllUploadsToEveryTesterAndOneUnpluggedMidwayFailsAloneWithTheWorstStatus) {
  const QString file = Write("three.vap", kThreePrograms);
  // The third tester goes after the handshake, the identity requests and the first program.
  auto bench = Bench(3);
  auto driver = std::make_shared<FaultyD2xx>(bench);
  driver->LoseDevice(2, 5);
  const CtlRun run = RunCtl({"--all", "upload", file}, Attached(bench, driver));
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.out,
            "SIM0001  00001  uploaded and confirmed\n"
            "SIM0002  00002  uploaded and confirmed\n"
            "SIM0003  00003  failed: Link failure: FT_GetQueueStatus - General IO Error\n");
  EXPECT_EQ(run.err, "veld32ctl: 1 of 3 testers failed\n");
  for (std::size_t device = 0; device < 2; ++device) {
    EXPECT_EQ(bench->Tester(device).Program(1),
              (ProgramSettings{1, 3, 8, 200, 125, 1, TestMode::Duration, 12, 14}));
  }
}

TEST_F(CtlTest, AllDownloadsIntoOneFilePerTesterNamedByItsUsbSerialNumber) {
  auto bench = Bench(2);
  bench->Tester(1).SetProgram({2, 4, 8, 100, 125, 1, TestMode::Duration, 12, 14});
  const QString folder = Path("bench") + "/";
  const CtlRun run = RunCtl({"--all", "--json", "download", "-o", folder}, Attached(bench));
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const QJsonArray lines = QJsonDocument::fromJson(run.out.toUtf8()).array();
  ASSERT_EQ(lines.size(), 2) << run.out.toStdString();
  for (qsizetype i = 0; i < 2; ++i) {
    const QString usb = QStringLiteral("SIM000%1").arg(i + 1);
    const QString saved = folder + usb + ".vap";
    ExpectMembers(lines[i].toObject(), {{"usb_serial", usb},
                                        {"serial", QStringLiteral("0000%1").arg(i + 1)},
                                        {"exit_status", 0},
                                        {"result", "downloaded, saved as " + saved}});
    EXPECT_EQ(Programs(RunCtl({"--json", "show", saved}))[1].toObject().value("pass_ohms"),
              i == 0 ? 150 : 12)
        << saved.toStdString();
  }
}

TEST_F(CtlTest, EachSimulateIsATesterOfItsOwnWithItsOwnState) {
  const QString file = Write("three.vap", kThreePrograms);
  const QString a = "--simulate=" + Path("a.vap");
  const QString b = "--simulate=" + Path("b.vap");
  ASSERT_EQ(RunCtl({a, b, "--device=SIM0002", "upload", file}).status, 0);
  const CtlRun info = RunCtl({a, b, "--simulate", "--all", "info"});
  EXPECT_EQ(info.status, 0) << info.err.toStdString();
  EXPECT_EQ(info.out.count("firmware 01.02, calibrated 2024-01-15"), 3) << info.out.toStdString();
  // Only the second tester took the upload, and only its STATE kept it.
  const auto pass = [this](const QString& state) -> QJsonValue {
    return Programs(RunCtl({"--simulate=" + state, "--json", "download"}))[0].toObject().value(
        "pass_ohms");
  };
  EXPECT_EQ(pass(Path("a.vap")), 150);
  EXPECT_EQ(pass(Path("b.vap")), 12);
}

}  // namespace
