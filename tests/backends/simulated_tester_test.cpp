#include "backends/simulated_tester.h"

#include "backends/d2xx_library_backend.h"
#include "backends/simulated_fault.h"
#include "device_link/serialized_d2xx.h"
#include "tests/backends/fake_ftd2xx.h"
#include "tests/support/faulty_d2xx.h"
#include "tests/support/scripted_d2xx.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {
// One tester through a conversation: each request with what it answers, in turn, so that what
// one request stores shows in the answers that follow.
TEST(SimulatedTesterModel, AnswersAndStoresAsTheTester) {
  SimulatedTesterModel tester;
  tester.setpoints = {0, 10, 20, 50, 999};
  const std::vector<std::pair<std::string, std::string>> conversation{
      {"(*)", "(*)"},
      {"(MP14)", ""},
      {"(I?)", "(I000,010,020,050,999)"},
      {"(I1-)", "(I11,000)"},  // set-points stay within 0..999
      {"(I5+)", "(I15,999)"},
      {"(I6+)", ""},
      {"(Z)", ""},
      {frames::SetProgramValues({2, 5, 3, 100, 30, 4, TestMode::Duration, 100, 999}),
       "(MP12,5,3,09,0030,1,000,100,100,0100,0004,0999)"},
      {frames::SetProgramValues({4, 5, 3, 100, 30, 4, TestMode::Duration, 100, 999}), ""},
      {"(MP0garbage)", ""},
      {frames::SetSerialNumber(42), "(MS100042)"},
      {"(MS0123)", ""},
      {"(MS1)", "(MS100042)"},
      {frames::SetCalibrationDate(2025, 3, 9), "(MD12025,03,09)"},
      {"(MD1)", "(MD12025,03,09)"},
  };
  for (const auto& [request, expected] : conversation) {
    std::string answered;
    for (const TimedReply& reply : tester.Answer(request, SimTime{0})) answered += reply.frame;
    EXPECT_EQ(answered, expected) << request;
  }
}

class SimulatedTesterTest : public ::testing::Test {
 protected:
  SimulatedTesterTest() { EXPECT_EQ(sim.FT_Open(0, h), FT_OK); }

  void Write(const std::string& bytes) {
    ASSERT_EQ(sim.FT_Write(h, bytes.data(), static_cast<std::int32_t>(bytes.size()), n), FT_OK);
  }

  // What a read of up to 64 bytes gets now.
  std::string Poll() {
    std::array<char, 64> bytes;
    EXPECT_EQ(sim.FT_Read(h, bytes.data(), 64, n), FT_OK);
    return std::string(bytes.data(), static_cast<std::size_t>(n));
  }

  // Every call the driver seam has, on `d` and the handle `h` where it takes one (closed, then
  // opened again, last), by its D2XX name.
  std::vector<std::pair<std::string, std::function<FT_STATUS()>>> Calls(D2xx& d) {
    return {
        {"FT_ListDevicesCount", [this, &d] { return d.FT_ListDevicesCount(n); }},
        {"FT_ListDevicesDescription", [this, &d] { return d.FT_ListDevicesDescription(0, buf); }},
        {"FT_ListDevicesSerialNumber", [this, &d] { return d.FT_ListDevicesSerialNumber(0, buf); }},
        {"FT_GetQueueStatus", [this, &d] { return d.FT_GetQueueStatus(h, n); }},
        {"FT_Read", [this, &d] { return d.FT_Read(h, buf, 4, n); }},
        {"FT_Write", [this, &d] { return d.FT_Write(h, "(*)", 3, n); }},
        {"FT_SetLatencyTimer", [this, &d] { return d.FT_SetLatencyTimer(h, 16); }},
        {"FT_SetBaudRate", [this, &d] { return d.FT_SetBaudRate(h, 19200); }},
        {"FT_SetBitMode", [this, &d] { return d.FT_SetBitMode(h, 0, 0); }},
        {"FT_Close", [this, &d] { return d.FT_Close(h); }},
        {"FT_Open", [this, &d] { return d.FT_Open(0, h); }},
    };
  }

  SimTime now{0};
  SimulatedTester sim{{"VELD32", std::string(60, 'x')}, [this] { return now; }};
  std::int32_t h = 0;
  std::int32_t n = 0;
  char buf[kDescriptionBufferSize];
};

// One conversation on the wire: before each row's write its change to the tester, after it the
// time that passes and what a read then gets. Replies arrive at 19200 baud, one after another.
TEST_F(SimulatedTesterTest, RepliesArriveOnTheWireAsTheTesterSendsThem) {
  using Change = std::function<void(SimulatedTester&)>;
  const struct {
    Change change;
    std::string write;
    SimTime wait;
    std::string read;
  } rows[] = {
      {{}, "(*)(MV1)", 0ns, ""},
      {{}, "", SimulatedTester::WireTime(13) - 1ns, "(*)(MV101.02"},  // 10 bits a byte
      {{}, "", 1ns, ")"},
      // A single measurement of 2 s at twice the speed reports running, then its last data.
      {[](SimulatedTester& s) { s.Tester().speed = 2; }, "(G1)", 500ms, "(!)"},
      {{}, "(?)(G2)(L)", 1500ms, "(!)(!)(G10100,0010,0004)"},  // one at a time; no data yet
      {{}, "(?)(L)", 1s, "(*)(G10100,0010,0004)"},
      // A timed program runs its duration, here 1 h 90 s at 30 times the speed.
      {[](SimulatedTester& s) {
         ASSERT_TRUE(s.SetProgram({2, 1, 1, 200, 90, 1, TestMode::Duration, 150, 1000}));
         s.Tester().speed = 30;
         s.Tester().impedanceOhms = 9999;
       },
       "(G2)", 123s - 1ms, "(!)"},
      {{}, "", 1ms + 1s, "(G29999,0010,0004)"},
      {[](SimulatedTester& s) { s.SetSilent(true); }, "(MV1)(*)", 1s, ""},
      {[](SimulatedTester& s) { s.SetSilent(false); }, "(MV1)(*)", 1s, "(MV101.02)(*)"},
  };
  for (const auto& row : rows) {
    if (row.change) row.change(sim);
    if (!row.write.empty()) Write(row.write);
    now += row.wait;
    EXPECT_EQ(Poll(), row.read) << row.write;
  }
}

// No listing or answer runs past the caller's buffer: a USB serial number arrives with its NUL, a
// description of 60 characters cut at 50 without one; a read takes no more than it asks for.
// Nothing past the last device opens, and a read or write it could misuse is refused.
TEST_F(SimulatedTesterTest, NoListingOrAnswerRunsPastTheBuffer) {
  std::array<char, kDescriptionBufferSize + 1> text;
  text.fill('#');
  ASSERT_EQ(sim.FT_ListDevicesSerialNumber(1, text.data()), FT_OK);
  EXPECT_EQ(std::string(text.data(), 9), std::string("SIM0002\0#", 9));
  EXPECT_EQ(sim.FT_ListDevicesSerialNumber(2, buf), FT_DEVICE_NOT_FOUND);
  std::int32_t pastTheLast = 0;
  EXPECT_EQ(sim.FT_Open(2, pastTheLast), FT_DEVICE_NOT_FOUND);
  ASSERT_EQ(sim.FT_ListDevicesDescription(1, text.data()), FT_OK);
  EXPECT_EQ(std::string(text.data(), text.size()), std::string(50, 'x') + "#");
  Write("(MV1)");
  now += 1s;
  ASSERT_EQ(sim.FT_Read(h, text.data(), 4, n), FT_OK);
  EXPECT_EQ(std::string(text.data(), 5) + std::to_string(n), "(MV1x4");
  EXPECT_EQ((std::vector<FT_STATUS>{sim.FT_Read(h, text.data(), -1, n),
                                    sim.FT_Write(h, nullptr, 1, n), sim.FT_Write(h, "(", -1, n)}),
            std::vector<FT_STATUS>(3, FT_INVALID_PARAMETER));
}

// Every wrapper of the driver seam passes every call on with the wrapped driver's answer (one
// that left a call out would hand the link the seam's default: a missing
// FT_ListDevicesSerialNumber loses the USB serial number the status bar names). The simulated
// fault stands for every D2xxDecorator; the D2XX library backend is one, over the stand-in
// library that hands each call to a driver. (The permission advice sits under every link script.)
using DriverWrappers = SimulatedTesterTest;
using D2xxLibraryBackendTest = SimulatedTesterTest;

TEST_F(DriverWrappers, PassEveryCallOnWithTheWrappedDriversAnswer) {
  using Wrap = std::function<std::shared_ptr<D2xx>(std::shared_ptr<D2xx>)>;
  const Wrap wrappers[] = {
      [](auto d) { return std::make_shared<SerializedD2xx>(d, nullptr); },
      [](auto d) {
        return std::make_shared<SimulatedFault>(d, std::make_shared<SimulatedTester>(),
                                                SimulatedFaultOptions{.afterFrames = 1000});
      },
      [](auto d) {
        FakeFtd2xxDriver() = d;
        return std::shared_ptr<D2xx>(D2xxLibraryBackend::Load(FAKE_FTD2XX_PATH).backend);
      },
  };
  for (const Wrap& wrap : wrappers) {
    auto driver = std::make_shared<ScriptedD2xx>();
    driver->serialNumbers = {"SIM0001"};
    const std::shared_ptr<D2xx> wrapper = wrap(driver);
    ASSERT_NE(wrapper, nullptr);
    ASSERT_EQ(wrapper->FT_Open(0, h), FT_OK);
    for (const auto& [function, run] : Calls(*wrapper)) {
      driver->calls.clear();
      driver->FailNext(function, FT_EEPROM_NOT_PRESENT);  // no wrapper or default makes it up
      EXPECT_EQ(run(), FT_EEPROM_NOT_PRESENT) << function << " wrapper " << &wrap - wrappers;
      EXPECT_EQ(driver->calls, std::vector<std::string>{function}) << &wrap - wrappers;
    }
  }
  FakeFtd2xxDriver().reset();
}

// The D2XX library backend over the stand-in library: each call goes to the device its handle
// opened, with its arguments; a description longer than 50 bytes arrives cut without its NUL, a
// serial number of 15 characters whole with it; a closed handle never reaches the library (the
// fault decorator notes what does), and those still open are closed with the backend.
TEST_F(D2xxLibraryBackendTest, CarriesEachCallToTheDeviceItsHandleOpened) {
  auto scripted = std::make_shared<ScriptedD2xx>();
  scripted->serialNumbers = {"SERIAL-OF-15-CH"};
  FakeFtd2xxDriver() = scripted;
  auto loaded = D2xxLibraryBackend::Load(FAKE_FTD2XX_PATH);
  ASSERT_NE(loaded.backend, nullptr) << loaded.error;
  D2xxLibraryBackend& backend = *loaded.backend;
  std::array<char, kDescriptionBufferSize + 1> text;
  text.fill('#');
  ASSERT_EQ(backend.FT_ListDevicesSerialNumber(0, text.data()), FT_OK);
  EXPECT_EQ(std::string(text.data(), 17), std::string("SERIAL-OF-15-CH\0#", 17));

  ASSERT_EQ(sim.FT_Close(h), FT_OK);
  auto faulty = std::make_shared<FaultyD2xx>(std::shared_ptr<D2xx>(std::shared_ptr<D2xx>(), &sim));
  FakeFtd2xxDriver() = faulty;
  text.fill('#');
  ASSERT_EQ(backend.FT_ListDevicesDescription(1, text.data()), FT_OK);
  EXPECT_EQ(std::string(text.data(), text.size()), std::string(50, 'x') + "#");
  std::int32_t first = 0, second = 0, queued = 0;
  ASSERT_EQ(backend.FT_Open(0, first), FT_OK);
  ASSERT_EQ(backend.FT_Open(1, second), FT_OK);
  EXPECT_EQ((std::vector<FT_STATUS>{
                backend.FT_SetLatencyTimer(second, 16), backend.FT_SetBaudRate(second, 19200),
                backend.FT_SetBitMode(second, 1, 2), backend.FT_Write(second, "(MV1)", 5, n)}),
            std::vector<FT_STATUS>(4, FT_OK));
  const SimulatedTester::WireSettings& set = sim.Settings(1);
  EXPECT_EQ(
      std::tuple(n, *set.latencyMs, *set.baud, *set.bitMode, sim.Settings(0).baud.has_value()),
      std::tuple(5, 16, 19200u, std::pair<std::uint8_t, std::uint8_t>(1, 2), false));
  now += 1s;
  ASSERT_EQ(backend.FT_GetQueueStatus(second, queued), FT_OK);
  ASSERT_EQ(backend.FT_Read(second, text.data(), queued, n), FT_OK);
  EXPECT_EQ(std::string(text.data(), static_cast<std::size_t>(n)), "(MV101.02)");
  // A failed read counts nothing read; a write the library could misread never reaches it.
  faulty->FailNext("FT_Read", FT_IO_ERROR);
  EXPECT_EQ(backend.FT_Read(second, text.data(), 4, n), FT_IO_ERROR);
  EXPECT_EQ(n, 0);
  const std::size_t calls = faulty->Calls().size();
  EXPECT_EQ(
      (std::vector<FT_STATUS>{backend.FT_Write(second, nullptr, 1, n),
                              backend.FT_Write(second, "(MV1)", -1, n),
                              backend.FT_Read(second, nullptr, 1, n),
                              backend.FT_Read(second, text.data(), -1, n), backend.FT_Close(second),
                              backend.FT_GetQueueStatus(second, n), backend.FT_Close(second)}),
      (std::vector<FT_STATUS>{FT_INVALID_PARAMETER, FT_INVALID_PARAMETER, FT_INVALID_PARAMETER,
                              FT_INVALID_PARAMETER, FT_OK, FT_INVALID_HANDLE, FT_INVALID_HANDLE}));
  EXPECT_EQ(faulty->Calls().size(), calls + 1);  // the one close
  EXPECT_EQ(backend.FT_Read(first, nullptr, 0, n), FT_OK);
  loaded.backend.reset();
  EXPECT_EQ(faulty->Count("FT_Close"), 2);  // `first` too
  EXPECT_EQ(sim.FT_Open(0, h), FT_OK);
  FakeFtd2xxDriver().reset();
}

TEST_F(SimulatedTesterTest, UnpluggedFailsEveryCallOnItsHandlesAndReplugGivesAFreshDevice) {
  ASSERT_TRUE(sim.SetProgram({3, 1, 1, 200, 0, 0, TestMode::SingleMeasure, 321, 1000}));
  Write("(MV1)");
  sim.Unplug();
  now += 1s;
  // Every call on the open handle, then again once it is closed.
  std::vector<FT_STATUS> got;
  for (int pass = 0; pass < 2; ++pass)
    for (const auto& [function, run] : Calls(sim)) got.push_back(run());
  constexpr FT_STATUS kOk = FT_OK, kGone = FT_DEVICE_NOT_FOUND, kIo = FT_IO_ERROR,
                      kNone = FT_INVALID_HANDLE;
  EXPECT_EQ(got, (std::vector<FT_STATUS>{kOk,   kGone, kGone, kIo,   kIo,   kIo,   kIo,   kIo,
                                         kIo,   kOk,   kGone, kOk,   kGone, kGone, kNone, kNone,
                                         kNone, kNone, kNone, kNone, kNone, kGone}));
  EXPECT_EQ(n, 0);  // no device listed
  sim.Replug();
  ASSERT_EQ(sim.FT_Open(0, h), FT_OK);
  Write("(MP13)");
  now += 1s;
  EXPECT_EQ(Poll(), "(MP13,1,1,19,0000,2,000,002,010,0321,0000,1000)");
}

}  // namespace
