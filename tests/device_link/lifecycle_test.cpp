#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include "tests/device_link/link_harness.h"

namespace {

constexpr qint32 kHandle = 0x1234;

struct OpenCase {
  const char* failingCall;     // fails once with FT_IO_ERROR; nullptr for none
  const char* handshakeReply;  // what the tester answers to "(*)"
  std::vector<std::string> devices;
  QString errorText;
  QStringList events;
  bool handleClosed;
};

TEST(OpenDevice, EachFailurePointReportsItsTextRaisesItsEventsAndReleasesTheDevice) {
  const QString failed = "UsbError(Error Opening Port)";
  const QString connected = QStringLiteral("UsbConnected(%1)").arg(kHandle);
  const std::vector<std::string> tester = {"VELD32"};
  // clang-format off
  const OpenCase cases[] = {
      {"FT_ListDevicesCount",       "(*)",  tester, "No devices found", {},       false},
      {nullptr,                     "(*)",  {},     "No devices found", {},       false},
      {"FT_ListDevicesDescription", "(*)",  tester, "",                 {failed}, false},
      {"FT_Open",                   "(*)",  tester, "Open failed",      {failed}, false},
      {"FT_GetQueueStatus",         "(*)",  tester, "Command failed",   {failed}, true},
      {"FT_SetLatencyTimer",        "(*)",  tester, "Latency failed",   {failed}, true},
      {"FT_SetBaudRate",            "(*)",  tester, "Baud Rate failed", {failed}, true},
      {"FT_SetBitMode",             "(*)",  tester, "Reset failed",     {failed}, true},
      {nullptr,                     "",     tester, "No ACK Received",  {"TXData((*))"}, true},
      {nullptr,                     "(*)x", tester, "No ACK Received",
       {"TXData((*))", "RXData((*)x)"}, true},
      {nullptr,                     "(*)",  tester, "",
       {"TXData((*))", "RXData((*))", connected}, false},
  };
  // clang-format on
  for (const OpenCase& c : cases) {
    LinkHarness h;
    h.driver->descriptions = c.devices;
    h.driver->replies["(*)"] = c.handshakeReply;
    if (c.failingCall) h.driver->FailNext(c.failingCall, FT_IO_ERROR);
    const std::string name = c.failingCall ? c.failingCall : c.errorText.toStdString();
    LinkState whileAsking = LinkState::Closed;
    QObject::connect(&h.link, &ctlVELD32UsbComm::TXData,
                     [&] { whileAsking = h.link.Status().state; });
    EXPECT_EQ(h.link.OpenDevice(), 0);
    EXPECT_EQ(h.events, c.events) << name;
    const LinkStatus& status = h.link.Status();
    const bool up = c.events.contains(connected);
    EXPECT_EQ(status.message, c.errorText) << name;
    EXPECT_EQ(h.link.Connected(), up) << name;
    EXPECT_EQ(!h.driver->closedHandles.empty(), c.handleClosed) << name;
    // A failed open never leaves the link reported up.
    EXPECT_EQ(status.state, up ? LinkState::Connected : LinkState::Failed) << name;
    EXPECT_EQ(status.connectPressed, up) << name;
    EXPECT_EQ(status.failure, !c.errorText.isEmpty()) << name;
    if (c.events.contains("TXData((*))")) {
      EXPECT_EQ(whileAsking, LinkState::Connecting) << name;
    }
  }
  LinkHarness h;
  h.link.OpenDevice();
  EXPECT_EQ(h.driver->latency, 16);
  EXPECT_EQ(h.driver->baud, 19200u);
  EXPECT_EQ(h.driver->bitMode, std::make_pair(std::uint8_t{0}, std::uint8_t{0}));
}

// Without a chosen USB serial number the first exact description wins; with one, the first
// exact description with that serial number. A driver that cannot tell serial numbers (none
// listed) still opens the first tester, and matches no choice.
TEST(OpenDevice, TheFirstExactDescriptionWithTheChosenSerialNumberWins) {
  struct Case {
    std::vector<std::string> descriptions;
    std::vector<std::string> serials;
    QString chosen;
    std::int32_t opened;
  };
  const std::vector<std::string> three = {"VELD32", "VELD32", "VELD32"};
  const std::vector<std::string> serials = {"FT0A", "FT0B", "FT0C"};
  const Case cases[] = {{{"FT232R USB UART", "VELD32", "VELD32"}, {}, "", 1},
                        {{"veld32"}, {}, "", -1},
                        {{"VELD32 "}, {}, "", -1},
                        {{"VELD3"}, {}, "", -1},
                        {three, serials, "", 0},
                        {three, serials, "FT0B", 1},
                        {three, serials, "FT0C", 2},
                        {three, serials, "FT0", -1},
                        {{"FT232R USB UART", "VELD32"}, {"FT0A", "FT0B"}, "FT0A", -1},
                        {three, {}, "FT0A", -1},
                        // Taken whole, and not read past (the sanitizers watch this).
                        {{std::string(50, 'D'), "VELD32"}, {}, "", 1}};
  for (const Case& c : cases) {
    LinkHarness h;
    h.driver->descriptions = c.descriptions;
    h.driver->serialNumbers = c.serials;
    h.link.SetUsbSerialNumber(c.chosen);
    h.link.OpenDevice();
    const std::string name = c.chosen.toStdString() + " of " + std::to_string(c.serials.size());
    EXPECT_EQ(h.driver->openedIndex, c.opened) << name;
    if (c.opened < 0) {
      EXPECT_EQ(h.link.Status().message, "No devices found") << name;
      EXPECT_TRUE(h.events.isEmpty()) << h.events.join(" ").toStdString();
    } else {
      const auto serial = c.serials.empty() ? "" : c.serials[static_cast<std::size_t>(c.opened)];
      EXPECT_EQ(h.link.ConnectedUsbSerialNumber(), QString::fromStdString(serial)) << name;
    }
  }
}

void Tick(LinkHarness& h) {
  h.link.PollingTimer_Timer();
  h.Add("tick");
}

// The tester has "(*)" waiting and the link a query and a data request queued when `function`
// fails in a tick: the query still leaves in that tick, and the ticks after it do nothing.
std::function<void(LinkHarness&)> FailInTick(const char* function, FT_STATUS status) {
  return [=](LinkHarness& h) {
    h.driver->rx = "(*)";
    h.link.TXQuery();
    h.link.TXRequestData();
    h.driver->FailNext(function, status);
    h.link.PollingTimer_Timer();
    const auto calls = h.driver->calls.size();
    h.link.PollingTimer_Timer();
    h.link.PollingTimer_Timer();
    h.Add(QString::number(h.driver->calls.size() - calls));
  };
}

// Scripts of the polling, sending, reading, closing and waiting paths, each with what the host
// sees and the link reports afterwards.
TEST(Lifecycle, EachScriptRaisesItsEventsAndLeavesItsStatus) {
  struct Case {
    const char* name;
    bool connectFirst;
    std::function<void(LinkHarness&)> act;
    QStringList events;
    QString errorText;
    bool connected;
    std::function<bool(LinkHarness&)> holds = {};
  };
  const auto polling = [](LinkHarness& h) {
    return h.link.findChild<QTimer*>("PollingTimer")->isActive();
  };
  const auto reads = [](LinkHarness& h) {
    return std::count(h.driver->calls.begin(), h.driver->calls.end(), "FT_Read");
  };
  const QString connected = QStringLiteral("UsbConnected(%1)").arg(kHandle);
  const QString closeFailed = "UsbError(FT_Close - General IO Error)";
  // clang-format off
  const Case cases[] = {
      {"failed close in CloseUSB", true,
       [](LinkHarness& h) {
         h.driver->FailNext("FT_Close", FT_IO_ERROR);
         h.link.CloseUSB(kHandle);
       },
       {closeFailed}, "Close attempt failed", false,
       [](LinkHarness& h) { return h.link.Status().state == LinkState::Failed; }},
      {"close ends the activity", true,
       [](LinkHarness& h) { h.link.ShowActivity("Running test 1"); h.link.Disconnect(); },
       {"UsbClosed"}, "USB Port Closed", false,
       [](LinkHarness& h) {
         const LinkStatus& s = h.link.Status();
         return s.state == LinkState::Closed && s.activity.isEmpty() && !s.failure;
       }},
      {"Disconnect while closed", false,
       [](LinkHarness& h) { h.link.TXQuery(); h.link.Disconnect(); },
       {"UsbError(FT_Close - Invalid Handle)"}, "Close attempt failed", false,
       [](LinkHarness& h) { return h.driver->writes.empty(); }},
      {"termination close in Deactivate", true, [](LinkHarness& h) { h.link.Deactivate(); },
       {}, "", true,
       [&](LinkHarness& h) {
         return !polling(h) && h.driver->closedHandles == std::vector<std::int32_t>{kHandle};
       }},
      {"failed termination close", true,
       [](LinkHarness& h) { h.driver->FailNext("FT_Close", FT_IO_ERROR); h.link.Deactivate(); },
       {closeFailed}, "Close attempt failed", false,
       [](LinkHarness& h) { return h.link.Status().state == LinkState::Failed; }},
      {"failed queue check skips the read", true,
       [](LinkHarness& h) {
         h.driver->calls.clear();
         h.driver->rx = "(*";
         h.link.PollingTimer_Timer();
         h.driver->rx = ")";
         h.driver->FailNext("FT_GetQueueStatus", FT_IO_ERROR);
         h.link.PollingTimer_Timer();
       },
       {"UsbError(FT_GetQueueStatus - General IO Error)"}, "FT_GetQueueStatus - General IO Error",
       false,
       [&](LinkHarness& h) { return reads(h) == 1; }},
      // Every position a read filled is cleared, also when unfinished text stood before it;
      // a failed read then finds NULs, not the old frame.
      {"receive buffer cleared after a read", true,
       [](LinkHarness& h) {
         h.driver->rx = "xxxx";
         h.link.PollingTimer_Timer();
         h.driver->rx = "(*)";
         h.link.PollingTimer_Timer();
         h.driver->rx = "(*)";
         h.driver->FailNext("FT_Read", FT_IO_ERROR);
         h.events << h.link.SendDataAndPoll("(?)").toLatin1().toHex();
       },
       {"RXData((*))", "RXIdle", "TXData((?))", "UsbError(FT_Read - General IO Error)",
        "RXData(" + QString(3, QChar(0)) + ")", "000000"}, "FT_Read - General IO Error", false},
      {"receive buffer cleared after a handshake read", true,
       [](LinkHarness& h) {
         h.driver->FailNext("FT_Read", FT_IO_ERROR);
         h.events << h.link.SendDataAndPoll("(*)").toLatin1().toHex();
       },
       {"TXData((*))", "UsbError(FT_Read - General IO Error)",
        "RXData(" + QString(3, QChar(0)) + ")", "000000"}, "FT_Read - General IO Error", false},
      {"open empties the unfinished reply", true,
       [](LinkHarness& h) {
         h.driver->rx = "(MV1";
         h.link.PollingTimer_Timer();
         h.link.OpenDevice();
         h.events.clear();
         h.driver->rx = "01.02)";
         h.link.PollingTimer_Timer();
       },
       {}, "", true},
      {"polling runs again after SendDataAndPoll", true,
       [](LinkHarness& h) { h.link.SendDataAndPoll("(?)"); }, {"TXData((?))"}, "", true, polling},
      {"queued frames leave one per tick in order", true,
       [](LinkHarness& h) {
         for (qint16 program : {1, 2, 3}) h.link.TXGetProgramValues(program);
         for (int tick = 0; tick < 3; ++tick) Tick(h);
       },
       {"TXData((MP11))", "tick", "TXData((MP12))", "tick", "TXData((MP13))", "tick"}, "", true},
      {"reply split across ticks decoded once complete", true,
       [](LinkHarness& h) {
         h.driver->rx = "(MV1";
         Tick(h);
         h.driver->rx = "01.02)";
         h.link.PollingTimer_Timer();
       },
       {"tick", "RXData((MV101.02))", "RXFirmwareVersion(01.02)"}, "", true},
      {"frames queued while closed leave after the next open", false,
       [](LinkHarness& h) {
         h.link.TXGetFirmwareVersion();
         Tick(h);
         h.link.OpenDevice();
         h.link.PollingTimer_Timer();
       },
       {"tick", "TXData((*))", "RXData((*))", connected, "TXData((MV1))"}, "", true},
      {"failed queue check in a tick", true, FailInTick("FT_GetQueueStatus", FT_IO_ERROR),
       {"UsbError(FT_GetQueueStatus - General IO Error)", "TXData((?))", "0"},
       "FT_GetQueueStatus - General IO Error", false},
      {"failed read in a tick", true, FailInTick("FT_Read", FT_INVALID_HANDLE),
       {"UsbError(FT_Read - Invalid Handle)", "TXData((?))", "0"}, "FT_Read - Invalid Handle",
       false},
      {"failed write in a tick", true, FailInTick("FT_Write", FT_FAILED_TO_WRITE_DEVICE),
       {"RXData((*))", "RXIdle", "UsbError(FT-Write - Failed to write Device)", "TXData((?))",
        "0"},
       "FT-Write - Failed to write Device", false},
      {"write failing with a status past the table", true, FailInTick("FT_Write", 19),
       {"RXData((*))", "RXIdle", "UsbError()", "TXData((?))", "0"}, "", false},
      // The link is down; a later send carries the unsent frame first.
      {"failed write resent before the next frame", true,
       [](LinkHarness& h) {
         h.driver->FailNext("FT_Write", FT_IO_ERROR);
         h.link.TXQuery();
         h.link.PollingTimer_Timer();
         h.link.SendDataAndPoll("(L)", 0);
         h.Add(QString::fromStdString(h.driver->writes.back()));
       },
       {"UsbError(FT-Write - General IO Error)", "TXData((?))", "TXData((L))", "(?)(L)"},
       "FT-Write - General IO Error", false},
      {"partial write sends exactly the unsent characters next", true,
       [](LinkHarness& h) {
         h.driver->writes.clear();
         h.driver->WriteOnlyNext(2);
         h.link.TXGetFirmwareVersion();
         h.link.TXGetSerialNumber();
         h.link.PollingTimer_Timer();
         h.link.PollingTimer_Timer();
         for (const std::string& write : h.driver->writes) h.Add(QString::fromStdString(write));
       },
       {"TXData((MV1))", "TXData((MS1))", "(M", "V1)(MS1)"}, "", true},
      // 1500 bytes waiting: a first tick takes 1024, the rest arrives with the next tick.
      {"reads never ask for more than the buffer holds", true,
       [](LinkHarness& h) {
         h.driver->rx = std::string(1490, 'n') + "(MV101.02)";
         for (int tick = 0; tick < 2; ++tick) {
           h.link.PollingTimer_Timer();
           h.Add(QString::number(h.driver->lastReadWanted));
         }
       },
       {"1024", "RXData((MV101.02))", "RXFirmwareVersion(01.02)", "476"}, "", true},
      // Every write fails: pending characters pile up until the next frame would not fit.
      {"pending output never runs past the buffer", true,
       [](LinkHarness& h) {
         for (int i = 0; i < 400; ++i) {
           h.driver->FailNext("FT_Write", FT_IO_ERROR);
           h.link.SendDataAndPoll("(MS1)", 0);
         }
         h.events.clear();
         h.link.SendDataAndPoll("(MV1)", 0);
         const std::string last = h.driver->writes.back();
         h.Add(QString::number(last.size() <= 1024) +
               QString::fromStdString(last.substr(last.size() - 5)));
       },
       {"TXData((MV1))", "1(MV1)"}, "FT-Write - General IO Error", false},
      {"disconnect sends the queue then closes", true,
       [](LinkHarness& h) {
         h.link.TXQuery();
         h.link.TXRequestData();
         h.link.TXGetCalValues();
         h.link.Disconnect();
       },
       {"TXData((?))", "TXData((L))", "TXData((I?))", "UsbClosed"}, "USB Port Closed", false},
      {"open while connected closes first, and a failed close is an opening error", true,
       [](LinkHarness& h) {
         h.driver->FailNext("FT_Close", FT_IO_ERROR);
         h.link.OpenDevice();
       },
       {"UsbError(Error Opening Port)"}, "Close attempt failed", false,
       [](LinkHarness& h) { return h.link.Status().state == LinkState::Failed; }},
      {"an open after one without acknowledgement succeeds", false,
       [](LinkHarness& h) {
         h.driver->replies.clear();
         h.link.OpenDevice();
         h.driver->replies["(*)"] = "(*)";
         h.events.clear();
         h.link.OpenDevice();
       },
       {"TXData((*))", "RXData((*))", connected}, "", true},
      {"a failed read of stale bytes while opening releases the device", false,
       [](LinkHarness& h) {
         h.driver->rx = "(*)";
         h.driver->FailNext("FT_Read", FT_IO_ERROR);
         h.link.OpenDevice();
       },
       {"UsbError(Error Opening Port)"}, "Command failed", false,
       [](LinkHarness& h) { return !h.driver->IsOpen(); }},
      {"zero and out-of-range waits end promptly", true,
       [](LinkHarness& h) {
         h.driver->rx = "(*)";
         h.Add(h.link.SendDataAndPoll("(*)", -20));
         h.Add(h.link.SendDataAndPoll("(L)"));
       },
       {"TXData((*))", "RXData((*)(*))", "(*)(*)", "TXData((L))", ""}, "", true},
  };
  // clang-format on
  for (const Case& c : cases) {
    LinkHarness h;
    if (c.connectFirst) h.Connect();
    c.act(h);
    EXPECT_EQ(h.events, c.events) << c.name;
    EXPECT_EQ(h.link.Status().message, c.errorText) << c.name;
    EXPECT_EQ(h.link.Connected(), c.connected) << c.name;
    if (c.holds) {
      EXPECT_TRUE(c.holds(h)) << c.name;
    }
  }
}

TEST(Polling, IntervalStartsAt150AndOnlyPositiveValuesChangeIt) {
  LinkHarness h;
  auto* timer = h.link.findChild<QTimer*>("PollingTimer");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 150);
  EXPECT_FALSE(timer->isActive());
  for (qint16 ignored : {0, -5}) {
    h.link.SetPollingTimerInterval(ignored);
    EXPECT_EQ(timer->interval(), 150);
  }
  h.link.SetPollingTimerInterval(500);
  EXPECT_EQ(timer->interval(), 500);
  h.Connect();
  EXPECT_TRUE(timer->isActive());
}

// The waits run on a virtual clock that advances by a fixed step whenever DelayTimer ticks.
struct VirtualClock {
  std::int64_t now = 0;
  int ticks = 0;
  std::int64_t step;
  void Attach(ctlVELD32UsbComm& link) {
    link.SetClock([this] { return now; });
    auto* timer = link.findChild<QTimer*>("DelayTimer");
    QObject::connect(timer, &QTimer::timeout, [this] {
      now += step;
      ++ticks;
    });
  }
};

TEST(Delay, AWaitThatEndsBeforeHalfItsTimeIsRepeatedOnce) {
  // Each open waits twice (100 ms before opening, 100 ms for the handshake).
  const std::pair<std::int64_t, int> cases[] = {{40, 4}, {50, 4}, {60, 2}, {100, 2}};
  for (auto [step, ticks] : cases) {
    LinkHarness h;
    h.Connect();
    auto* polling = h.link.findChild<QTimer*>("PollingTimer");
    QList<bool> pollingActive;
    QObject::connect(h.link.findChild<QTimer*>("DelayTimer"), &QTimer::timeout,
                     [&] { pollingActive << polling->isActive(); });
    VirtualClock clock{.step = step};
    clock.Attach(h.link);
    h.link.OpenDevice();
    EXPECT_TRUE(h.link.Connected());
    EXPECT_EQ(clock.ticks, ticks) << "step " << step;
    // The first wait of a reopen runs with polling on; a repeated wait suspends it.
    ASSERT_GE(pollingActive.size(), 2);
    EXPECT_TRUE(pollingActive[0]);
    if (ticks == 4) {
      EXPECT_FALSE(pollingActive[1]);
    }
  }
}

TEST(Delay, AWaitInsideAnotherEndsBothAndNeitherRepeats) {
  LinkHarness h;
  h.Connect();
  VirtualClock clock{.step = 60};
  clock.Attach(h.link);
  QTimer::singleShot(0, &h.link, [&] { h.link.SendDataAndPoll("(?)", 0); });
  h.link.OpenDevice();
  // One tick ends the inner wait (and with it the outer one), one the handshake wait.
  EXPECT_EQ(clock.ticks, 2);
  EXPECT_TRUE(h.link.Connected());
}

// Code that runs inside a wait and starts polling does not leave it running when the wait
// began without it.
TEST(Delay, PollingIsPutBackToTheStateItHadBeforeTheWait) {
  {
    LinkHarness h;
    auto* polling = h.link.findChild<QTimer*>("PollingTimer");
    QTimer::singleShot(0, &h.link, [polling] { polling->start(); });
    h.link.SendDataAndPoll("(?)");
    EXPECT_FALSE(polling->isActive());
  }
  {
    // An open that finds no device, whose first wait ends too early and is repeated with
    // polling suspended; polling starts during the repeated wait.
    LinkHarness h;
    h.driver->descriptions.clear();
    auto* polling = h.link.findChild<QTimer*>("PollingTimer");
    VirtualClock clock{.step = 40};
    clock.Attach(h.link);
    QObject::connect(h.link.findChild<QTimer*>("DelayTimer"), &QTimer::timeout, [&] {
      if (clock.ticks == 2) polling->start();
    });
    h.link.OpenDevice();
    EXPECT_EQ(clock.ticks, 2);
    EXPECT_FALSE(polling->isActive());
  }
}

}  // namespace
