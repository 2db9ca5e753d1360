#include <QLockFile>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "device_link/driver_diagnostics.h"
#include "tests/support/faulty_d2xx.h"
#include "tests/tools/ctl_runner.h"
#include "tools/ctl_options.h"

namespace {

using Fault = std::function<void(FaultyD2xx&, SimulatedTester&)>;

// The tester unplugged, or gone silent, once `writes` writes reached it (the handshake first).
Fault UnplugAfter(int writes) {
  return
      [writes](FaultyD2xx& d, SimulatedTester& t) { d.AfterWrites(writes, [&t] { t.Unplug(); }); };
}
Fault SilentAfter(int writes) {
  return [writes](FaultyD2xx& d, SimulatedTester& t) {
    d.AfterWrites(writes, [&t] { t.SetSilent(true); });
  };
}
// Every write that starts with `start` has `from` in it replaced by `to` (all of it if empty).
Fault Alter(std::string start, std::string from, std::string to) {
  return [=](FaultyD2xx& d, SimulatedTester&) {
    d.alterWrites = [=](std::string& bytes) {
      if (!bytes.starts_with(start)) return;
      if (from.empty())
        bytes = to;
      else
        bytes.replace(bytes.find(from), from.size(), to);
    };
  };
}

struct ExitCase {
  QStringList arguments;
  int status;
  QString error;  // what standard error holds after "veld32ctl: " (empty: nothing)
  int opens = 0;  // a bad command line or file, or failed limits, never reach the tester
  Fault fault = {};
  QString out = {};  // what standard output holds
  std::vector<std::string> testers = {"VELD32"};
};

// Each command line against a bench of simulated testers, through faults where given.
TEST_F(CtlTest, EachCommandLineEndsWithItsStatusOutputAndCause) {
  const QString three = Write("three.vap", kThreePrograms);
  const QString wrongKind = Write("one.vsp", kThreePrograms);
  const QString notes = Write("notes.csv", "ask the line 3 foreman\n");
  const auto changed = [this](const QString& name, const char* from, const char* to) {
    return Write(name, QByteArray(kThreePrograms).replace(from, to));
  };
  const QString equal = changed("equal.vap", "Fail=1000\r\n", "Fail=999\r\n");
  const QString limit = changed("limits.vap", "Pass=999", "Pass=1000");
  const QString notApplied = Write("refused.vap", QByteArray(kThreePrograms)
                                                      .replace("PulseWidth=200", "PulseWidth=2000")
                                                      .replace("Pass=12", "Pass=1999"));
  const QString state = Write("state.vap", kThreePrograms);
  QFile::link(state, Path("link.vap"));
  const Fault unplugged = [](FaultyD2xx&, SimulatedTester& t) { t.Unplug(); };
  const auto setpointAtTop = [](FaultyD2xx&, SimulatedTester& t) { t.Tester().setpoints[4] = 999; };
  const QString fast = "--simulate-speed=1000";
  const QString noDatabase = "--records=" + Write("notes.sqlite", QByteArray(4096, 'x'));
  const QString shown = Write("bench.vap", QByteArray(kThreePrograms)
                                               .replace("Duration=3725", "Duration=7290")
                                               .replace("Pass=150", "Pass=abc"));
  const QString pulseWidthOnly = Write("pulse.vsp", "[Program]\nCurrent=10\nPulseWidth=150\n");
  const std::vector<std::string> bench(3, "VELD32"),
      noSerialOfItsOwn = {"FT232R", "VELD32", "VELD32"};
  const Fault serial42 = [](FaultyD2xx&, SimulatedTester& t) {
    t.Tester(1).serialNumber = "00042";
  };
  // A driver that cannot tell serial numbers.
  const Fault noSerials = [](FaultyD2xx& d, SimulatedTester&) {
    d.FailEvery("FT_ListDevicesSerialNumber", FT_NOT_SUPPORTED);
  };
  // The third tester goes after the handshake, the identity requests and the first program.
  const Fault secondProgram2 = [](FaultyD2xx&, SimulatedTester& t) {
    t.Tester(1).SetProgram({2, 4, 8, 100, 125, 1, TestMode::Duration, 12, 14});
  };
  const Fault thirdLost = [](FaultyD2xx& d, SimulatedTester&) { d.LoseDevice(2, 5); };
  // Which request draws a set-point reply is the tester's business; its identity is what info
  // needs.
  const Fault noSetpoints = Alter("(I?)", "", "(Z)");
  // clang-format off
  const ExitCase cases[] = {
      // --help prints the usage and runs nothing, whatever command follows; an option value it
      // cannot take is still an error.
      {{"--all", "--help", "upload"}, 0, "", 0, {}, UsageText()},
      {{"-h", "--interval=0"}, 2, "--interval needs"},
      {{"--simulate"}, 2, "No command given"},
      {{"flash"}, 2, "Unknown command 'flash'"},
      {{"upload"}, 2, "Command upload needs a FILE"},
      {{"show", "a.vap", "b.vap"}, 2, "Unexpected argument 'b.vap'"},
      {{"--timeout=soon", "info"}, 2, "--timeout needs"},
      {{"upload", "a.vsp", "--program=4"}, 2, "--program needs"},
      {{"upload", "a.vap", "--program=2"}, 2, "Option --program applies"},
      {{"show", "a.vap", "-o", "b.vap"}, 2, "Option -o belongs"},
      {{"download", "-o"}, 2, "Option -o needs"},
      {{"--backend=serial", "info"}, 2, "Unknown backend 'serial'"},
      {{"--simulate=", "info"}, 2, "--simulate= needs"},
      {{"--force", "info"}, 2, "Unknown option '--force'"},
      {{"--json=1", "info"}, 2, "Unknown option '--json=1'"},
      {{"--", "info"}, 2, "Unknown option '--'"},
      {{"info", "--timeout"}, 2, "--timeout needs a positive number of milliseconds"},
      {{"--all", "run", "1"}, 2, "Option --all belongs to info, download and upload"},
      {{"--device=0", "check", "a.vap"}, 2, "--device belongs to info, download, upload, run and"},
      {{"--lenient", "download"}, 2, "Option --lenient belongs to upload and check"},
      {{"show", "a.vap", "--lenient"}, 2, "Option --lenient belongs to upload and check"},
      {{"download", "-o", ""}, 2, "Option -o needs a FILE"},
      {{"download", "-o", "x.VSP"}, 2, "download writes all three programs"},
      {{"run"}, 2, "Command run needs a program number"},
      {{"run", "4"}, 2, "Command run needs a program number 1, 2 or 3"},
      {{"run", "+1"}, 2, "Command run needs a program number 1, 2 or 3"},
      {{"run", "1", "--csv"}, 2, "Option --csv needs a FILE"},
      {{"--csv=a.csv", "info"}, 2, "Option --csv belongs to run"},
      {{"--yes", "info"}, 2, "Option --yes belongs to service"},
      {{"--dut=A-1", "info"}, 2, "Option --dut belongs to run and records"},
      {{"--verdict=fail", "history"}, 2, "Option --verdict belongs to records"},
      {{"records", "--verdict=maybe"}, 2, "Unknown verdict 'maybe'"},
      {{"records", "--since=yesterday"}, 2, "--since needs a date or time"},
      {{"records", "--station="}, 2, "--station needs a NAME"},
      {{"records", "--limit=2", "--csv", "-"}, 2, "--limit and --csv"},
      {{"--calibration-interval=0", "info"}, 2, "--calibration-interval needs a number"},
      {{"--simulate-speed=0", "run", "1"}, 2, "--simulate-speed needs a factor above 0"},
      {{"--simulate-impedance=99.5", "run", "1"}, 2, "--simulate-impedance needs whole ohms"},
      {{"--simulate-fault=melt", "info"}, 2, "--simulate-fault needs unplug, silent"},
      {{"service"}, 2, "Command service needs set-serial, set-calibration-date or adjust"},
      {{"service", "calibrate"}, 2, "Unknown service action 'calibrate'"},
      {{"service", "set-serial", "100000"}, 2, "set-serial: 100000 is out of range"},
      {{"service", "set-serial", "-1"}, 2, "set-serial: -1 is out of range"},
      // None may take a near miss for a value.
      {{"service", "set-serial", "12a"}, 2, "needs a serial number from 0 to 99999"},
      {{"service", "set-serial", "+12"}, 2, "needs a serial number from 0 to 99999"},
      {{"service", "set-serial", ""}, 2, "needs a serial number from 0 to 99999"},
      {{"service", "set-calibration-date", "2025-02-29"}, 2, "needs a date that exists"},
      {{"service", "set-calibration-date", "0001-01-01"}, 2, "Nothing sent: service writes only"},
      {{"service", "adjust-current", "6", "up"}, 2, "a current level from 1 to 5 and up or"},
      {{"service", "adjust-current", "0", "down"}, 2, "a current level from 1 to 5 and up or"},
      {{"service", "adjust-current", "2", "sideways"}, 2, "a current level from 1 to 5 and up"},
      {{"service", "set-serial", "54321"}, 2, "Nothing sent: service writes only with --yes", 0, {},
       "Would send (MS054321) to the tester.\n"},
      {{"service", "adjust-current", "3", "down"}, 2, "Nothing sent", 0, {},
       "Would send (I3-) to the tester.\n"},
      {{"--device=0", "service", "set-serial", "7"}, 2, "Nothing sent: service writes only"},
      {{"--all", "download", "-o", "-"}, 2, "-o needs a folder, not - (standard output)"},
      {{"--simulate=-", "info"}, 2, "STATE must be a file, not standard input"},
      {{"--simulate=" + Path("s.vap"), "--simulate=" + dir_.path() + "/./s.vap", "info"}, 2,
       "name the same STATE file"},
#ifndef _WIN32  // a link is a shortcut file there
      {{"--simulate=" + state, "--simulate=" + Path("link.vap"), "info"}, 2, "name the same STATE"},
#endif
      {{"download", "-o", "a.vap", "-o", "b.vap"}, 2, "Option -o is given twice"},
      {{"--device=0", "--device=0", "info"}, 2, "Option --device is given twice"},
      {{"--device=+0", "info"}, 3, "the USB serial number or the index '+0'"},
      {{"--device=00", "info"}, 3, "the USB serial number or the index '00'"},
      // Files: one that cannot be read, one that cannot be saved; the file rules apply whole.
      {{"upload", wrongKind}, 5, "The file one.vsp holds no settings of section [Program]."},
      {{"download", "-o", Path("no-such-folder/out.vap")}, 5, "no-such-folder does not exist", 1},
      {{fast, "run", "1", "--csv", notes}, 5, "veld32ctl: " + notes + " is not a test record", 1},
      {{"check", equal}, 1, "Program3: pass 999 ohms is not below fail 999 ohms\n"},
      {{"upload", equal}, 1, "not below fail 999 ohms, nothing uploaded\n"},
      {{"check", limit}, 1, "Program 3: Pass=1000 not applied (1 to 999 ohms)\n"},
      // One line per key not applied, and nothing reaches the tester.
      {{"upload", notApplied}, 1,
       "veld32ctl: Program 1: PulseWidth=2000 not applied (50 to 500 us at 20 mA), nothing "
       "uploaded\nveld32ctl: Program 1: Pass=1999 not applied (1 to 999 ohms), nothing uploaded\n"},
      // The tester and its link.
      {{"upload", three}, 1, "Program2 not confirmed: Pass sent 150 ohms, held 151 ohms\n", 1,
       Alter("(MP02,", ",0150,", ",0151,")},
      {{"download"}, 3, "No tester found: no FTDI device is described \"VELD32\"", 0, unplugged},
      {{"list"}, 3, "No tester found: no FTDI device is attached", 0, unplugged},
      {{"download"}, 4, "Link failure: FT_GetQueueStatus - General IO Error\n", 1, UnplugAfter(2)},
      {{"--timeout=150", "download"}, 4, "150 ms: no program values (0 of 3", 1, SilentAfter(1)},
      {{fast, "--simulate-impedance=1000", "run", "1"}, 1, "Test program 1 not passed: fail", 1},
      {{fast, "--simulate-impedance=150", "run", "3"}, 1, "3 not passed: between limits", 1},
      // Unplugged, or silent, once the run request has reached the tester: the seventh write,
      // after the handshake, the three requests of the tester's identity for its record, and the
      // run's own requests of the serial number and the program's values.
      {{fast, "run", "2"}, 4, "Link failure: FT_GetQueueStatus", 1, UnplugAfter(7)},
      {{"--timeout=150", "run", "2"}, 4, "No result of test program 2 within 150 ms", 1,
       SilentAfter(7)},
      {{"--yes", "service", "set-serial", "54321"}, 1,
       "The tester holds serial number 00001, not 54321 as sent", 1, Alter("(MS0", "", "(MSX)")},
      {{"--yes", "service", "adjust-current", "5", "up"}, 1,
       "The tester holds the 100 mA set-point at 999, not 1000 as sent", 1, setpointAtTop},
      // The faults an operator can put into the simulated tester by hand.
      {{"--simulate-fault=unplug@2", "download"}, 4, "Link failure: FT_GetQueueStatus", 1},
      {{"--simulate-fault=silent", "info"}, 4, "Cannot open the tester: No ACK Received", 1},
      {{"--simulate-fault=echo-mismatch", "upload", three}, 1,
       "Program1 not confirmed: Pass sent 12 ohms, held 13 ohms\n", 1},
      {{"--simulate-fault=readback-mismatch", "--yes", "service", "set-serial", "54321"}, 1,
       "The tester holds serial number 54322, not 54321 as sent", 1},
      {{"--simulate-fault=readback-mismatch", "upload", three}, 0, "", 1},  // programs held as sent
      // --device chooses a tester of a bench by its USB serial number or its index in the list.
      {{"--device=SIM0002", "info"}, 0, "", 1, serial42, "Serial number:     00042\n", bench},
      {{"--device=1", "info"}, 0, "", 1, serial42, "Serial number:     00042\n", bench},
      {{"--device=0", "info"}, 0, "", 1, serial42, "Serial number:     00001\n", bench},
      {{"--device=SIM0009", "info"}, 3, "No tester found: no device described \"VELD32\"", 0, {},
       "", bench},
      {{"--device=3", "download"}, 3, "has the USB serial number or the index '3'", 0, {}, "",
       bench},
      {{"--device=SIM0001", "list"}, 2, "Option --device belongs to info, download"},
      {{"--device=SIM0001", "--all", "info"}, 2, "Options --all and --device exclude"},
      {{"--all", "show", "x.vap"}, 2, "Option --all belongs to info, download"},
      {{"--device=", "info"}, 2, "--device needs"},
      {{"--device=SIM0002", "--yes", "service", "set-serial", "77"}, 0, "", 1, {},
       "Serial number:     00077\n", bench},
      // A tester whose serial number the driver cannot tell is opened only as the first.
      {{"--device=1", "info"}, 0, "", 1, noSerials, "Serial number:     00002\n", noSerialOfItsOwn},
      {{"--device=0", "info"}, 3, "not \"VELD32\"", 0, noSerials, "", noSerialOfItsOwn},
      {{"--device=2", "info"}, 3, "device 2 has no USB serial number of its own", 0, noSerials, "",
       noSerialOfItsOwn},
      {{"--all", "info"}, 3, "2 of 2 testers failed", 0, noSerials,
       "failed: No tester found: no USB serial number", noSerialOfItsOwn},
      {{"--all", "info"}, 0, "", 1, noSerials, "-  00002  firmware 01.02, calibrated 2024-01-15\n",
       {"FT232R", "VELD32"}},
      // --all: one tester unplugged midway fails alone, and the worst status is the command's.
      {{"--all", "upload", three}, 4, "1 of 3 testers failed\n", 3, thirdLost,
       "SIM0001  00001  uploaded and confirmed\nSIM0002  00002  uploaded and confirmed\n"
       "SIM0003  00003  failed: Link failure: FT_GetQueueStatus - General IO Error\n", bench},
      // list marks the first device described exactly "VELD32".
      {{"list"}, 0, "", 0, {},
       "  0  SIM0001  veld32\n  1  SIM0002  VELD32 \n* 2  SIM0003  VELD32\n  3  SIM0004  VELD32\n",
       {"veld32", "VELD32 ", "VELD32", "VELD32"}},
      {{"--json", "list"}, 0, "", 0, {},
       R"({"index": 1, "description": "VELD32 ", "usb_serial": "SIM0002", "selected": false}, )"
       R"({"index": 2, "description": "VELD32", "usb_serial": "SIM0003", "selected": true}, )",
       {"veld32", "VELD32 ", "VELD32", "VELD32"}},
      {{"--timeout=1000", "info"}, 0, "", 1, noSetpoints,
       "Serial number:     00001\nCalibration date:  2024-01-15\nSet-points:        not reported\n"},
      {{"--timeout=1000", "--json", "info"}, 0, "", 1, noSetpoints,
       R"({"firmware": "01.02", "serial": "00001", "calibration_date": "2024-01-15", )"
       R"("current_setpoints": null})"},
      // A record that cannot be kept fails the command, after what it printed of the tester's
      // answer.
      {{fast, "run", "2", noDatabase}, 5, "not a database", 1, {}, "Verdict: pass\n"},
      {{"upload", three, noDatabase}, 5, "not a database", 1, {}, "Program3"},
      {{"--yes", "service", "set-serial", "7", noDatabase}, 5, "not a database", 1, {},
       "Serial number:     00007\n"},
      {{"records", noDatabase}, 5, "not a database"},
      {{"history", noDatabase}, 5, "not a database"},
      // show gives what the editor made of each program (the file's rules are pinned with the
      // configuration files), with the derived values, and each key it did not apply.
      {{"--json", "show", shown}, 0, "", 0, {},
       R"({"programs": [{"section": "Program1", "current_mA": 20, "frequency_Hz": 150, )"
       R"("pulse_width_us": 200, "mode": "duration", "duration_s": 7290, "pass_ohms": 12, )"
       R"("fail_ohms": 14, "pulse_charge_uC": 4.0, "average_current_mA": 0.6, "warnings": []}, )"
       R"({"section": "Program2", "current_mA": 100, "frequency_Hz": 2, "pulse_width_us": 300, )"
       R"("mode": "single", "duration_s": 600, "pass_ohms": 150, "fail_ohms": 1000, )"
       R"("pulse_charge_uC": 30.0, "average_current_mA": 0.06, )"
       R"j("warnings": ["Program 2: Pass=abc not applied (1 to 999 ohms)"]}, )j"},
      // The table in the window's display forms, the warnings on standard error.
      {{"show", shown}, 0, "warning: Program 2: Pass=abc not applied (1 to 999 ohms)\n", 0, {},
       "Section   Current mA  Freq Hz  Pulse µs  Mode            Duration  Pass Ω  Fail Ω  "
       "Charge µC  Average mA\n"
       "Program1          20      150       200  Duration         2:01:30      12      14  "
       "     04.0     000.600\n"
       "Program2         100        2       300  Single Measure   0:10:00     150    1000  "
       "     30.0     000.060\n"},
      // service writes with --yes and reports what the tester holds afterwards.
      {{"--yes", "service", "set-calibration-date", "2024-02-29"}, 0, "", 1, {},
       "Calibration date:  2024-02-29\n"},
      {{"--yes", "service", "adjust-current", "3", "down"}, 0, "", 1, {},
       "Set-point 20 mA:  20 -> 19\n"},
      {{"--yes", "service", "adjust-current", "1", "up"}, 0, "", 1, {}, "Set-point 5 mA:  5 -> 6\n"},
      // --all downloads into one file per tester named by its USB serial number.
      {{"--all", "--json", "download", "-o", Path("bench") + "/"}, 0, "", 2, secondProgram2,
       R"([{"index": 0, "usb_serial": "SIM0001", "serial": "00001", "exit_status": 0, )"
       R"("result": "downloaded, saved as )" + Path("bench/SIM0001.vap") + R"("}, )",
       {"VELD32", "VELD32"}},
      {{"--json", "show", Path("bench/SIM0001.vap")}, 0, "", 0, {},
       R"({"section": "Program2", "current_mA": 5, "frequency_Hz": 2,)"},
      {{"--json", "show", Path("bench/SIM0002.vap")}, 0, "", 0, {},
       R"({"section": "Program2", "current_mA": 50, "frequency_Hz": 150, "pulse_width_us": 100,)"},
      // A single-program file gives that program alone.
      {{"--json", "show", pulseWidthOnly}, 0, "", 0, {},
       R"({"programs": [{"section": "Program", "current_mA": 10, "frequency_Hz": 2, )"
       R"("pulse_width_us": 150, "mode": "single", "duration_s": 30, "pass_ohms": 150, )"},
  };
  // clang-format on
  for (const ExitCase& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    auto tester = std::make_shared<SimulatedTester>(c.testers);
    auto driver = std::make_shared<FaultyD2xx>(tester);
    if (c.fault) c.fault(*driver, *tester);
    const CtlRun run = RunCtl(c.arguments, Attached(tester, driver));
    EXPECT_EQ(run.status, c.status);
    // A run's progress line stands before any error.
    const QString err = QString(run.err).remove(QRegularExpression("^Running test \\d…\n"));
    EXPECT_TRUE(c.error.isEmpty() ? err.isEmpty()
                                  : err.startsWith("veld32ctl: ") && err.contains(c.error))
        << run.err.toStdString();
    EXPECT_THAT(run.out, Has(c.out));
    EXPECT_EQ(driver->Count("FT_Open"), c.opens);
  }
}

// A STATE file that another run holds beyond the time-out is in use, and nothing is done.
TEST_F(CtlTest, AStateFileHeldTooLongIsInUse) {
  QLockFile held(Path("state.vap.lock"));
  ASSERT_TRUE(held.tryLock());
  const CtlRun run = RunCtl({"--simulate=" + Path("state.vap"), "--timeout=100", "info"});
  // The lock's own text is pinned with the configuration files.
  EXPECT_THAT(run, Ended(5, "holds its lock file " + Path("state.vap.lock") + " (waited 100 ms)"));
  EXPECT_TRUE(run.out.isEmpty());
}

// A driver's own account of the last call that failed.
struct Accounts : DriverDiagnostics {
  explicit Accounts(std::shared_ptr<FaultyD2xx> calls) : driver(std::move(calls)) {}
  std::string LastErrorText() const override {
    const auto& calls = driver->Calls();
    const auto failed = std::find_if(calls.rbegin(), calls.rend(),
                                     [](const FaultyD2xx::Made& m) { return m.status != FT_OK; });
    return failed == calls.rend() ? std::string() : failed->function + " failed";
  }
  bool PermissionRefused() const override { return false; }
  std::shared_ptr<FaultyD2xx> driver;
};

TEST_F(CtlTest, ALinkFailureCarriesTheDriversAccountOfTheCallThatFailedFirst) {
  auto tester = std::make_shared<SimulatedTester>();
  auto driver = std::make_shared<FaultyD2xx>(tester);
  // Unplugged after the request for program 1: the next tick's queue check fails, and the
  // same tick's write of the request for program 2 fails after it.
  driver->AfterWrites(2, [&t = *tester] { t.Unplug(); });
  const CtlRun run = RunCtl({"download"}, [&](const BackendOptions&) {
    return Backend{driver, tester, std::make_shared<Accounts>(driver), {}};
  });
  EXPECT_THAT(run, Ended(4, "FT_GetQueueStatus - General IO Error (FT_GetQueueStatus failed)"));
}

}  // namespace
