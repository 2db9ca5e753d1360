#include "simulated_tester.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <string>

using namespace std::chrono_literals;
using Call = SimulatedTester::Call;

namespace {
class SimulatedTesterTest : public ::testing::Test {
 protected:
  explicit SimulatedTesterTest(std::vector<std::string> devices = {"VELD32"})
      : sim(std::move(devices), [this] { return now; }) {}

  std::int32_t Open(std::int32_t index = 0) {
    std::int32_t handle = 0;
    EXPECT_EQ(sim.FT_Open(index, handle), FT_OK);
    return handle;
  }

  void Write(std::int32_t handle, const std::string& bytes) {
    std::int32_t written = -1;
    ASSERT_EQ(sim.FT_Write(handle, bytes.data(), static_cast<std::int32_t>(bytes.size()), written),
              FT_OK);
    ASSERT_EQ(written, static_cast<std::int32_t>(bytes.size()));
  }

  // What a polling tick would read now.
  std::string Poll(std::int32_t handle) {
    std::int32_t waiting = -1;
    EXPECT_EQ(sim.FT_GetQueueStatus(handle, waiting), FT_OK);
    std::string bytes(static_cast<std::size_t>(std::max(waiting, 0)), '\0');
    std::int32_t read = -1;
    EXPECT_EQ(sim.FT_Read(handle, bytes.data(), waiting, read), FT_OK);
    bytes.resize(static_cast<std::size_t>(std::max(read, 0)));
    return bytes;
  }

  SimTime now{0};
  SimulatedTester sim;
};

TEST_F(SimulatedTesterTest, ListsOneTesterDescribedVeld32) {
  std::int32_t count = 0;
  ASSERT_EQ(sim.FT_ListDevicesCount(count), FT_OK);
  EXPECT_EQ(count, 1);
  std::array<char, kDescriptionBufferSize> buffer;
  buffer.fill('#');
  ASSERT_EQ(sim.FT_ListDevicesDescription(0, buffer.data()), FT_OK);
  EXPECT_STREQ(buffer.data(), "VELD32");
  EXPECT_EQ(sim.FT_ListDevicesDescription(1, buffer.data()), FT_DEVICE_NOT_FOUND);
}

class SeveralDevices : public SimulatedTesterTest {
 protected:
  SeveralDevices() : SimulatedTesterTest({"FT232R USB UART", "VELD32", std::string(60, 'x')}) {}
};

TEST_F(SeveralDevices, ListsEveryDescriptionAndCutsALongOneAtFiftyBytes) {
  std::int32_t count = 0;
  ASSERT_EQ(sim.FT_ListDevicesCount(count), FT_OK);
  EXPECT_EQ(count, 3);
  std::array<char, kDescriptionBufferSize + 1> buffer;
  buffer.fill('#');
  ASSERT_EQ(sim.FT_ListDevicesDescription(1, buffer.data()), FT_OK);
  EXPECT_STREQ(buffer.data(), "VELD32");
  buffer.fill('#');
  ASSERT_EQ(sim.FT_ListDevicesDescription(2, buffer.data()), FT_OK);
  EXPECT_EQ(std::string(buffer.data(), kDescriptionBufferSize), std::string(50, 'x'));
  EXPECT_EQ(buffer[kDescriptionBufferSize], '#');  // nothing written past the 50 bytes
}

TEST_F(SeveralDevices, EachDeviceIsATesterOfItsOwn) {
  sim.Tester(1).firmwareVersion = "09.99";
  const std::int32_t first = Open(0);
  const std::int32_t second = Open(1);
  EXPECT_NE(first, second);
  Write(first, "(MV1)");
  Write(second, "(MV1)");
  now += 1s;
  EXPECT_EQ(Poll(first), "(MV101.02)");
  EXPECT_EQ(Poll(second), "(MV109.99)");
}

TEST_F(SimulatedTesterTest, OpensADeviceOnceUntilItIsClosed) {
  const std::int32_t handle = Open();
  EXPECT_NE(handle, 0);
  std::int32_t again = 0;
  EXPECT_EQ(sim.FT_Open(0, again), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(sim.FT_Open(1, again), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(sim.FT_Close(handle), FT_OK);
  EXPECT_NE(Open(), handle);
}

struct HandleCall {
  const char* name;
  std::function<FT_STATUS(SimulatedTester&, std::int32_t)> call;
};

std::vector<HandleCall> HandleCalls() {
  return {
      {"FT_GetQueueStatus",
       [](SimulatedTester& s, std::int32_t h) {
         std::int32_t n = 0;
         return s.FT_GetQueueStatus(h, n);
       }},
      {"FT_Read",
       [](SimulatedTester& s, std::int32_t h) {
         char b[4];
         std::int32_t n = 0;
         return s.FT_Read(h, b, 4, n);
       }},
      {"FT_Write",
       [](SimulatedTester& s, std::int32_t h) {
         std::int32_t n = 0;
         return s.FT_Write(h, "(*)", 3, n);
       }},
      {"FT_SetLatencyTimer",
       [](SimulatedTester& s, std::int32_t h) { return s.FT_SetLatencyTimer(h, 16); }},
      {"FT_SetBaudRate",
       [](SimulatedTester& s, std::int32_t h) { return s.FT_SetBaudRate(h, 19200); }},
      {"FT_SetBitMode",
       [](SimulatedTester& s, std::int32_t h) { return s.FT_SetBitMode(h, 0, 0); }},
      {"FT_Close", [](SimulatedTester& s, std::int32_t h) { return s.FT_Close(h); }},
  };
}

TEST_F(SimulatedTesterTest, RefusesHandlesItNeverGaveOrHasClosed) {
  const std::int32_t closed = Open();
  ASSERT_EQ(sim.FT_Close(closed), FT_OK);
  for (const HandleCall& c : HandleCalls()) {
    EXPECT_EQ(c.call(sim, closed), FT_INVALID_HANDLE) << c.name << " on a closed handle";
    EXPECT_EQ(c.call(sim, 0), FT_INVALID_HANDLE) << c.name << " on handle 0";
    EXPECT_EQ(c.call(sim, 777), FT_INVALID_HANDLE) << c.name << " on handle 777";
  }
}

TEST_F(SimulatedTesterTest, AReplyArrivesByteByByteAtNineteenThousandTwoHundredBaud) {
  const std::int32_t handle = Open();
  Write(handle, "(MV1)");  // the reply "(MV101.02)" is 10 bytes: 5.21 ms on the wire
  EXPECT_EQ(SimulatedTester::WireTime(10), 5208334ns);
  EXPECT_EQ(Poll(handle), "");
  now += 520834ns;  // one byte time
  EXPECT_EQ(Poll(handle), "(");
  now = SimulatedTester::WireTime(10) - 1ns;
  EXPECT_EQ(Poll(handle), "MV101.02");
  now = SimulatedTester::WireTime(10);
  EXPECT_EQ(Poll(handle), ")");
}

TEST_F(SimulatedTesterTest, AnswersEveryFrameOfOneWriteInTurnOnTheLine) {
  const std::int32_t handle = Open();
  Write(handle, "(*)(MV1)(MS1)");
  now = SimulatedTester::WireTime(3);
  EXPECT_EQ(Poll(handle), "(*)");
  now += SimulatedTester::WireTime(10);
  EXPECT_EQ(Poll(handle), "(MV101.02)");
  now += SimulatedTester::WireTime(10);
  EXPECT_EQ(Poll(handle), "(MS100001)");
}

TEST_F(SimulatedTesterTest, JoinsAFrameSplitAcrossWritesAndSkipsTextOutsideFrames) {
  const std::int32_t handle = Open();
  Write(handle, "xx(MV");
  Write(handle, "1)yy)(*");
  Write(handle, ")");
  now += 1s;
  EXPECT_EQ(Poll(handle), "(MV101.02)(*)");
}

TEST_F(SimulatedTesterTest, DeliversALastDataReplyWhenTheTestEnds) {
  sim.Tester().testDuration = 2s;
  const std::int32_t handle = Open();
  Write(handle, "(G1)");
  now = 1s;
  EXPECT_EQ(Poll(handle), "(!)");
  now = 2s + SimulatedTester::WireTime(18) - 1ns;
  EXPECT_EQ(Poll(handle), "(G10120,0010,0004");
  now = 2s + SimulatedTester::WireTime(18);
  EXPECT_EQ(Poll(handle), ")");
}

TEST_F(SimulatedTesterTest, ReadsNoMoreThanWanted) {
  const std::int32_t handle = Open();
  Write(handle, "(MV1)");
  now += 1s;
  std::array<char, 10> buffer{};
  std::int32_t read = 0;
  ASSERT_EQ(sim.FT_Read(handle, buffer.data(), 4, read), FT_OK);
  EXPECT_EQ(std::string(buffer.data(), 4), "(MV1");
  EXPECT_EQ(read, 4);
  EXPECT_EQ(Poll(handle), "01.02)");
  EXPECT_EQ(sim.FT_Read(handle, buffer.data(), -1, read), FT_INVALID_PARAMETER);
}

struct InjectedFailure {
  Call call;
  std::function<FT_STATUS(SimulatedTester&, std::int32_t)> run;
};

std::vector<InjectedFailure> EveryCall() {
  std::vector<InjectedFailure> all{
      {Call::ListDevicesCount,
       [](SimulatedTester& s, std::int32_t) {
         std::int32_t n = 0;
         return s.FT_ListDevicesCount(n);
       }},
      {Call::ListDevicesDescription,
       [](SimulatedTester& s, std::int32_t) {
         char b[kDescriptionBufferSize];
         return s.FT_ListDevicesDescription(0, b);
       }},
  };
  const std::vector<HandleCall> handleCalls = HandleCalls();
  const std::array<Call, 7> calls{
      Call::GetQueueStatus, Call::Read,       Call::Write, Call::SetLatencyTimer,
      Call::SetBaudRate,    Call::SetBitMode, Call::Close};
  for (std::size_t i = 0; i < calls.size(); ++i) all.push_back({calls[i], handleCalls[i].call});
  return all;
}

TEST_F(SimulatedTesterTest, FailsTheNextCallOfAFunctionOnceWithTheGivenStatus) {
  for (const InjectedFailure& f : EveryCall()) {
    const std::int32_t handle = Open();
    sim.FailNext(f.call, FT_OTHER_ERROR);
    EXPECT_EQ(f.run(sim, handle), FT_OTHER_ERROR) << static_cast<int>(f.call);
    EXPECT_EQ(f.run(sim, handle), FT_OK) << static_cast<int>(f.call);
    sim.FT_Close(handle);
  }
  sim.FailNext(Call::Open, FT_DEVICE_NOT_OPENED);
  std::int32_t handle = 0;
  EXPECT_EQ(sim.FT_Open(0, handle), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(sim.FT_Open(0, handle), FT_OK);
}

TEST_F(SimulatedTesterTest, AFailedWriteReachesNoTester) {
  const std::int32_t handle = Open();
  sim.FailNext(Call::Write, FT_IO_ERROR);
  std::int32_t written = 0;
  EXPECT_EQ(sim.FT_Write(handle, "(MV1)", 5, written), FT_IO_ERROR);
  now += 1s;
  EXPECT_EQ(Poll(handle), "");
}

TEST_F(SimulatedTesterTest, UnpluggedListsNothingAndFailsEveryCallOnItsHandles) {
  const std::int32_t handle = Open();
  Write(handle, "(MV1)");
  sim.Unplug();
  now += 1s;

  std::int32_t count = -1;
  EXPECT_EQ(sim.FT_ListDevicesCount(count), FT_OK);
  EXPECT_EQ(count, 0);
  char buffer[kDescriptionBufferSize];
  EXPECT_EQ(sim.FT_ListDevicesDescription(0, buffer), FT_DEVICE_NOT_FOUND);
  std::int32_t other = 0;
  EXPECT_EQ(sim.FT_Open(0, other), FT_DEVICE_NOT_FOUND);
  for (const HandleCall& c : HandleCalls()) {
    if (std::string(c.name) == "FT_Close") continue;
    EXPECT_EQ(c.call(sim, handle), FT_IO_ERROR) << c.name;
  }
  EXPECT_EQ(sim.FT_Close(handle), FT_OK);
  EXPECT_EQ(sim.FT_Close(handle), FT_INVALID_HANDLE);
}

TEST_F(SimulatedTesterTest, ReplugGivesAFreshDeviceThatStillHoldsItsPrograms) {
  ProgramWrite program;
  program.programId = 3;
  program.pass = 321;
  ASSERT_TRUE(sim.SetProgram(program));
  const std::int32_t lost = Open();
  sim.Unplug();
  sim.Replug();

  std::int32_t count = 0;
  ASSERT_EQ(sim.FT_ListDevicesCount(count), FT_OK);
  EXPECT_EQ(count, 1);
  std::int32_t waiting = 0;
  EXPECT_EQ(sim.FT_GetQueueStatus(lost, waiting), FT_IO_ERROR);
  const std::int32_t handle = Open();
  Write(handle, "(MP13)");
  now += 1s;
  EXPECT_EQ(Poll(handle), "(MP13,1,1,19,0000,2,000,002,010,0321,0000,1000)");
  EXPECT_EQ(sim.Program(3)->pass, 321);
}

TEST_F(SimulatedTesterTest, ASilentTesterTakesWritesAndAnswersNothing) {
  const std::int32_t handle = Open();
  sim.SetSilent(true);
  ProgramWrite program;
  program.programId = 1;
  program.pass = 500;
  Write(handle, "(*)");
  Write(handle, frames::SetProgramValues(program));
  now += 10s;
  EXPECT_EQ(Poll(handle), "");
  EXPECT_EQ(sim.Program(1)->pass, 150);

  sim.SetSilent(false);
  Write(handle, "(*)");
  now += 1s;
  EXPECT_EQ(Poll(handle), "(*)");
}

TEST_F(SimulatedTesterTest, SplitsRepliesAcrossReads) {
  const std::int32_t handle = Open();
  sim.SetMaxBytesPerRead(4);
  Write(handle, "(MV1)(*)");
  now += 1s;
  EXPECT_EQ(Poll(handle), "(MV1");
  EXPECT_EQ(Poll(handle), "01.0");
  EXPECT_EQ(Poll(handle), "2)(*");
  EXPECT_EQ(Poll(handle), ")");
  sim.SetMaxBytesPerRead(0);
  Write(handle, "(MV1)");
  now += 1s;
  EXPECT_EQ(Poll(handle), "(MV101.02)");
}

TEST_F(SimulatedTesterTest, PutsNoiseBetweenRepliesAndItTakesWireTimeToo) {
  const std::int32_t handle = Open();
  sim.SetNoise("~#");
  Write(handle, "(*)(*)");
  now = SimulatedTester::WireTime(5);
  EXPECT_EQ(Poll(handle), "~#(*)");
  now += SimulatedTester::WireTime(5);
  EXPECT_EQ(Poll(handle), "~#(*)");
  sim.SetNoise("");
  Write(handle, "(*)");
  now += 1s;
  EXPECT_EQ(Poll(handle), "(*)");
}
}  // namespace
