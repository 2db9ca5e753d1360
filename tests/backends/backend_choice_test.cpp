#include "backends/backend_options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "backends/d2xx_library_backend.h"
#include "backends/simulation_options.h"
#include "device_link/ctlVELD32UsbComm.h"
#ifdef VELD32_WITH_LIBFTDI
#include "backends/libftdi_backend.h"
#endif
#include "tests/backends/fake_ftd2xx.h"
#include "tests/support/scripted_d2xx.h"

using ::testing::AllOf;
using ::testing::HasSubstr;

namespace {

// The backend a command line chooses, as the programs parse it; the first error.
BackendChoice Choose(const QStringList& arguments, SimulationOptions* simulation = nullptr) {
  const SimulateArguments simulate = TakeSimulateOptions(arguments);
  OptionParser parser;
  AddBackendOptions(parser);
  AddSimulationOptions(parser);
  if (!parser.Parse(simulate.remaining)) return {{}, parser.Error()};
  BackendChoice choice = ReadBackendOptions(parser, simulate);
  const SimulationArguments read = ReadSimulationOptions(parser);
  if (simulation != nullptr) *simulation = read.options;
  if (choice.error.isEmpty()) choice.error = read.error;
  return choice;
}

// The backend options and the simulated testers' options: the last one counts, and a value not
// understood is an error. The testers' impedance and speed are those of every simulated tester.
TEST(BackendOptions, TheLastOneCountsAndAValueNotUnderstoodIsAnError) {
  using K = BackendKind;
  const K kDefault = BackendOptions::DefaultBackendKind();
  const QString ohms = "--simulate-impedance needs whole ohms from 0 to 9999";
  const QString speed = "--simulate-speed needs a factor above 0 and at most 1000000";
  const QStringList two = {"--simulate", "--simulate"};
  const struct {
    QStringList arguments;
    K kind;
    std::string libraryPath;
    QString error;  // a part of it; empty: none
    int simulatedTesters = 1;
    std::int16_t ohms = 100;
    double speed = 1;
  } cases[] = {
      {{}, kDefault, "", "", 1},
      {{"--simulate"}, K::Simulated, "", "", 1},
      {{"--simulate", "--backend=libftdi"}, K::Libftdi, "", "", 1},
      {{"--backend=d2xx:/x.so"}, K::D2xxLibrary, "/x.so", "", 1},
      {{"--backend=d2xx:/x.so", "--backend=d2xx"}, K::D2xxLibrary, "", "", 1},
      {{"--backend=d2xx:"}, kDefault, "", "Unknown backend 'd2xx:'", 1},
      {{"--backend"}, kDefault, "", "--backend needs a value", 1},
      {{"--backends-listed"}, kDefault, "", "Unknown option '--backends-listed'", 1},
      {{"--simulate", "--simulate", "--simulate"}, K::Simulated, "", "", 3},
      {{"--simulate", "--backend=libftdi", "--simulate"}, K::Simulated, "", "", 1},
      {two + QStringList{"--simulate-impedance=0"}, K::Simulated, "", "", 2, 0},
      {two + QStringList{"--simulate-impedance=9999", "--simulate-speed=1000000"}, K::Simulated, "",
       "", 2, 9999, 1e6},
      {two + QStringList{"--simulate-speed=0.5"}, K::Simulated, "", "", 2, 100, 0.5},
      {two + QStringList{"--simulate-impedance=10000"}, K::Simulated, "", ohms, 2},
      {two + QStringList{"--simulate-impedance=-1"}, K::Simulated, "", ohms, 2},
      {two + QStringList{"--simulate-impedance=12ohm"}, K::Simulated, "", ohms, 2},
      {two + QStringList{"--simulate-speed=0"}, K::Simulated, "", speed, 2},
      {two + QStringList{"--simulate-speed=1000001"}, K::Simulated, "", speed, 2},
      {two + QStringList{"--simulate-speed=inf"}, K::Simulated, "", speed, 2},
  };
  for (const auto& c : cases) {
    SimulationOptions simulation;
    const BackendChoice parsed = Choose(c.arguments, &simulation);
    const std::string line = c.arguments.join(u' ').toStdString();
    const BackendOptions& o = parsed.options;
    EXPECT_EQ(std::tuple(o.kind, o.libraryPath, o.simulatedTesters, parsed.error.isEmpty()),
              std::tuple(c.kind, c.libraryPath, c.simulatedTesters, c.error.isEmpty()))
        << line;
    EXPECT_TRUE(parsed.error.contains(c.error)) << parsed.error.toStdString();
    Backend backend = CreateBackend(parsed.options);
    ApplySimulationOptions(simulation, backend);  // with nothing to apply to a real driver
    if (c.kind != K::Simulated) continue;
    for (int tester = 0; tester < c.simulatedTesters; ++tester) {
      EXPECT_EQ(backend.simulator->Tester(tester).impedanceOhms, c.ohms) << line;
      EXPECT_EQ(backend.simulator->Tester(tester).speed, c.speed) << line;
    }
  }
}

TEST(CreateBackend, GivesLibftdiWhereBuiltAndAnUnavailableLibraryAsAnErrorSayingWhy) {
  const Backend libftdi = CreateBackend({BackendKind::Libftdi, {}});
#ifdef VELD32_WITH_LIBFTDI
  ASSERT_NE(libftdi.driver, nullptr);
  EXPECT_EQ(dynamic_cast<D2xx*>(libftdi.diagnostics.get()), libftdi.driver.get());
#else
  EXPECT_EQ(libftdi.driver, nullptr);
  EXPECT_THAT(libftdi.error, HasSubstr("no libftdi1 backend"));
#endif
  const struct {
    std::string path;
    std::string why;
    bool advisesDriver;  // a library missing altogether: FTDI's driver package is the remedy
  } unavailable[] = {{"/nonexistent/ftd2xx.dll", "cannot load /nonexistent/ftd2xx.dll", true},
                     {FAKE_FTD2XX_INCOMPLETE_PATH, "has no function FT_SetBitMode", false}};
  for (const auto& c : unavailable) {
    const Backend backend = CreateBackend({BackendKind::D2xxLibrary, c.path});
    EXPECT_EQ(backend.driver, nullptr);
    EXPECT_THAT(backend.error, AllOf(HasSubstr("D2XX library unavailable"), HasSubstr(c.why)));
    EXPECT_EQ(backend.error.find("install FTDI's") != std::string::npos, c.advisesDriver)
        << backend.error;
  }
}

// Without a path the platform's loader looks for the library's own name along its search
// order, where this test program carries the stand-in.
TEST(CreateBackend, FindsTheD2xxLibraryByItsOwnNameWithoutAPath) {
  FakeFtd2xxDriver() = std::make_shared<ScriptedD2xx>();
  const Backend backend = CreateBackend(Choose({"--backend=d2xx"}).options);
  ASSERT_NE(backend.driver, nullptr) << backend.error;
  std::int32_t n = 0;
  EXPECT_EQ(backend.driver->FT_ListDevicesCount(n), FT_OK);
  EXPECT_EQ(n, 1);
  FakeFtd2xxDriver().reset();
}

#ifdef VELD32_WITH_LIBFTDI
// The udev rule lets the user at the seat, or plugdev, open the tester on every bridge the
// libftdi backend lists, keeps ModemManager away from its serial port, and touches no device
// that does not describe itself as the tester.
TEST(UdevRule, GrantsTheSeatAndPlugdevTheTesterAloneAndKeepsModemManagerAway) {
  std::ifstream file(std::string(VELD32_SOURCE_DIR) + "/" + std::string(kUdevRuleSource));
  std::string usbRule;
  std::string ttyRule;
  const std::regex product(R"re(ATTRS?\{product\}=="([^"]*)")re");
  for (std::string line; std::getline(file, line);) {
    if (!line.starts_with("SUBSYSTEM==")) continue;
    std::smatch match;
    EXPECT_TRUE(std::regex_search(line, match, product) &&
                ctlVELD32UsbComm::IsTesterDescription(match[1].str()))
        << line;
    if (line.starts_with("SUBSYSTEM==\"usb\"")) usbRule = line;
    if (line.starts_with("SUBSYSTEM==\"tty\"")) ttyRule = line;
  }
  std::vector<std::string> parts{"TAG+=\"uaccess\"",         "MODE=\"0660\"",
                                 "GROUP=\"plugdev\"",        "ENV{ID_MM_DEVICE_IGNORE}=\"1\"",
                                 "ATTR{idVendor}==\"0403\"", "ATTR{product}=="};
  for (int id : kFtdiProductIds) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", id);
    parts.push_back(text);
    EXPECT_THAT(ttyRule, HasSubstr(text));
  }
  for (const std::string& part : parts) EXPECT_THAT(usbRule, HasSubstr(part));
  for (const char* part :
       {"ENV{ID_MM_DEVICE_IGNORE}=\"1\"", "ATTRS{idVendor}==\"0403\"", "ATTRS{product}=="})
    EXPECT_THAT(ttyRule, HasSubstr(part));
}
#endif

}  // namespace
