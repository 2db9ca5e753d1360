#include "backend_options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "libftdi_backend.h"

using ::testing::HasSubstr;

namespace {
struct OptionCase {
  std::vector<std::string> arguments;
  BackendKind kind;
  std::string libraryPath;
  std::vector<std::string> remaining;
  std::string errorMentions;  // empty: no error
};

void PrintTo(const OptionCase& c, std::ostream* out) {
  for (const std::string& a : c.arguments) *out << a << ' ';
}

class BackendOptionParsing : public ::testing::TestWithParam<OptionCase> {};

TEST_P(BackendOptionParsing, TakesItsOwnOptionsAndLeavesTheRest) {
  const OptionCase& c = GetParam();
  const BackendArguments parsed = ParseBackendOptions(c.arguments);
  if (c.errorMentions.empty()) {
    EXPECT_EQ(parsed.error, "");
  } else {
    EXPECT_THAT(parsed.error, HasSubstr(c.errorMentions));
  }
  EXPECT_EQ(parsed.options.kind, c.kind);
  EXPECT_EQ(parsed.options.libraryPath, c.libraryPath);
  EXPECT_EQ(parsed.remaining, c.remaining);
}

const BackendKind kDefault = BackendOptions::DefaultBackendKind();

INSTANTIATE_TEST_SUITE_P(
    CommandLines, BackendOptionParsing,
    ::testing::Values(
        OptionCase{{"veld32"}, kDefault, "", {"veld32"}, ""},
        OptionCase{{"veld32", "--simulate", "/kovda"},
                   BackendKind::Simulated,
                   "",
                   {"veld32", "/kovda"},
                   ""},
        OptionCase{{"veld32", "--backend=libftdi"}, BackendKind::Libftdi, "", {"veld32"}, ""},
        OptionCase{{"--backend=d2xx"}, BackendKind::D2xxLibrary, "", {}, ""},
        OptionCase{{"--backend=d2xx:/opt/ftdi/libftd2xx.so.1.4", "-platform", "offscreen"},
                   BackendKind::D2xxLibrary,
                   "/opt/ftdi/libftd2xx.so.1.4",
                   {"-platform", "offscreen"},
                   ""},
        OptionCase{{"--simulate", "--backend=libftdi"}, BackendKind::Libftdi, "", {}, ""},
        OptionCase{{"--backend=libftdi", "--simulate"}, BackendKind::Simulated, "", {}, ""},
        OptionCase{{"--backends-listed"}, kDefault, "", {"--backends-listed"}, ""},
        OptionCase{{"--backend=serial"}, kDefault, "", {}, "Unknown backend 'serial'"},
        OptionCase{{"--backend=d2xx:"}, kDefault, "", {}, "Unknown backend 'd2xx:'"},
        OptionCase{{"--backend"}, kDefault, "", {}, "--backend needs a value"}));

TEST(CreateBackend, TheSimulatedTesterIsTheDriverItself) {
  const Backend backend = CreateBackend({BackendKind::Simulated, {}});
  ASSERT_NE(backend.simulator, nullptr);
  EXPECT_EQ(backend.driver.get(), backend.simulator.get());
  std::int32_t count = 0;
  ASSERT_EQ(backend.driver->FT_ListDevicesCount(count), FT_OK);
  EXPECT_EQ(count, 1);
}

TEST(CreateBackend, LibftdiComesWithDiagnostics) {
  const Backend backend = CreateBackend({BackendKind::Libftdi, {}});
  ASSERT_NE(backend.driver, nullptr);
  ASSERT_NE(backend.diagnostics, nullptr);
  EXPECT_EQ(dynamic_cast<D2xx*>(backend.diagnostics.get()), backend.driver.get());
  EXPECT_EQ(backend.simulator, nullptr);
}

TEST(CreateBackend, AnUnavailableD2xxLibraryIsAnErrorNotADriver) {
  const Backend backend = CreateBackend({BackendKind::D2xxLibrary, "/nonexistent/ftd2xx.so"});
  EXPECT_EQ(backend.driver, nullptr);
  EXPECT_THAT(backend.error, HasSubstr("D2XX library unavailable"));
}

TEST(CreateBackend, LoadsTheD2xxLibraryFromTheGivenPath) {
  const Backend backend = CreateBackend({BackendKind::D2xxLibrary, FAKE_FTD2XX_PATH});
  EXPECT_EQ(backend.error, "");
  EXPECT_NE(backend.driver, nullptr);
}

std::vector<std::string> RuleLines() {
  std::ifstream file(std::string(VELD32_SOURCE_DIR) + "/" + std::string(kUdevRuleSource));
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

TEST(UdevRule, ThePermissionHintNamesTheRuleFileAndWhereItGoes) {
  EXPECT_THAT(PermissionHint(), HasSubstr("packaging/60-veld32.rules"));
  EXPECT_THAT(PermissionHint(), HasSubstr("/etc/udev/rules.d/60-veld32.rules"));
  EXPECT_FALSE(RuleLines().empty()) << "no rule file at " << kUdevRuleSource;
}

TEST(UdevRule, GrantsAccessToEveryBridgeTheLibftdiBackendLists) {
  std::string usbRule;
  for (const std::string& line : RuleLines()) {
    if (line.find("SUBSYSTEM==\"usb\"") != std::string::npos) usbRule = line;
  }
  char vendor[8];
  std::snprintf(vendor, sizeof vendor, "%04x", kFtdiVendorId);
  EXPECT_THAT(usbRule, HasSubstr("ATTR{idVendor}==\"" + std::string(vendor) + "\""));
  for (int product : kFtdiProductIds) {
    char id[8];
    std::snprintf(id, sizeof id, "%04x", product);
    EXPECT_THAT(usbRule, HasSubstr(id)) << "product " << id;
  }
  EXPECT_THAT(usbRule, HasSubstr("TAG+=\"uaccess\""));
  EXPECT_THAT(usbRule, HasSubstr("MODE=\"0660\""));
  EXPECT_THAT(usbRule, HasSubstr("GROUP=\"plugdev\""));
  EXPECT_THAT(usbRule, HasSubstr("ENV{ID_MM_DEVICE_IGNORE}=\"1\""));
}
}  // namespace
