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

TEST(Transport, DriverFailuresInATickRaiseUsbErrorAndMarkTheLinkDown) {
  struct Case {
    const char* function;
    FT_STATUS status;
    const char* error;
  };
  const Case cases[] = {
      {"FT_GetQueueStatus", FT_IO_ERROR, "UsbError(FT_GetQueueStatus - General IO Error)"},
      {"FT_Read", FT_INVALID_HANDLE, "UsbError(FT_Read - Invalid Handle)"},
      {"FT_Write", FT_FAILED_TO_WRITE_DEVICE, "UsbError(FT-Write - Failed to write Device)"},
      {"FT_Write", 19, "UsbError()"},
  };
  for (const Case& c : cases) {
    LinkHarness h;
    h.Connect();
    h.driver->rx = "(*)";
    h.link.TXQuery();
    h.driver->FailNext(c.function, c.status);
    h.link.PollingTimer_Timer();
    EXPECT_TRUE(h.events.contains(c.error))
        << c.function << ": " << h.events.join(" ").toStdString();
    EXPECT_FALSE(h.link.Connected()) << c.function;
    // The frame queued before the failure still left in that tick.
    EXPECT_TRUE(h.events.contains("TXData((?))")) << c.function;
  }
}

TEST(Transport, FailedWriteIsResentBeforeTheNextFrame) {
  LinkHarness h;
  h.Connect();
  h.driver->FailNext("FT_Write", FT_IO_ERROR);
  h.link.TXQuery();
  h.link.PollingTimer_Timer();
  EXPECT_EQ(h.events, QStringList({"UsbError(FT-Write - General IO Error)", "TXData((?))"}));
  // The link is down; a later send (here through Disconnect) carries the old frame first.
  h.events.clear();
  h.link.SendDataAndPoll("(L)", 0);
  EXPECT_EQ(h.driver->writes.back(), "(?)(L)");
  EXPECT_EQ(h.events.first(), "TXData((L))");
}

TEST(Transport, PartialWriteSendsExactlyTheUnsentCharactersNext) {
  LinkHarness h;
  h.Connect();
  h.driver->writes.clear();
  h.driver->WriteOnlyNext(2);
  h.link.TXGetFirmwareVersion();
  h.link.TXGetSerialNumber();
  h.link.PollingTimer_Timer();
  h.link.PollingTimer_Timer();
  ASSERT_EQ(h.driver->writes.size(), 2u);
  EXPECT_EQ(h.driver->writes[0], "(M");
  EXPECT_EQ(h.driver->writes[1], "V1)(MS1)");
  EXPECT_EQ(h.driver->AllWritten(), "(MV1)(MS1)");
}

TEST(Transport, ReadsNeverAskForMoreThanTheBufferHolds) {
  LinkHarness h;
  h.Connect();
  // 1500 bytes waiting: a first tick takes 1024, the rest arrives with the next tick.
  h.driver->rx = std::string(1490, 'n') + "(MV101.02)";
  h.link.PollingTimer_Timer();
  EXPECT_EQ(h.driver->lastReadWanted, 1024);
  EXPECT_FALSE(h.events.contains("RXFirmwareVersion(01.02)"));
  h.link.PollingTimer_Timer();
  EXPECT_EQ(h.driver->lastReadWanted, 476);
  EXPECT_TRUE(h.events.contains("RXFirmwareVersion(01.02)"));
}

TEST(Transport, PendingOutputNeverRunsPastTheBuffer) {
  LinkHarness h;
  h.Connect();
  // Every write fails: pending characters pile up until the next frame would not fit.
  for (int i = 0; i < 400; ++i) {
    h.driver->FailNext("FT_Write", FT_IO_ERROR);
    h.link.SendDataAndPoll("(MS1)", 0);
  }
  h.link.SendDataAndPoll("(MV1)", 0);
  const std::string last = h.driver->writes.back();
  EXPECT_LE(last.size(), 1024u);
  EXPECT_EQ(last.substr(last.size() - 5), "(MV1)");
}

TEST(Transport, DescriptionFillingTheWholeBufferIsTakenWhole) {
  LinkHarness h;
  const std::string fifty(50, 'D');
  h.driver->descriptions = {fifty, "VELD32"};
  h.link.OpenDevice();
  // Not matched, and no read past the buffer (the sanitizers watch this).
  EXPECT_TRUE(h.link.Connected());
  EXPECT_EQ(h.driver->calls[0], "FT_ListDevicesCount");
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
