// What the libftdi backend does with a device, through the real libftdi1 and libusb: listing,
// opening and setting up, the data both ways, an unplug and a hung chip. What the emulator
// cannot make happen (refused permissions, libusb listing in another order, leaks of libftdi's
// own allocations) is in tests/backends/libftdi_backend_test.cpp over a hand-written libftdi.
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "backends/libftdi_backend.h"
#include "device_link/ctlVELD32UsbComm.h"
#include "tests/emulated/emulated_ft232r.h"

namespace {

const std::string kProgram = "(MP11,5,3,09,0030,1,000,100,100,0100,0000,1000)";

// A tester that acknowledges the handshake and answers each request from `replies`.
EmulatedFt232r::Tester Answering(
    std::vector<std::pair<std::string, std::vector<std::string>>> replies = {}) {
  replies.emplace_back("(*)", std::vector<std::string>{"(*)"});
  return [replies](const std::string& written) {
    for (const auto& [request, pieces] : replies) {
      if (request == written) return pieces;
    }
    return std::vector<std::string>{};
  };
}

// The link over the libftdi backend, over the real libftdi1 and libusb, over the emulator.
struct EmulatedLink {
  EmulatedFt232r chips;
  std::shared_ptr<LibftdiBackend> backend = std::make_shared<LibftdiBackend>();
  std::unique_ptr<ctlVELD32UsbComm> link;
  std::int32_t handle = -1;

  void Open() {
    link = std::make_unique<ctlVELD32UsbComm>(backend);
    QObject::connect(link.get(), &ctlVELD32UsbComm::UsbConnected, [this](qint32 h) { handle = h; });
    link->SetPollingTimerInterval(5);
    link->OpenDevice();
  }
};

TEST(EmulatedFt232r, EveryAdapterIsListedAndTheOneDescribedVELD32IsOpenedConfiguredAndReleased) {
  EmulatedLink e;
  const int other = e.chips.Plug({"FT232R USB UART", "A0000001", Answering()});
  const int unnamed = e.chips.Plug({"", "A0000002", Answering()});
  const int tester = e.chips.Plug({"VELD32", "A0000003", Answering()});
  const std::string longName = std::string(50, 'a') + std::string(10, 'b');
  e.chips.Plug({longName, "SERIAL-LONGER-THAN-15", Answering()});

  e.Open();
  ASSERT_TRUE(e.link->Connected()) << e.link->Status().message.toStdString();
  // Listed while the link is open: each adapter's own strings, a description cut at 50 bytes
  // without its NUL, a USB serial number at 15 characters with it.
  std::int32_t count = 0;
  ASSERT_EQ(e.backend->FT_ListDevicesCount(count), FT_OK);
  ASSERT_EQ(count, 4);
  std::vector<std::pair<std::string, std::string>> listed;
  for (std::int32_t index = 0; index <= count; ++index) {
    std::array<char, kDescriptionBufferSize + 2> description;
    std::array<char, kSerialNumberBufferSize> serial;
    description.fill('#');
    description.back() = '\0';
    serial.fill('#');
    const FT_STATUS expected = index < count ? FT_OK : FT_DEVICE_NOT_FOUND;
    EXPECT_EQ(e.backend->FT_ListDevicesDescription(index, description.data()), expected) << index;
    EXPECT_EQ(e.backend->FT_ListDevicesSerialNumber(index, serial.data()), expected) << index;
    if (index < count) listed.emplace_back(description.data(), serial.data());
  }
  std::sort(listed.begin(), listed.end());
  // The adapter without a product string is listed with an empty description, without advice.
  EXPECT_EQ(listed, (std::vector<std::pair<std::string, std::string>>{
                        {"", "A0000002"},
                        {"FT232R USB UART", "A0000001"},
                        {"VELD32", "A0000003"},
                        {std::string(50, 'a') + "#", "SERIAL-LONGER-T"}}));
  EXPECT_FALSE(e.backend->PermissionRefused());

  EXPECT_EQ(e.chips.Observed(tester).written, "(*)");
  EXPECT_EQ(e.chips.Observed(other).written + e.chips.Observed(unnamed).written, "");
  // FTDI's vendor requests, "request=value": latency 16 ms, 19200 baud (divisor 0x809c), 8N1
  // framing and the serial (not bit-bang) mode.
  const std::vector<std::string> settings = e.chips.Observed(tester).settings;
  for (const char* expected : {"9=16", "3=32924", "4=8", "11=0"}) {
    EXPECT_NE(std::ranges::find(settings, expected), settings.end()) << expected;
  }
  e.link->Disconnect();
  EXPECT_FALSE(e.link->Connected());
  EXPECT_EQ(e.chips.Observed(tester).reattached, 1);
}

TEST(EmulatedFt232r, ReplySplitOverTransfersAndPacketsIsDecodedFrameByFrame) {
  EmulatedLink e;
  // The first frame comes in two transfers; the second part carries a whole second frame too,
  // so it spans two 64-byte packets with status bytes in between.
  e.chips.Plug({"VELD32", "A0000001",
                Answering({{"(MP11)", {kProgram.substr(0, 20), kProgram.substr(20) + kProgram}}})});
  e.Open();
  ASSERT_TRUE(e.link->Connected());
  QSignalSpy programs(e.link.get(), &ctlVELD32UsbComm::RXProgramValues);
  e.link->TXGetProgramValues(1);
  while (programs.size() < 2 && programs.wait(2000)) {
  }
  ASSERT_EQ(programs.size(), 2);
  for (const QList<QVariant>& program : programs) {
    EXPECT_EQ(program.at(0).value<qint16>(), 1);
    EXPECT_EQ(program.at(13).value<qint16>(), 100);  // pulse width in microseconds
  }
  e.link->Disconnect();
}

// The next tick fails with libftdi's own account; every call on the handle is then an I/O error
// until it is closed, and the handle is unknown afterwards; a listing afresh no longer finds it.
TEST(EmulatedFt232r, AnUnpluggedAdapterFailsTheNextTickAndEveryCallUntilClosed) {
  EmulatedLink e;
  const int tester = e.chips.Plug({"VELD32", "A0000001", Answering()});
  e.Open();
  ASSERT_TRUE(e.link->Connected());
  QSignalSpy errors(e.link.get(), &ctlVELD32UsbComm::UsbError);
  e.chips.Unplug(tester);
  ASSERT_TRUE(errors.wait(2000));
  EXPECT_EQ(errors.first().first().toString(), "FT_GetQueueStatus - General IO Error");
  EXPECT_TRUE(std::regex_match(e.backend->LastErrorText(),
                               std::regex(R"(ftdi_read_data failed \(-\d+\): .+)")))
      << e.backend->LastErrorText();
  LibftdiBackend& backend = *e.backend;
  std::int32_t n = 0;
  std::array<char, 8> buffer{};
  EXPECT_EQ(
      (std::vector<FT_STATUS>{
          backend.FT_SetLatencyTimer(e.handle, 16), backend.FT_SetBaudRate(e.handle, 19200),
          backend.FT_SetBitMode(e.handle, 0, 0), backend.FT_Write(e.handle, "(*)", 3, n),
          backend.FT_GetQueueStatus(e.handle, n), backend.FT_Read(e.handle, buffer.data(), 4, n)}),
      std::vector<FT_STATUS>(6, FT_IO_ERROR));
  EXPECT_EQ(backend.FT_Close(e.handle), FT_OK);
  EXPECT_EQ(backend.FT_GetQueueStatus(e.handle, n), FT_INVALID_HANDLE);
  EXPECT_EQ(backend.LastErrorText(), "");
  EXPECT_EQ(backend.FT_Close(e.handle), FT_INVALID_HANDLE);
  // Nothing is where the listing found it any more, and a listing afresh finds nothing.
  EXPECT_EQ(backend.FT_Open(0, n), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(LibftdiBackend().FT_ListDevicesCount(n), FT_OK);
  EXPECT_EQ(n, 0);
}

TEST(EmulatedFt232r, AChipThatStopsAnsweringHoldsAReadForAtMostATenthOfASecond) {
  EmulatedFt232r chips;
  const int tester = chips.Plug({"VELD32", "A0000001", Answering()});
  LibftdiBackend backend;
  std::int32_t handle = 0;
  ASSERT_EQ(backend.FT_Open(0, handle), FT_OK);
  // Nothing received: a read gives nothing at once.
  std::array<char, 8> buffer{};
  std::int32_t read = -1;
  ASSERT_EQ(backend.FT_Read(handle, buffer.data(), 5, read), FT_OK);
  EXPECT_EQ(read, 0);
  chips.Hang(tester);
  std::int32_t waiting = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(backend.FT_GetQueueStatus(handle, waiting), FT_IO_ERROR);
  const auto waited = std::chrono::steady_clock::now() - start;
  // libftdi's own default would be 5 s; allow for a loaded machine.
  EXPECT_LT(waited, std::chrono::milliseconds(1000));
  EXPECT_GE(waited, std::chrono::milliseconds(90));
  EXPECT_EQ(backend.FT_Close(handle), FT_OK);
}

}  // namespace
