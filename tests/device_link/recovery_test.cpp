#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>

#include "tests/device_link/link_harness.h"

namespace {

constexpr qint32 kHandle = 0x1234;
const QString kProgram1 = "(MP11,5,3,09,0030,1,000,100,100,0100,0000,1000)";

TEST(Recovery, ConnectAfterAnyLostSessionWorksAtOnceAndClosesTheOldHandleFirst) {
  struct Case {
    const char* failing;
    std::function<void(LinkHarness&)> lose;
  };
  const auto tick = [](LinkHarness& h) { h.link.PollingTimer_Timer(); };
  const Case cases[] = {
      {"FT_GetQueueStatus", tick},
      {"FT_Read",
       [](LinkHarness& h) {
         h.driver->rx = "(*)";
         h.link.PollingTimer_Timer();
       }},
      {"FT_Write",
       [](LinkHarness& h) {
         h.link.TXQuery();
         h.link.PollingTimer_Timer();
       }},
      {"FT_Close", [](LinkHarness& h) { h.link.Disconnect(); }},
  };
  for (const Case& c : cases) {
    LinkHarness h;
    h.Connect();
    h.driver->FailNext(c.failing, FT_IO_ERROR);
    c.lose(h);
    ASSERT_FALSE(h.link.Connected()) << c.failing;
    ASSERT_TRUE(h.driver->IsOpen()) << c.failing;
    h.events.clear();
    h.driver->calls.clear();
    h.link.Connect();
    EXPECT_TRUE(h.link.Connected()) << c.failing;
    EXPECT_EQ(h.events.filter("UsbError").size(), 0) << h.events.join(" ").toStdString();
    // The old handle is given back before the devices are listed again.
    ASSERT_FALSE(h.driver->calls.empty());
    EXPECT_EQ(h.driver->calls.front(), "FT_Close") << c.failing;
    EXPECT_EQ(h.driver->closedHandles, std::vector<std::int32_t>{kHandle}) << c.failing;
  }
}

TEST(Recovery, WhatTheTesterSentBeforeTheOpenReachesNeitherHandshakeNorDecoder) {
  struct Case {
    const char* name;
    std::string stale;
  };
  std::string many;
  while (many.size() < 3000) many += kProgram1.toStdString();
  const Case cases[] = {{"one reply", "(MV101.02)"}, {"more than a buffer", many}};
  for (const Case& c : cases) {
    LinkHarness h;
    h.Connect();
    h.link.Disconnect();
    h.driver->rx = c.stale;
    h.events.clear();
    h.link.Connect();
    EXPECT_EQ(h.events, QStringList({"TXData((*))", "RXData((*))",
                                     QStringLiteral("UsbConnected(%1)").arg(kHandle)}))
        << c.name;
    h.events.clear();
    h.link.PollingTimer_Timer();
    EXPECT_TRUE(h.events.isEmpty()) << c.name << ": " << h.events.join(" ").toStdString();
  }
}

// Connect, download the three programs, disconnect, over and over, with faults injected at the
// driver in every phase and replies left over from the last session. The waits run on a clock
// that moves 60 ms per look, so the soak takes no wall-clock time of its own.
TEST(Soak, EveryConnectAfterAFaultSucceedsAndNoHandleLeaks) {
  constexpr int kCycles = 300;
  LinkHarness h;
  std::int64_t now = 0;
  h.link.SetClock([&now] { return now += 60; });
  QTimer spin;  // keeps the waits' event loop turning without real time passing
  spin.start(0);
  for (int program = 1; program <= 3; ++program) {
    h.driver->replies[QStringLiteral("(MP1%1)").arg(program).toStdString()] =
        QString(kProgram1).replace(4, 1, QString::number(program)).toStdString();
  }
  const std::vector<std::string> openCalls = {"FT_ListDevicesCount",
                                              "FT_ListDevicesDescription",
                                              "FT_Open",
                                              "FT_GetQueueStatus",
                                              "FT_SetLatencyTimer",
                                              "FT_SetBaudRate",
                                              "FT_SetBitMode",
                                              "FT_Write"};
  const std::vector<std::string> tickCalls = {"FT_GetQueueStatus", "FT_Read", "FT_Write"};
  std::mt19937 random(11);
  const auto pick = [&random](const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  };
  const auto chance = [&random](int percent) {
    return std::uniform_int_distribution<int>(0, 99)(random) < percent;
  };
  const auto status = [&random] {
    return static_cast<FT_STATUS>(std::uniform_int_distribution<int>(1, 18)(random));
  };

  int faults = 0;
  int failedReconnects = 0;
  int downloads = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    h.events.clear();
    if (chance(15)) {
      ++faults;
      h.driver->FailNext(pick(openCalls), status());
      h.link.Connect();
    }
    if (!h.link.Connected()) h.link.Connect();
    if (!h.link.Connected()) {
      ++failedReconnects;
      continue;
    }
    for (qint16 program = 1; program <= 3; ++program) h.link.TXGetProgramValues(program);
    // The first tick sends the first request; the second, reading its reply, meets the fault.
    // Requests a lost session left queued go out first in the next one.
    h.link.PollingTimer_Timer();
    const bool tickFault = chance(20);
    if (tickFault) {
      ++faults;
      h.driver->FailNext(pick(tickCalls), status());
    }
    for (int tick = 0; tick < 8; ++tick) h.link.PollingTimer_Timer();
    if (!tickFault) {
      EXPECT_GE(h.events.filter("RXProgramValues").size(), 3) << "cycle " << cycle;
      ++downloads;
    }
    // A reply on its way when the link closes arrives in the next session's driver queue.
    if (chance(25)) h.link.TXGetProgramValues(2);
    if (chance(15)) {
      ++faults;
      h.driver->FailNext("FT_Close", status());
    }
    h.link.Disconnect();
  }
  h.events.clear();
  h.link.Connect();
  h.link.Disconnect();
  EXPECT_EQ(h.events.last(), "UsbClosed");
  EXPECT_FALSE(h.driver->IsOpen());
  EXPECT_EQ(failedReconnects, 0);
  EXPECT_GT(faults, kCycles / 3);
  EXPECT_GT(downloads, kCycles / 2);
  RecordProperty("cycles", kCycles);
  RecordProperty("faults", faults);
  RecordProperty("failedReconnects", failedReconnects);
  std::printf("soak: %d cycles, %d faults, %d failed reconnects, %d full downloads\n", kCycles,
              faults, failedReconnects, downloads);
}

}  // namespace
