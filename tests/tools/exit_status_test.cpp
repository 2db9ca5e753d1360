#include <functional>
#include <string>

#include "ctl_runner.h"

namespace {

// A simulated tester that counts the opens, may garble every write on its way in (line noise),
// and runs a fault once right after a given write reached it (the handshake is the first).
class FaultyTester : public SimulatedTester {
 public:
  void After(int writes, std::function<void()> then) {
    faultAfter = writes;
    fault = std::move(then);
  }
  FT_STATUS FT_Open(std::int32_t index, std::int32_t& handle) override {
    ++opens;
    return SimulatedTester::FT_Open(index, handle);
  }
  FT_STATUS FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                     std::int32_t& written) override {
    std::string bytes(buffer, static_cast<std::size_t>(count));
    if (garble) garble(bytes);
    const FT_STATUS status = SimulatedTester::FT_Write(
        handle, bytes.data(), static_cast<std::int32_t>(bytes.size()), written);
    if (status == FT_OK && --faultAfter == 0) fault();
    return status;
  }

  int opens = 0;
  std::function<void(std::string&)> garble;
  int faultAfter = 0;
  std::function<void()> fault;
};

struct ExitCase {
  QStringList arguments;
  int status;
  QString error;  // what standard error names
  int opens = 0;  // a bad command line or file, or failed limits, never reach the tester
  std::function<void(FaultyTester&)> setup = {};
};

TEST_F(CtlTest, EachFailureExitsWithItsStatusAndNamesItsCause) {
  const QString noSections = Write("notes.vap", "[Notes]\r\nCurrent=20\r\n");
  const QString wrongKind = Write("one.vsp", kThreePrograms);
  const QString three = Write("three.vap", kThreePrograms);
  QByteArray equalLimits = kThreePrograms;
  const QString equal = Write("equal.vap", equalLimits.replace("Fail=1000\r\n", "Fail=999\r\n"));
  QByteArray refused = kThreePrograms;
  const QString notApplied =
      Write("refused.vap",
            refused.replace("PulseWidth=200", "PulseWidth=2000").replace("Pass=12", "Pass=1999"));
  QByteArray limits = kThreePrograms;
  const QString refusedLimit = Write("limits.vap", limits.replace("Pass=999", "Pass=1000"));
  const auto unplugged = [](FaultyTester& t) { t.Unplug(); };
  // Unplugged after the handshake and the request for program 1.
  const auto lostMidway = [](FaultyTester& t) { t.After(2, [&t] { t.Unplug(); }); };
  // Acknowledges the handshake, then answers nothing.
  const auto silent = [](FaultyTester& t) { t.After(1, [&t] { t.SetSilent(true); }); };
  // The write of program 2 arrives with its pass limit off by one.
  const auto garbled = [](FaultyTester& t) {
    t.garble = [](std::string& bytes) {
      if (bytes.starts_with("(MP02,")) bytes.replace(bytes.find(",0150,"), 6, ",0151,");
    };
  };
  const ExitCase cases[] = {
      {{"--simulate"}, 2, "No command given"},
      {{"flash"}, 2, "Unknown command 'flash'"},
      {{"upload"}, 2, "Command upload needs a FILE"},
      {{"show", "a.vap", "b.vap"}, 2, "Unexpected argument 'b.vap'"},
      {{"--interval=0", "info"}, 2, "--interval needs"},
      {{"--timeout=soon", "info"}, 2, "--timeout needs"},
      {{"upload", "a.vsp", "--program=4"}, 2, "--program needs"},
      {{"upload", "a.vap", "--program=2"}, 2, "Option --program applies"},
      {{"show", "a.vap", "-o", "b.vap"}, 2, "Option -o belongs"},
      {{"download", "-o"}, 2, "Option -o needs"},
      {{"--backend=serial", "info"}, 2, "Unknown backend 'serial'"},
      {{"--simulate=", "info"}, 2, "--simulate= needs"},
      {{"--force", "info"}, 2, "Unknown option '--force'"},
      {{"show", Path("missing.vap")}, 5, "Cannot read "},
      {{"upload", noSections}, 5, "The file notes.vap holds no settings of section [Program3]."},
      {{"upload", wrongKind}, 5, "The file one.vsp holds no settings of section [Program]."},
      {{"download", "-o", Path("no-such-folder/out.vap")}, 5, "could not be written", 1},
      {{"check", equal}, 1, "Program3: pass 999 ohms is not below fail 999 ohms\n"},
      {{"upload", equal}, 1, "not below fail 999 ohms, nothing uploaded\n"},
      // Keys the editor does not apply: one line per key, and nothing reaches the tester.
      {{"upload", notApplied},
       1,
       "veld32ctl: Program 1: PulseWidth=2000 not applied (50 to 500 us at 20 mA), nothing "
       "uploaded\nveld32ctl: Program 1: Pass=1999 not applied (1 to 999 ohms), nothing uploaded\n"},
      {{"check", refusedLimit}, 1, "Program 3: Pass=1000 not applied (1 to 999 ohms)\n"},
      {{"show", "a.vap", "--lenient"}, 2, "Option --lenient belongs to upload and check"},
      {{"upload", three},
       1,
       "Program2 not confirmed: Pass sent 150 ohms, held 151 ohms\n",
       1,
       garbled},
      {{"download"}, 3, "No tester found: no FTDI device is described \"VELD32\"", 0, unplugged},
      {{"list"}, 3, "No tester found: no FTDI device is attached", 0, unplugged},
      {{"download"}, 4, "Link failure: FT_GetQueueStatus - General IO Error\n", 1, lostMidway},
      {{"--timeout=150", "download"}, 4, "within 150 ms: no program values (0 of 3", 1, silent},
  };
  for (const ExitCase& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    auto tester = std::make_shared<FaultyTester>();
    if (c.setup) c.setup(*tester);
    const CtlRun run = RunCtl(c.arguments, Attached(tester));
    EXPECT_EQ(run.status, c.status);
    EXPECT_TRUE(run.err.startsWith("veld32ctl: ") && run.err.contains(c.error))
        << run.err.toStdString();
    EXPECT_EQ(tester->opens, c.opens);
  }
}

}  // namespace
