#include <gtest/gtest.h>

#include "device_link/ft_status.h"
#include "device_link/permission_advising_driver.h"
#include "tests/device_link/link_harness.h"

namespace {

TEST(FtErrorText, LabelFollowedByStatusTextAndEmptyOutsideTheTable) {
  const std::pair<FT_STATUS, const char*> cases[] = {
      {1, "FT_Read - Invalid Handle"},
      {4, "FT_Read - General IO Error"},
      {10, "FT_Read - Failed to write Device"},
      {17, "FT_Read - not supported"},
      {18, "FT_Read - other error"},
      {19, ""},
      {0, ""},
      {-1, ""},
  };
  for (auto [status, text] : cases) EXPECT_EQ(FtErrorText("FT_Read", status), text) << status;
}

// A backend that says whether its last failure was a refused permission.
class Refusing : public DriverDiagnostics {
 public:
  bool refused = false;
  std::string LastErrorText() const override { return "usb_open() failed"; }
  bool PermissionRefused() const override { return refused; }
};

TEST(PermissionAdvice, OnlyARefusedPermissionBringsTheUdevAdviceBeforeTheLinkSeesTheFailure) {
  auto driver = std::make_shared<ScriptedD2xx>();
  auto diagnostics = std::make_shared<Refusing>();
  std::vector<std::string> advice;
  auto advising = std::make_shared<PermissionAdvisingDriver>(
      driver, diagnostics, [&](const std::string& text) { advice.push_back(text); });
  ctlVELD32UsbComm link(advising);
  QStringList errors;
  QObject::connect(&link, &ctlVELD32UsbComm::UsbError, [&](const QString& e) {
    errors << e;
    EXPECT_EQ(advice.size(), diagnostics->refused ? 1u : 0u);
  });
  for (bool refused : {false, true}) {
    diagnostics->refused = refused;
    advice.clear();
    driver->FailNext("FT_Open", FT_DEVICE_NOT_OPENED);
    link.OpenDevice();
    ASSERT_EQ(advice.size(), refused ? 1u : 0u);
  }
  EXPECT_EQ(errors.size(), 2);
  EXPECT_NE(advice.front().find("packaging/60-veld32.rules"), std::string::npos);
  link.OpenDevice();
  EXPECT_TRUE(link.Connected());
  EXPECT_EQ(advice.size(), 1u);
}

}  // namespace
