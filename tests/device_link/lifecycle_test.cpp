#include <gtest/gtest.h>

#include "device_link/ft_status.h"
#include "device_link/serialized_d2xx.h"
#include "tests/device_link/link_harness.h"

namespace {

// A script run on a fresh link, with the lines it leaves, the link's summary last.
struct Script {
  std::string steps;
  QStringList lines;
};

void ExpectScripts(std::initializer_list<Script> scripts) {
  for (const Script& c : scripts) {
    LinkHarness h;
    h.Run(c.steps);
    h.events << h.Summary();
    EXPECT_EQ(h.events, c.lines) << c.steps;
    EXPECT_EQ(h.link.Status().connectPressed, h.link.Status().state == LinkState::Connected);
  }
}

const QString kHandshake = "TXData((*)) connecting";
const QString kAcknowledged = "RXData((*))";
const QString kConnected = "UsbConnected(4660)";  // the scripted driver's handle, 0x1234
const QString kUp = "Connected up: ";
const QString kOpenError = "UsbError(Error Opening Port)";

// Each point where an open can fail, with the text it reports and whether it gave the device
// back; a successful open sets the device up for the tester.
TEST(OpenDevice, EachFailurePointReportsItsTextRaisesItsEventsAndReleasesTheDevice) {
  ExpectScripts({
      {"fail=FT_ListDevicesCount:4 open closes", {"closes 0", "Failed: !No devices found"}},
      {"devices= open closes", {"closes 0", "Failed: !No devices found"}},
      {"fail=FT_ListDevicesDescription:4 open closes", {kOpenError, "closes 0", "Failed: "}},
      {"fail=FT_Open:4 open closes", {kOpenError, "closes 0", "Failed: !Open failed"}},
      {"fail=FT_GetQueueStatus:4 open closes", {kOpenError, "closes 1", "Failed: !Command failed"}},
      {"fail=FT_SetLatencyTimer:4 open closes",
       {kOpenError, "closes 1", "Failed: !Latency failed"}},
      {"fail=FT_SetBaudRate:4 open closes", {kOpenError, "closes 1", "Failed: !Baud Rate failed"}},
      {"fail=FT_SetBitMode:4 open closes", {kOpenError, "closes 1", "Failed: !Reset failed"}},
      {"ack= open closes", {kHandshake, "closes 1", "Failed: !No ACK Received"}},
      {"ack=(*)x open closes",
       {kHandshake, "RXData((*)x)", "closes 1", "Failed: !No ACK Received"}},
      {"open closes setup",
       {kHandshake, kAcknowledged, kConnected, "closes 0", "16 ms, 19200 Bd, bits 0/0", kUp}},
      // Open while connected closes first, and a failed close is an opening error.
      {"up fail=FT_Close:4 open", {kOpenError, "Failed: !Close attempt failed"}},
      {"ack= open ack=(*) clear open", {kHandshake, kAcknowledged, kConnected, kUp}},
      // Stale bytes that cannot be read: the device is given back.
      {"rx=(*) fail=FT_Read:4 open probe",
       {kOpenError, "down released", "Failed: !Command failed"}},
      // A refused permission brings the udev advice before the link sees the failure; a driver
      // that cannot tell serial numbers is no failure to advise on.
      {"refused fail=FT_Open:3 open open",
       {"advice", kOpenError, kHandshake, kAcknowledged, kConnected, kUp}},
  });
}
// Without a chosen USB serial number the first exact description wins; with one, the first
// exact description with that serial number. A driver that cannot tell serial numbers (none
// listed) still opens the first tester, and matches no choice.
TEST(OpenDevice, TheFirstExactDescriptionWithTheChosenSerialNumberWins) {
  const auto opened = [](const char* what) {
    return QStringList{kHandshake, kAcknowledged, kConnected, QString("opened ") + what, kUp};
  };
  const QStringList none = {"opened -1 ", "Failed: !No devices found"};
  const std::string three = "devices=VELD32,VELD32,VELD32 serials=FT0A,FT0B,FT0C ";
  ExpectScripts({
      {"devices=FT232R_USB_UART,VELD32,VELD32 open opened", opened("1 ")},
      {"devices=veld32 open opened", none},
      {"devices=VELD32_ open opened", none},
      {"devices=VELD3 open opened", none},
      {three + "open opened", opened("0 FT0A")},
      {three + "choose=FT0B open opened", opened("1 FT0B")},
      {three + "choose=FT0C open opened", opened("2 FT0C")},
      {three + "choose=FT0 open opened", none},
      {"devices=FT232R_USB_UART,VELD32 serials=FT0A,FT0B choose=FT0A open opened", none},
      {"devices=VELD32,VELD32,VELD32 choose=FT0A open opened", none},
      // Taken whole, and not read past (the sanitizers watch this).
      {"devices=" + std::string(50, 'D') + ",VELD32 open opened", opened("1 ")},
  });
}

// The polling, sending, reading and closing paths.
TEST(Lifecycle, EachScriptRaisesItsEventsAndLeavesItsStatus) {
  const QString closeFailed = "UsbError(FT_Close - General IO Error)";
  // The tester has "(*)" waiting and the link a query and a data request queued when a call
  // fails in a tick: the query still leaves in that tick, and the ticks after it call nothing.
  const auto inTick = [&](const std::string& fail) {
    return "up rx=(*) query data fail=" + fail + " tick forget tick tick calls";
  };
  ExpectScripts({
      {"up fail=FT_Close:4 close", {closeFailed, "Failed: !Close attempt failed"}},
      {"up busy disconnect", {"UsbClosed", "Closed: USB Port Closed"}},
      {"query disconnect writes",
       {"UsbError(FT_Close - Invalid Handle)", "Failed: !Close attempt failed"}},
      {"up deactivate closes polling", {"closes 1", "not polling 150", kUp}},
      {"up fail=FT_Close:4 deactivate", {closeFailed, "Failed: !Close attempt failed"}},
      {"up forget rx=(* tick rx=) fail=FT_GetQueueStatus:4 tick calls=FT_Read",
       {"UsbError(FT_GetQueueStatus - General IO Error)", "calls 1",
        "Failed: !FT_GetQueueStatus - General IO Error"}},
      // Every position a read filled is cleared, also when unfinished text stood before it; a
      // failed read then finds NULs, not the old frame.
      {"up rx=xxxx tick rx=(*) tick rx=(*) fail=FT_Read:4 send=(?)",
       {"RXData((*))", "RXIdle", "TXData((?))", "UsbError(FT_Read - General IO Error)",
        "RXData(\\0\\0\\0)", "=\\0\\0\\0", "Failed: !FT_Read - General IO Error"}},
      {"up fail=FT_Read:4 send=(*)",
       {"TXData((*))", "UsbError(FT_Read - General IO Error)", "RXData(\\0\\0\\0)", "=\\0\\0\\0",
        "Failed: !FT_Read - General IO Error"}},
      {"up rx=(MV1 tick open clear rx=01.02) tick", {kUp}},  // an open empties what was unfinished
      {"up send=(?) polling", {"TXData((?))", "=", "polling 150", kUp}},
      // Only positive intervals change the polling's; an open starts it at the one set.
      {"interval=0 interval=-5 polling interval=500 open polling",
       {"not polling 150", kHandshake, kAcknowledged, kConnected, "polling 500", kUp}},
      {"up mp=1 mp=2 mp=3 tick | tick | tick",
       {"TXData((MP11))", "|", "TXData((MP12))", "|", "TXData((MP13))", kUp}},
      {"up rx=(MV1 tick | rx=01.02) tick",
       {"|", "RXData((MV101.02))", "RXFirmwareVersion(01.02)", kUp}},
      {"fw tick | open tick", {"|", kHandshake, kAcknowledged, kConnected, "TXData((MV1))", kUp}},
      {inTick("FT_GetQueueStatus:4"),
       {"UsbError(FT_GetQueueStatus - General IO Error)", "TXData((?))", "calls 0",
        "Failed: !FT_GetQueueStatus - General IO Error"}},
      {inTick("FT_Read:1"),
       {"UsbError(FT_Read - Invalid Handle)", "TXData((?))", "calls 0",
        "Failed: !FT_Read - Invalid Handle"}},
      {inTick("FT_Write:10"),
       {"RXData((*))", "RXIdle", "UsbError(FT-Write - Failed to write Device)", "TXData((?))",
        "calls 0", "Failed: !FT-Write - Failed to write Device"}},
      {inTick("FT_Write:19"),  // a status past the table
       {"RXData((*))", "RXIdle", "UsbError()", "TXData((?))", "calls 0", "Failed: !"}},
      // The link is down; a later send carries the unsent frame first.
      {"up forget fail=FT_Write:4 query tick send=(L) writes",
       {"UsbError(FT-Write - General IO Error)", "TXData((?))", "TXData((L))", "=", "wrote (?)(L)",
        "Failed: !FT-Write - General IO Error"}},
      {"up forget partial=2 fw sn tick tick writes",
       {"TXData((MV1))", "TXData((MS1))", "wrote (M", "wrote V1)(MS1)", kUp}},
      // 1500 bytes waiting: a first tick takes what the buffer holds, the next the rest.
      {"up rx=nnnnnnnnnn^149 rx=(MV101.02) tick wanted tick wanted",
       {"wanted 1024", "RXData((MV101.02))", "RXFirmwareVersion(01.02)", "wanted 476", kUp}},
      // Every write fails: pending characters pile up until the next frame would not fit.
      {"up fail=FT_Write:4^400 send=(MS1)^400 clear send=(MV1) tail",
       {"TXData((MV1))", "=", "fits, (MV1)", "Failed: !FT-Write - General IO Error"}},
      {"up query data cal disconnect",
       {"TXData((?))", "TXData((L))", "TXData((I?))", "UsbClosed", "Closed: USB Port Closed"}},
      {"up rx=(*) send=(*)@-20 send=(L)",  // zero and out-of-range waits end promptly
       {"TXData((*))", "RXData((*)(*))", "=(*)(*)", "TXData((L))", "=", kUp}},
  });
}

// After any lost session a connect works at once, giving the old handle back before listing the
// devices again; what the tester sent before it reaches neither the handshake nor the decoder.
TEST(Recovery, ConnectAfterAnyLostSessionWorksAtOnceAndClosesTheOldHandleFirst) {
  const std::string lost = "clear probe forget connect first closes";
  const QStringList reconnected = {
      "down held", kHandshake, kAcknowledged, kConnected, "first FT_Close", "closes 1", kUp};
  const QStringList fresh = {kHandshake, kAcknowledged, kConnected, "|", kUp};
  ExpectScripts({
      {"up fail=FT_GetQueueStatus:4 tick " + lost, reconnected},
      {"up fail=FT_Read:4 rx=(*) tick " + lost, reconnected},
      {"up fail=FT_Write:4 query tick " + lost, reconnected},
      {"up fail=FT_Close:4 disconnect " + lost, reconnected},
      {"up disconnect rx=(MV101.02) clear connect | tick", fresh},
      {"up disconnect rx=(MV101.02)^300 clear connect | tick", fresh},
  });
}

// Each open waits twice (100 ms before opening, 100 ms for the handshake); a wait that ends
// before half its time is repeated once. The first wait of a reopen runs with polling on; a
// repeated wait suspends it.
TEST(Delay, AWaitThatEndsBeforeHalfItsTimeIsRepeatedOnce) {
  ExpectScripts({
      {"up clock=50 open",
       {"wait, polling", "wait", "TXData((*))", "wait", "wait", kAcknowledged, kConnected, kUp}},
      {"up clock=60 open",
       {"wait, polling", "TXData((*))", "wait", kAcknowledged, kConnected, kUp}},
      // One look ends the inner wait (and with it the outer one), one the handshake wait.
      {"up clock=60 soon=send=(?) open",
       {"TXData((?))", "wait", "=", "TXData((*))", "wait", kAcknowledged, kConnected, kUp}},
      // Code run inside a wait that starts polling does not leave it running when the wait began
      // without it: in a send, and in an open that finds no device, whose first wait ends too
      // early and is repeated with polling suspended.
      {"soon=poll send=(?) polling",
       {"UsbError(FT-Write - Invalid Handle)", "TXData((?))",
        "UsbError(FT_GetQueueStatus - Invalid Handle)", "=", "not polling 150",
        "Failed: !FT_GetQueueStatus - Invalid Handle"}},
      {"clock=40 atwait=2:poll devices= open polling",
       {"wait", "wait", "not polling 150", "Failed: !No devices found"}},
  });
}

// The statuses the scripts above do not meet (1, 4, 10 and 19 they do).
TEST(FtErrorText, LabelFollowedByStatusTextAndEmptyOutsideTheTable) {
  const std::pair<FT_STATUS, const char*> cases[] = {
      {17, "FT_Read - not supported"}, {18, "FT_Read - other error"}, {0, ""}, {-1, ""}};
  for (auto [status, text] : cases) EXPECT_EQ(FtErrorText("FT_Read", status), text) << status;
}

// The driver a bench of links shares answers the questions about its driver's last failure as
// that driver does, and without them has nothing to advise on.
TEST(SerializedDriver, AnswersForItsDriversLastFailure) {
  auto diagnostics = std::make_shared<Refusing>();
  const SerializedD2xx with(std::make_shared<ScriptedD2xx>(), diagnostics);
  const SerializedD2xx without(std::make_shared<ScriptedD2xx>(), nullptr);
  for (const bool refused : {false, true}) {
    diagnostics->refused = refused;
    EXPECT_EQ(with.PermissionRefused(), refused);
  }
  EXPECT_EQ(with.LastErrorText() + '|' + without.LastErrorText(), "usb_open() failed|");
  EXPECT_FALSE(without.PermissionRefused());
}

}  // namespace
