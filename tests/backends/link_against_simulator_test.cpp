#include <gtest/gtest.h>

#include <QStringList>

#include <chrono>
#include <memory>
#include <vector>

#include "ctlVELD32UsbComm.h"
#include "qt_printers.h"
#include "simulated_tester.h"

using namespace std::chrono_literals;

// The real link against the simulated tester: the whole road from a request method to the
// tester and back to a decoded event, with the simulator's clock moved by the test.
namespace {
struct ReceivedProgram {
  int program, current, frequency, pwCode, duration, hours, mode, pass, fail;
  bool operator==(const ReceivedProgram&) const = default;
};

void PrintTo(const ReceivedProgram& p, std::ostream* out) {
  *out << "program " << p.program << ": " << p.current << "," << p.frequency << "," << p.pwCode
       << "," << p.duration << "," << p.hours << "," << p.mode << "," << p.pass << "," << p.fail;
}

constexpr ReceivedProgram Default(int program) { return {program, 1, 1, 19, 30, 0, 2, 150, 1000}; }

class LinkAgainstSimulator : public ::testing::Test {
 protected:
  LinkAgainstSimulator() {
    using L = ctlVELD32UsbComm;
    // The tester answers while the link waits for it: each frame sent moves the clock past the
    // few milliseconds any reply takes on the wire.
    QObject::connect(&link, &L::TXData, [this](const QString& frame) {
      sent << frame;
      now += 20ms;
    });
    QObject::connect(
        &link, &L::RXProgramValues,
        [this](qint16 program, qint16 current, qint16 frequency, qint16 pw, qint16 duration,
               qint16 hours, qint16 mode, qint16, qint16, qint16, qint16 pass, qint16 fail, double,
               qint16, const QString&) {
          programs.push_back({program, current, frequency, pw, duration, hours, mode, pass, fail});
        });
    QObject::connect(&link, &L::UsbConnected, [this](qint32) { ++connections; });
    QObject::connect(&link, &L::UsbError, [this](const QString& text) { errors << text; });
  }

  void Connect() {
    link.OpenDevice();
    ASSERT_TRUE(link.Connected()) << link.Strip().errorMessage.toStdString();
    // The test drives the ticks itself.
    link.DisablePolling();
  }

  void Tick() {
    now += 500ms;
    link.PollingTimer_Timer();
  }

  // Ticks until `count` program-values replies have arrived, at most `ticks` times.
  void TickUntilPrograms(std::size_t count, int ticks = 10) {
    for (int i = 0; i < ticks && programs.size() < count; ++i) Tick();
  }

  SimTime now{0};
  std::shared_ptr<SimulatedTester> sim = std::make_shared<SimulatedTester>(
      std::vector<std::string>{"FT232R USB UART", "VELD32"}, [this] { return now; });
  ctlVELD32UsbComm link{sim};
  QStringList sent;
  QStringList errors;
  std::vector<ReceivedProgram> programs;
  int connections = 0;
};

TEST_F(LinkAgainstSimulator, ConnectsToTheTesterWithTheHandshake) {
  Connect();
  EXPECT_EQ(connections, 1);
  EXPECT_EQ(sent, QStringList{"(*)"});
  EXPECT_EQ(sim->Settings(1).latencyMs, 16);
  EXPECT_EQ(sim->Settings(1).baud, 19200u);
  EXPECT_EQ(sim->Settings(1).bitMode, (std::pair<std::uint8_t, std::uint8_t>{0, 0}));
  EXPECT_FALSE(sim->Settings(0).baud);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(LinkAgainstSimulator, DownloadsTheThreeProgramsOneFramePerTick) {
  Connect();
  sent.clear();
  for (qint16 n : {1, 2, 3}) link.TXGetProgramValues(n);
  Tick();
  EXPECT_EQ(sent, QStringList{"(MP11)"});
  TickUntilPrograms(3);
  EXPECT_EQ(sent, (QStringList{"(MP11)", "(MP12)", "(MP13)"}));
  EXPECT_EQ(programs, (std::vector{Default(1), Default(2), Default(3)}));
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(LinkAgainstSimulator, UploadsAProgramThatTheTesterThenHoldsAndEchoes) {
  Connect();
  link.TXSetProgramValues(2, 5, 3, 100, 600, 1, 1, 100, 999);
  TickUntilPrograms(1);
  EXPECT_EQ(programs, (std::vector<ReceivedProgram>{{2, 5, 3, 9, 600, 1, 1, 100, 999}}));
  const auto held = sim->Tester(1).Program(2);
  ASSERT_TRUE(held);
  EXPECT_EQ(held->currentLevelIndex, 5);
  EXPECT_EQ(held->freqIndex, 3);
  EXPECT_EQ(held->pulseWidthUs, 100);
  EXPECT_EQ(held->duration, 600);
  EXPECT_EQ(held->durationHr, 1);
  EXPECT_EQ(held->mode, 1);
  EXPECT_EQ(held->pass, 100);
  EXPECT_EQ(held->fail, 999);
}

TEST_F(LinkAgainstSimulator, RepliesSplitAcrossReadsAndNoiseBetweenThemStillDecode) {
  Connect();
  sim->SetMaxBytesPerRead(7);
  sim->SetNoise("~#~");
  for (qint16 n : {1, 2, 3}) link.TXGetProgramValues(n);
  TickUntilPrograms(3, 40);
  EXPECT_EQ(programs, (std::vector{Default(1), Default(2), Default(3)}));
}

TEST_F(LinkAgainstSimulator, AnUnplugMidTransferTakesTheLinkDown) {
  Connect();
  for (qint16 n : {1, 2, 3}) link.TXGetProgramValues(n);
  Tick();
  sim->Unplug();
  Tick();
  // The tick that finds the tester gone still sends its queued frame, which fails too.
  EXPECT_EQ(errors,
            (QStringList{"FT_GetQueueStatus - General IO Error", "FT-Write - General IO Error"}));
  EXPECT_FALSE(link.Connected());
  Tick();
  Tick();
  EXPECT_EQ(errors.size(), 2);
  EXPECT_TRUE(programs.empty());
}

TEST_F(LinkAgainstSimulator, ReconnectsAfterTheTesterIsPluggedBackIn) {
  Connect();
  sim->Unplug();
  Tick();
  sim->Replug();
  link.Connect();
  EXPECT_TRUE(link.Connected());
  EXPECT_EQ(connections, 2);
  link.DisablePolling();
  link.TXGetProgramValues(3);
  TickUntilPrograms(1);
  EXPECT_EQ(programs, std::vector{Default(3)});
}

TEST_F(LinkAgainstSimulator, ASilentTesterFailsTheHandshake) {
  sim->SetSilent(true);
  link.OpenDevice();
  EXPECT_FALSE(link.Connected());
  EXPECT_EQ(link.Strip().errorMessage, "No ACK Received");
  EXPECT_EQ(connections, 0);
}
}  // namespace
