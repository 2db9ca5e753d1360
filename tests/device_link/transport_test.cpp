#include <gtest/gtest.h>

#include "device_link/ft_status.h"
#include "device_link/permission_advising_driver.h"
#include "device_link/serialized_d2xx.h"
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

// A wrapper that leaves out a call hands the link the seam's default instead of the driver's
// answer (a missing FT_ListDevicesSerialNumber loses the USB serial the status bar names).
TEST(DriverWrappers, PassEveryCallOnToTheWrappedDriver) {
  using Wrap = std::function<std::shared_ptr<D2xx>(std::shared_ptr<ScriptedD2xx>)>;
  const std::pair<const char*, Wrap> wrappers[] = {
      {"PermissionAdvisingDriver",
       [](std::shared_ptr<ScriptedD2xx> driver) {
         return std::make_shared<PermissionAdvisingDriver>(driver, nullptr,
                                                           [](const std::string&) {});
       }},
      {"SerializedD2xx",
       [](std::shared_ptr<ScriptedD2xx> driver) {
         return std::make_shared<SerializedD2xx>(driver, nullptr);
       }},
  };
  std::int32_t value = 0;
  char buffer[kDescriptionBufferSize] = {};
  const std::pair<const char*, std::function<FT_STATUS(D2xx&)>> calls[] = {
      {"FT_ListDevicesCount", [&](D2xx& d) { return d.FT_ListDevicesCount(value); }},
      {"FT_ListDevicesDescription",
       [&](D2xx& d) { return d.FT_ListDevicesDescription(0, buffer); }},
      {"FT_ListDevicesSerialNumber",
       [&](D2xx& d) { return d.FT_ListDevicesSerialNumber(0, buffer); }},
      {"FT_Open", [&](D2xx& d) { return d.FT_Open(0, value); }},
      {"FT_GetQueueStatus", [&](D2xx& d) { return d.FT_GetQueueStatus(1, value); }},
      {"FT_Read", [&](D2xx& d) { return d.FT_Read(1, buffer, 1, value); }},
      {"FT_Write", [&](D2xx& d) { return d.FT_Write(1, "(*)", 3, value); }},
      {"FT_SetLatencyTimer", [&](D2xx& d) { return d.FT_SetLatencyTimer(1, 2); }},
      {"FT_SetBaudRate", [&](D2xx& d) { return d.FT_SetBaudRate(1, 9600); }},
      {"FT_SetBitMode", [&](D2xx& d) { return d.FT_SetBitMode(1, 0, 0); }},
      {"FT_Close", [&](D2xx& d) { return d.FT_Close(1); }},
  };
  for (const auto& [wrapperName, wrap] : wrappers) {
    for (const auto& [callName, call] : calls) {
      auto driver = std::make_shared<ScriptedD2xx>();
      driver->serialNumbers = {"SIM0001"};
      // A status no wrapper and no default makes up.
      driver->FailNext(callName, FT_EEPROM_NOT_PRESENT);
      const std::shared_ptr<D2xx> wrapper = wrap(driver);
      EXPECT_EQ(call(*wrapper), FT_EEPROM_NOT_PRESENT) << wrapperName << " " << callName;
      EXPECT_EQ(driver->calls, std::vector<std::string>{callName})
          << wrapperName << " " << callName;
    }
  }
}

}  // namespace
