#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include "ctlVELD32UsbCommStrip.h"
#include "link_harness.h"

namespace {

constexpr qint32 kHandle = 0x1234;

struct OpenCase {
  const char* name;
  std::function<void(ScriptedD2xx&)> script;
  QString errorText;
  QStringList events;
  bool handleClosed;
  bool connected;
};

TEST(OpenDevice, EachFailurePointPaintsItsTextRaisesItsEventsAndReleasesTheDevice) {
  const QString errorOpening = "UsbError(Error Opening Port)";
  const OpenCase cases[] = {
      {"count fails",
       [](ScriptedD2xx& d) { d.FailNext("FT_ListDevicesCount", FT_IO_ERROR); },
       "No devices found",
       {},
       false,
       false},
      {"no device",
       [](ScriptedD2xx& d) { d.descriptions.clear(); },
       "No devices found",
       {},
       false,
       false},
      {"description fails",
       [](ScriptedD2xx& d) { d.FailNext("FT_ListDevicesDescription", FT_IO_ERROR); },
       "",
       {errorOpening},
       false,
       false},
      {"open fails",
       [](ScriptedD2xx& d) { d.FailNext("FT_Open", FT_DEVICE_NOT_OPENED); },
       "Open failed",
       {errorOpening},
       false,
       false},
      {"queue check fails",
       [](ScriptedD2xx& d) { d.FailNext("FT_GetQueueStatus", FT_IO_ERROR); },
       "Command failed",
       {errorOpening},
       true,
       false},
      {"latency fails",
       [](ScriptedD2xx& d) { d.FailNext("FT_SetLatencyTimer", FT_IO_ERROR); },
       "Latency failed",
       {errorOpening},
       true,
       false},
      {"baud rate fails",
       [](ScriptedD2xx& d) { d.FailNext("FT_SetBaudRate", FT_IO_ERROR); },
       "Baud Rate failed",
       {errorOpening},
       true,
       false},
      {"bit mode fails",
       [](ScriptedD2xx& d) { d.FailNext("FT_SetBitMode", FT_IO_ERROR); },
       "Reset failed",
       {errorOpening},
       true,
       false},
      {"no handshake reply",
       [](ScriptedD2xx& d) { d.replies.clear(); },
       "No ACK Received",
       {"TXData((*))"},
       true,
       false},
      {"handshake reply plus a byte",
       [](ScriptedD2xx& d) { d.replies["(*)"] = "(*)x"; },
       "No ACK Received",
       {"TXData((*))", "RXData((*)x)"},
       true,
       false},
      {"success",
       [](ScriptedD2xx&) {},
       "",
       {"TXData((*))", "RXData((*))", QStringLiteral("UsbConnected(%1)").arg(kHandle)},
       false,
       true},
  };
  for (const OpenCase& c : cases) {
    LinkHarness h;
    c.script(*h.driver);
    EXPECT_EQ(h.link.OpenDevice(), 0);
    EXPECT_EQ(h.events, c.events) << c.name << ": " << h.events.join(" ").toStdString();
    const StatusStripState& strip = h.link.Strip();
    EXPECT_EQ(strip.errorMessage, c.errorText) << c.name;
    EXPECT_EQ(h.link.Connected(), c.connected) << c.name;
    EXPECT_EQ(!h.driver->closedHandles.empty(), c.handleClosed) << c.name;
    EXPECT_EQ(strip.lamp, c.connected ? StripColour::Green : StripColour::Red) << c.name;
    EXPECT_EQ(strip.connectPressed, c.connected) << c.name;
    EXPECT_EQ(strip.connectCaption, c.connected ? "Disconnect" : "Connect") << c.name;
    EXPECT_EQ(strip.status, c.connected ? "VELD32 Connected" : "VELD32") << c.name;
    if (c.connected) {
      EXPECT_EQ(h.driver->latency, 16);
      EXPECT_EQ(h.driver->baud, 19200u);
      EXPECT_EQ(h.driver->bitMode, std::make_pair(std::uint8_t{0}, std::uint8_t{0}));
    }
  }
}

TEST(OpenDevice, AfterAFailedOpenTheNextAttemptSucceeds) {
  LinkHarness h;
  h.driver->replies.clear();
  h.link.OpenDevice();
  ASSERT_FALSE(h.driver->IsOpen());
  h.driver->replies["(*)"] = "(*)";
  h.link.OpenDevice();
  EXPECT_TRUE(h.link.Connected());
}

TEST(OpenDevice, FirstExactDescriptionWins) {
  struct Case {
    std::vector<std::string> descriptions;
    std::int32_t opened;
  };
  const Case cases[] = {{{"FT232R USB UART", "VELD32", "VELD32"}, 1},
                        {{"veld32"}, -1},
                        {{"VELD32 "}, -1},
                        {{"VELD3"}, -1}};
  for (const Case& c : cases) {
    LinkHarness h;
    h.driver->descriptions = c.descriptions;
    h.link.OpenDevice();
    EXPECT_EQ(h.driver->openedIndex, c.opened);
    if (c.opened < 0) {
      EXPECT_EQ(h.link.Strip().errorMessage, "No devices found");
      EXPECT_TRUE(h.events.isEmpty()) << h.events.join(" ").toStdString();
    }
  }
}

TEST(OpenDevice, WhileConnectedClosesFirstAndAFailedCloseIsAnOpeningError) {
  LinkHarness h;
  h.Connect();
  h.driver->FailNext("FT_Close", FT_IO_ERROR);
  h.link.OpenDevice();
  EXPECT_EQ(h.events, QStringList({"UsbError(Error Opening Port)"}));
  EXPECT_EQ(h.link.Strip().errorMessage, "Close attempt failed");
  EXPECT_EQ(h.link.Strip().lamp, StripColour::Red);
}

TEST(Polling, QueuedFramesLeaveOnePerTickInOrder) {
  LinkHarness h;
  h.Connect();
  h.link.TXGetProgramValues(1);
  h.link.TXGetProgramValues(2);
  h.link.TXGetProgramValues(3);
  for (int tick = 1; tick <= 3; ++tick) {
    h.link.PollingTimer_Timer();
    EXPECT_EQ(h.events.size(), tick);
  }
  EXPECT_EQ(h.events, QStringList({"TXData((MP11))", "TXData((MP12))", "TXData((MP13))"}));
}

TEST(Polling, ReplySplitAcrossTicksIsDecodedOnceComplete) {
  LinkHarness h;
  h.Connect();
  h.driver->rx = "(MV1";
  h.link.PollingTimer_Timer();
  EXPECT_TRUE(h.events.isEmpty());
  h.driver->rx = "01.02)";
  h.link.PollingTimer_Timer();
  EXPECT_EQ(h.events, QStringList({"RXData((MV101.02))", "RXFirmwareVersion(01.02)"}));
}

TEST(Polling, AfterAFailedReadTheTickStillSendsAndLaterTicksDoNothing) {
  LinkHarness h;
  h.Connect();
  h.link.TXQuery();
  h.link.TXRequestData();
  h.driver->rx = "(*)";
  h.driver->FailNext("FT_Read", FT_IO_ERROR);
  h.link.PollingTimer_Timer();
  EXPECT_EQ(h.events, QStringList({"UsbError(FT_Read - General IO Error)", "TXData((?))"}));
  const auto callsBefore = h.driver->calls.size();
  h.link.PollingTimer_Timer();
  h.link.PollingTimer_Timer();
  EXPECT_EQ(h.driver->calls.size(), callsBefore);
}

TEST(Polling, DisconnectSendsTheQueueThenCloses) {
  LinkHarness h;
  h.Connect();
  h.link.TXQuery();
  h.link.TXRequestData();
  h.link.TXGetCalValues();
  h.link.Disconnect();
  EXPECT_EQ(h.events, QStringList({"TXData((?))", "TXData((L))", "TXData((I?))", "UsbClosed"}));
  EXPECT_EQ(h.link.Strip().errorMessage, "USB Port Closed");
  EXPECT_FALSE(h.link.Connected());
}

TEST(Polling, FramesQueuedWhileClosedLeaveAfterTheNextOpen) {
  LinkHarness h;
  h.link.TXGetFirmwareVersion();
  h.link.PollingTimer_Timer();
  EXPECT_TRUE(h.events.isEmpty());
  h.Connect();
  h.link.PollingTimer_Timer();
  EXPECT_EQ(h.events, QStringList({"TXData((MV1))"}));
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

TEST(StatusStrip, OperatorClicksOpenAndCloseButTheLinksOwnChangesDoNot) {
  LinkHarness h;
  ctlVELD32UsbCommStrip strip(h.link);
  auto* button = strip.findChild<QCheckBox*>("chkConnect");
  auto* error = strip.findChild<QLabel*>("lblErrorMessage");
  ASSERT_NE(button, nullptr);
  ASSERT_NE(error, nullptr);
  for (const char* name : {"shpBorder", "lblStatus", "shpStatus"}) {
    EXPECT_NE(strip.findChild<QWidget*>(name), nullptr) << name;
  }

  button->click();
  EXPECT_TRUE(h.link.Connected());
  EXPECT_TRUE(button->isChecked());
  EXPECT_EQ(button->text(), "Disconnect");
  // The link pressed the button in itself: that must not have started a second open.
  EXPECT_EQ(std::count(h.driver->calls.begin(), h.driver->calls.end(), "FT_Open"), 1);

  button->click();
  EXPECT_FALSE(h.link.Connected());
  EXPECT_EQ(error->text(), "USB Port Closed");
  EXPECT_EQ(h.events.last(), "UsbClosed");
  EXPECT_EQ(std::count(h.driver->calls.begin(), h.driver->calls.end(), "FT_Open"), 1);
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

TEST(Delay, ZeroAndOutOfRangeWaitsEndPromptly) {
  LinkHarness h;
  h.Connect();
  h.driver->rx = "(*)";
  EXPECT_EQ(h.link.SendDataAndPoll("(*)", -20), "(*)(*)");
  EXPECT_EQ(h.link.SendDataAndPoll("(L)"), "");
}

}  // namespace
