// What the libftdi backend does with a device, through the real libftdi1 and libusb over emulated
// FT232R bridges: listing, opening and setting up, the data both ways, refusals and an unplug.
// What the emulator cannot make happen WatchedLibftdi puts in front of the real library: libusb
// refusing an open or a string read with each of libftdi's codes and errnos, a fresh libusb
// context listing the devices in another order than the long-lived one, and devices plugged in
// elsewhere since the listing. It also counts libftdi's
// contexts and list nodes, so that every test fails on a leak, a listing, open or close on a
// context freed (or never made) or a list freed after its context.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "backends/libftdi_backend.h"
#include "device_link/ctlVELD32UsbComm.h"
#include "tests/emulated/emulated_ft232r.h"

namespace {

class WatchedLibftdi final : public LibftdiApi {
 public:
  // The next call refused, with libftdi's code (none when 0) and the errno it leaves.
  struct Refusal {
    int result = 0;
    int err = 0;
  };
  Refusal refuseStrings;       // ftdi_usb_get_strings2
  Refusal refuseOpen;          // ftdi_usb_open_dev
  bool refuseFraming = false;  // the next ftdi_set_line_property
  bool freshContextsReversed = false;
  bool moved = false;     // every device plugged in elsewhere since
  int readTimeoutMs = 0;  // the last open's, as libftdi waits for a chip to answer
  std::set<ftdi_context*> live;
  int misuse = 0;  // calls on contexts never made or already freed
  int nodes = 0;   // list nodes not yet freed

  ftdi_context* New() override { return *live.insert(real_->New()).first; }
  void Free(ftdi_context* f) override {
    if (Use(f)) real_->Free(f);
    live.erase(f);
  }
  int UsbFindAll(ftdi_context* f, ftdi_device_list** list, int vendor, int product) override {
    if (!Use(f)) return -1;
    if (longLived_ == nullptr) longLived_ = f;
    const int found = real_->UsbFindAll(f, list, vendor, product);
    for (ftdi_device_list* node = *list; node != nullptr; node = node->next) ++nodes;
    if (freshContextsReversed && f != longLived_) {
      ftdi_device_list* reversed = nullptr;
      while (ftdi_device_list* node = *list) {
        *list = node->next;
        node->next = std::exchange(reversed, node);
      }
      *list = reversed;
    }
    listedOn_[*list] = f;
    return found;
  }
  void ListFree(ftdi_device_list** list) override {
    // libusb unrefs each device on the list's own context.
    if (!Use(listedOn_[*list])) return;
    listedOn_.erase(*list);
    for (ftdi_device_list* node = *list; node != nullptr; node = node->next) --nodes;
    real_->ListFree(list);
  }
  std::vector<std::uint8_t> UsbLocation(libusb_device* dev) override {
    std::vector<std::uint8_t> location = real_->UsbLocation(dev);
    if (moved) location.push_back(9);
    return location;
  }
  int UsbGetStrings2(ftdi_context* f, libusb_device* dev, char* m, int mLen, char* d, int dLen,
                     char* s, int sLen) override {
    if (!Use(f)) return -1;
    refusedErrno_.reset();
    // On -11 libftdi returns without closing the device it opened to read the strings.
    if (refuseStrings.result == -11) real_->UsbOpenDev(f, dev);
    if (refuseStrings.result != 0) return Refused(refuseStrings);
    return real_->UsbGetStrings2(f, dev, m, mLen, d, dLen, s, sLen);
  }
  int UsbOpenDev(ftdi_context* f, libusb_device* dev) override {
    if (!Use(f)) return -1;
    readTimeoutMs = f->usb_read_timeout;
    refusedErrno_.reset();
    return refuseOpen.result != 0 ? Refused(refuseOpen) : real_->UsbOpenDev(f, dev);
  }
  int UsbClose(ftdi_context* f) override { return Use(f) ? real_->UsbClose(f) : -1; }
  int SetLatencyTimer(ftdi_context* f, unsigned char l) override {
    return real_->SetLatencyTimer(f, l);
  }
  int SetBaudrate(ftdi_context* f, int b) override { return real_->SetBaudrate(f, b); }
  int SetLineProperty(ftdi_context* f, ftdi_bits_type b, ftdi_stopbits_type s,
                      ftdi_parity_type p) override {
    return std::exchange(refuseFraming, false) ? -1 : real_->SetLineProperty(f, b, s, p);
  }
  int SetBitmode(ftdi_context* f, unsigned char m, unsigned char b) override {
    return real_->SetBitmode(f, m, b);
  }
  int ReadData(ftdi_context* f, unsigned char* d, int n) override {
    return real_->ReadData(f, d, n);
  }
  int WriteData(ftdi_context* f, const unsigned char* d, int n) override {
    return real_->WriteData(f, d, n);
  }
  const char* GetErrorString(ftdi_context* f) override { return real_->GetErrorString(f); }
  int SavedErrno() const override { return refusedErrno_ ? *refusedErrno_ : real_->SavedErrno(); }

 private:
  bool Use(ftdi_context* f) {
    misuse += live.contains(f) ? 0 : 1;
    return live.contains(f);
  }
  int Refused(Refusal& refusal) {
    refusedErrno_ = refusal.err;
    return std::exchange(refusal, {}).result;
  }

  std::shared_ptr<LibftdiApi> real_ = SystemLibftdi();
  ftdi_context* longLived_ = nullptr;
  std::map<ftdi_device_list*, ftdi_context*> listedOn_;
  std::optional<int> refusedErrno_;
};

// The link over the libftdi backend, over the watched real libftdi1 and libusb, over the emulator.
class EmulatedLink : public ::testing::Test {
 protected:
  // Whatever a test did, the backend frees all it took from libftdi and touches nothing freed.
  void TearDown() override {
    link.reset();
    backend.reset();
    EXPECT_EQ(std::tuple(api->live.size(), api->nodes, api->misuse), std::tuple(0u, 0, 0));
  }

  std::string Description(std::int32_t index) {
    EXPECT_EQ(backend->FT_ListDevicesDescription(index, buffer.data()), FT_OK);
    return buffer.data();
  }

  EmulatedFt232r chips;
  std::shared_ptr<WatchedLibftdi> api = std::make_shared<WatchedLibftdi>();
  std::shared_ptr<LibftdiBackend> backend = std::make_shared<LibftdiBackend>(api);
  std::unique_ptr<ctlVELD32UsbComm> link;
  std::int32_t handle = -1;
  std::int32_t n = 0;
  std::array<char, kDescriptionBufferSize> buffer{};
};

// The open finds the adapter the listing described again by where it is plugged in, whatever
// order a fresh enumeration has.
TEST_F(EmulatedLink, EveryAdapterIsListedAndTheOneDescribedVELD32IsOpenedConfiguredAndReleased) {
  api->freshContextsReversed = true;
  chips.Plug({"FT232R USB UART", "A0000001"});
  chips.Plug({"", "A0000002"});
  const int tester = chips.Plug({"VELD32", "A0000003"});
  chips.Plug({std::string(50, 'a') + std::string(10, 'b'), "SERIAL-LONGER-THAN-15"});

  link = std::make_unique<ctlVELD32UsbComm>(backend);
  link->OpenDevice();
  ASSERT_TRUE(link->Connected()) << link->Status().message.toStdString();
  // Listed while the link is open: each adapter's own strings, a description cut at 50 bytes
  // without its NUL, a USB serial number at 15 characters with it.
  ASSERT_EQ(backend->FT_ListDevicesCount(n), FT_OK);
  ASSERT_EQ(n, 4);
  std::vector<std::pair<std::string, std::string>> listed;
  for (std::int32_t index = 0; index <= n; ++index) {
    std::array<char, kDescriptionBufferSize + 2> description;
    std::array<char, kSerialNumberBufferSize> serial;
    description.fill('#');
    description.back() = '\0';
    serial.fill('#');
    const FT_STATUS expected = index < n ? FT_OK : FT_DEVICE_NOT_FOUND;
    EXPECT_EQ(backend->FT_ListDevicesDescription(index, description.data()), expected) << index;
    EXPECT_EQ(backend->FT_ListDevicesSerialNumber(index, serial.data()), expected) << index;
    if (index < n) listed.emplace_back(description.data(), serial.data());
  }
  std::sort(listed.begin(), listed.end());
  // The adapter without a product string is listed with an empty description, without advice.
  EXPECT_EQ(listed, (std::vector<std::pair<std::string, std::string>>{
                        {"", "A0000002"},
                        {"FT232R USB UART", "A0000001"},
                        {"VELD32", "A0000003"},
                        {std::string(50, 'a') + "#", "SERIAL-LONGER-T"}}));
  EXPECT_FALSE(backend->PermissionRefused());

  std::vector<std::string> written;
  for (int adapter = 0; adapter < 4; ++adapter) written.push_back(chips.Observed(adapter).written);
  EXPECT_EQ(written, (std::vector<std::string>{"", "", "(*)", ""}));
  // FTDI's vendor requests, "request=value": latency 16 ms, 19200 baud (divisor 0x809c), 8N1
  // framing and the serial (not bit-bang) mode.
  const std::vector<std::string> settings = chips.Observed(tester).settings;
  for (const char* expected : {"9=16", "3=32924", "4=8", "11=0"})
    EXPECT_NE(std::ranges::find(settings, expected), settings.end()) << expected;
  link->Disconnect();
  EXPECT_EQ(chips.Observed(tester).reattached, 1);
  EXPECT_EQ(backend->LastErrorText(), "");
}

// Each refusal of libusb's, reading a description or opening, maps to a driver status and tells
// a missing permission; the listing and the next open work as before. A device plugged in
// elsewhere since the listing is no longer found.
TEST_F(EmulatedLink, RefusalsMapToADriverStatusTellAMissingPermissionAndSpoilNothingAfter) {
  chips.Plug({"FT232R USB UART", "A0000001"});
  chips.Plug({"VELD32", "A0000002"});
  ASSERT_EQ(backend->FT_ListDevicesCount(n), FT_OK);
  const std::int32_t tester = Description(0) == "VELD32" ? 0 : 1;
  const struct {
    bool listing;  // refused reading the other adapter's description, else opening the tester
    int result, err;
    FT_STATUS status;
    bool permission;
  } cases[] = {{false, -4, EACCES, FT_DEVICE_NOT_OPENED, true},
               {false, -4, ENODEV, FT_DEVICE_NOT_OPENED, false},
               {false, -8, 0, FT_DEVICE_NOT_OPENED, true},
               {false, -3, 0, FT_DEVICE_NOT_OPENED, false},
               {false, -6, 0, FT_IO_ERROR, false},
               {true, -4, EACCES, FT_DEVICE_NOT_OPENED, true},
               {true, -11, 0, FT_IO_ERROR, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE((c.listing ? "listing " : "opening ") + std::to_string(c.result));
    (c.listing ? api->refuseStrings : api->refuseOpen) = {c.result, c.err};
    EXPECT_EQ(c.listing ? backend->FT_ListDevicesDescription(1 - tester, buffer.data())
                        : backend->FT_Open(tester, n),
              c.status);
    EXPECT_EQ(backend->PermissionRefused(), c.permission);
    EXPECT_NE(backend->LastErrorText().find("(" + std::to_string(c.result) + ")"),
              std::string::npos)
        << backend->LastErrorText();

    EXPECT_EQ(Description(tester), "VELD32");
    ASSERT_EQ(backend->FT_Open(tester, handle), FT_OK);
    EXPECT_EQ(backend->FT_Close(handle), FT_OK);
    EXPECT_FALSE(backend->PermissionRefused());
  }
  api->moved = true;
  EXPECT_EQ(backend->FT_ListDevicesDescription(tester, buffer.data()), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(backend->FT_Open(tester, n), FT_DEVICE_NOT_FOUND);
}

// Every call on the handle is then an I/O error with libftdi's own account until it is closed,
// and the handle is unknown afterwards; nothing is where the listing found it any more, and a
// listing afresh no longer finds it.
TEST_F(EmulatedLink, AnUnpluggedAdapterFailsEveryCallUntilClosed) {
  const int tester = chips.Plug({"VELD32", "A0000001"});
  ASSERT_EQ(backend->FT_Open(0, handle), FT_OK);
  chips.Unplug(tester);
  LibftdiBackend& b = *backend;
  char* data = buffer.data();
  const auto everyCall = [&] {
    return std::vector<FT_STATUS>{b.FT_SetLatencyTimer(handle, 16), b.FT_SetBaudRate(handle, 19200),
                                  b.FT_SetBitMode(handle, 0, 0),    b.FT_Write(handle, "(*)", 3, n),
                                  b.FT_GetQueueStatus(handle, n),   b.FT_Read(handle, data, 4, n)};
  };
  EXPECT_EQ(everyCall(), std::vector<FT_STATUS>(6, FT_IO_ERROR));
  EXPECT_TRUE(std::regex_match(backend->LastErrorText(),
                               std::regex(R"(ftdi_read_data failed \(-\d+\): .+)")))
      << backend->LastErrorText();
  // Closed although the interface could not be released; the account says so.
  EXPECT_EQ(b.FT_Close(handle), FT_OK);
  EXPECT_NE(b.LastErrorText().find("ftdi_usb_close failed (-1)"), std::string::npos)
      << b.LastErrorText();
  EXPECT_EQ(everyCall(), std::vector<FT_STATUS>(6, FT_INVALID_HANDLE));
  EXPECT_EQ(b.LastErrorText(), "");
  EXPECT_EQ(b.FT_Close(handle), FT_INVALID_HANDLE);
  EXPECT_EQ(b.FT_Open(0, n), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(LibftdiBackend(api).FT_ListDevicesCount(n), FT_OK);
  EXPECT_EQ(n, 0);
}

// A chip that stops answering holds a read for at most about a tenth of a second (libftdi's own
// default would be 5 s); nothing received, a read gives nothing at once. The baud rate set but
// the framing refused, the setup fails and says where.
TEST_F(EmulatedLink, AReadWaitsATenthOfASecondAtMostAndARefusedFramingFailsTheSetup) {
  chips.Plug({"VELD32", "A0000001"});
  ASSERT_EQ(backend->FT_Open(0, handle), FT_OK);
  EXPECT_TRUE(api->readTimeoutMs >= 90 && api->readTimeoutMs < 1000) << api->readTimeoutMs;
  std::int32_t read = -1;
  ASSERT_EQ(backend->FT_Read(handle, buffer.data(), 5, read), FT_OK);
  EXPECT_EQ(read, 0);
  api->refuseFraming = true;
  EXPECT_EQ(backend->FT_SetBaudRate(handle, 19200), FT_IO_ERROR);
  EXPECT_NE(backend->LastErrorText().find("ftdi_set_line_property"), std::string::npos);
  EXPECT_EQ(backend->FT_Close(handle), FT_OK);
}

}  // namespace
