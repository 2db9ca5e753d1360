#include "backend_options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "libftdi_backend.h"

using ::testing::HasSubstr;

namespace {
TEST(BackendOptions, TakeTheirOwnArgumentsTheLastOneCountingAndLeaveTheRest) {
  using K = BackendKind;
  const K kDefault = BackendOptions::DefaultBackendKind();
  const struct {
    std::vector<std::string> arguments;
    K kind;
    std::string libraryPath;
    std::vector<std::string> remaining;
    std::string error;  // a part of it; empty: none
  } cases[] = {
      {{"veld32", "--backends-listed"}, kDefault, "", {"veld32", "--backends-listed"}, ""},
      {{"veld32", "--simulate", "/kovda"}, K::Simulated, "", {"veld32", "/kovda"}, ""},
      {{"--simulate", "--backend=libftdi"}, K::Libftdi, "", {}, ""},
      {{"--backend=d2xx:/x.so", "-platform"}, K::D2xxLibrary, "/x.so", {"-platform"}, ""},
      {{"--backend=d2xx:/x.so", "--backend=d2xx"}, K::D2xxLibrary, "", {}, ""},
      {{"--backend=d2xx:"}, kDefault, "", {}, "Unknown backend 'd2xx:'"},
      {{"--backend"}, kDefault, "", {}, "--backend needs a value"},
  };
  for (const auto& c : cases) {
    const BackendArguments parsed = ParseBackendOptions(c.arguments);
    const std::string first = c.arguments.front();
    EXPECT_EQ(parsed.options.kind, c.kind) << first;
    EXPECT_EQ(parsed.options.libraryPath, c.libraryPath) << first;
    EXPECT_EQ(parsed.remaining, c.remaining) << first;
    EXPECT_EQ(parsed.error.empty(), c.error.empty()) << first;
    EXPECT_THAT(parsed.error, HasSubstr(c.error));
  }
}

TEST(CreateBackend, GivesLibftdiWithItsDiagnosticsAndAMissingLibraryAsAnError) {
  const Backend libftdi = CreateBackend({BackendKind::Libftdi, {}});
  ASSERT_NE(libftdi.driver, nullptr);
  EXPECT_EQ(dynamic_cast<D2xx*>(libftdi.diagnostics.get()), libftdi.driver.get());
  const Backend missing = CreateBackend({BackendKind::D2xxLibrary, "/nonexistent/ftd2xx.so"});
  EXPECT_EQ(missing.driver, nullptr);
  EXPECT_THAT(missing.error, HasSubstr("D2XX library unavailable"));
  EXPECT_THAT(missing.error, HasSubstr("/nonexistent/ftd2xx.so"));
}

// The rule file the permission advice names lets the user open every bridge libftdi lists.
TEST(UdevRule, GrantsTheSeatAndPlugdevEveryListedBridgeAndKeepsModemManagerAway) {
  EXPECT_THAT(PermissionHint(), HasSubstr(std::string(kUdevRuleSource)));
  std::ifstream file(std::string(VELD32_SOURCE_DIR) + "/" + std::string(kUdevRuleSource));
  std::string usbRule;
  for (std::string line; std::getline(file, line);) {
    if (line.starts_with("SUBSYSTEM==\"usb\"")) usbRule = line;
  }
  std::vector<std::string> parts{"TAG+=\"uaccess\"", "MODE=\"0660\"", "GROUP=\"plugdev\"",
                                 "ENV{ID_MM_DEVICE_IGNORE}=\"1\"", "ATTR{idVendor}==\"0403\""};
  for (int product : kFtdiProductIds) {
    char id[8];
    std::snprintf(id, sizeof id, "%04x", product);
    parts.push_back(id);
  }
  for (const std::string& part : parts) EXPECT_THAT(usbRule, HasSubstr(part));
}
}  // namespace
