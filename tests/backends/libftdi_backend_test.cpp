#include "backends/libftdi_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "device_link/ctlVELD32UsbComm.h"

using ::testing::HasSubstr;

namespace {
// libftdi1 over scripted FTDI devices. Contexts and list nodes are real allocations, so one the
// backend leaks or uses after freeing it (a list freed after its context, too) is caught. As in
// libftdi, a context holds the device open on it in usb_dev and its last error in error_str,
// and reading strings on a context with a device open reads that device's strings. Optionally,
// like libusb, a fresh context lists the devices in another order than the long-lived one.
class FakeLibftdi : public LibftdiApi {
 public:
  struct Device {
    std::string description;
    int refused = 0;  // when negative, ftdi_usb_get_strings2's and ftdi_usb_open_dev's result
    int err = 0;      // errno a refusal leaves
    std::vector<std::uint8_t> location = {};  // bus and ports; by default {1, position + 1}
    std::string serial{};
  };

  std::vector<Device> devices;
  std::deque<std::string> reads;  // what each ftdi_read_data call finds; "" finds nothing
  bool unplugged = false;         // every transfer fails as after a removal
  std::string log;                // what the backend set and wrote
  std::set<ftdi_context*> live;
  bool freshContextsReversed = false;
  int misuse = 0;  // calls on contexts never made or already freed
  int nodes = 0;   // list nodes not yet freed

  ftdi_context* New() override {
    // ftdi_init's defaults.
    auto* ftdi = new ftdi_context{};
    ftdi->usb_read_timeout = 5000;
    ftdi->module_detach_mode = AUTO_DETACH_SIO_MODULE;
    return *live.insert(ftdi).first;
  }
  void Free(ftdi_context* ftdi) override {
    if (Use(ftdi)) delete ftdi;
    live.erase(ftdi);
  }
  int UsbFindAll(ftdi_context* ftdi, ftdi_device_list** list, int, int) override {
    if (longLived_ == nullptr) longLived_ = ftdi;
    const bool reversed = freshContextsReversed && ftdi != longLived_;
    for (std::size_t k = devices.size(); k-- > 0; ++nodes) {
      const std::size_t i = reversed ? devices.size() - 1 - k : k;
      *list = new ftdi_device_list{*list, reinterpret_cast<libusb_device*>(i + 1)};
      listedOn_[*list] = ftdi;
    }
    return Use(ftdi) ? static_cast<int>(devices.size()) : -1;
  }
  void ListFree(ftdi_device_list** list) override {
    for (ftdi_device_list* node; (node = *list) != nullptr; --nodes) {
      Use(listedOn_[node]);  // libusb unrefs each device on the list's own context
      listedOn_.erase(node);
      *list = node->next;
      delete node;
    }
  }
  std::vector<std::uint8_t> UsbLocation(libusb_device* dev) override {
    const auto i = reinterpret_cast<std::size_t>(dev) - 1;
    const Device& device = devices.at(i);
    if (!device.location.empty()) return device.location;
    return {1, static_cast<std::uint8_t>(i + 1)};
  }
  int UsbGetStrings2(ftdi_context* ftdi, libusb_device* dev, char*, int, char* description,
                     int length, char* serial, int serialLength) override {
    if (!Use(ftdi)) return -1;
    if (ftdi->usb_dev != nullptr) dev = reinterpret_cast<libusb_device*>(ftdi->usb_dev);
    const Device& device = devices.at(reinterpret_cast<std::size_t>(dev) - 1);
    // On this failure libftdi returns without closing the device it opened to read the strings.
    if (device.refused == -11) ftdi->usb_dev = reinterpret_cast<libusb_device_handle*>(dev);
    if (device.refused < 0) return Fail(ftdi, device.refused, device.err);
    if (description != nullptr) {
      std::snprintf(description, static_cast<std::size_t>(length), "%s",
                    device.description.c_str());
    }
    if (serial != nullptr) {
      std::snprintf(serial, static_cast<std::size_t>(serialLength), "%s", device.serial.c_str());
    }
    return 0;
  }
  int UsbOpenDev(ftdi_context* ftdi, libusb_device* dev) override {
    const Device& device = devices.at(reinterpret_cast<std::size_t>(dev) - 1);
    if (!Use(ftdi)) return -1;
    if (device.refused < 0) return Fail(ftdi, device.refused, device.err);
    ftdi->usb_dev = reinterpret_cast<libusb_device_handle*>(dev);
    log += "open " + device.description + " " + std::to_string(ftdi->usb_read_timeout) + " " +
           std::to_string(ftdi->module_detach_mode) + ";";
    return 0;
  }
  int UsbClose(ftdi_context* ftdi) override {
    if (Use(ftdi)) ftdi->usb_dev = nullptr;
    return unplugged ? -1 : 0;  // closed, but the interface of a vanished device not released
  }
  int SetLatencyTimer(ftdi_context* f, unsigned char ms) override { return Set(f, "latency", ms); }
  int SetBaudrate(ftdi_context* f, int baud) override { return Set(f, "baud", baud); }
  int SetLineProperty(ftdi_context* ftdi, ftdi_bits_type bits, ftdi_stopbits_type stop,
                      ftdi_parity_type parity) override {
    return Set(ftdi, bits == BITS_8 && stop == STOP_BIT_1 && parity == NONE ? "8N1" : "other");
  }
  int SetBitmode(ftdi_context* f, unsigned char mask, unsigned char mode) override {
    return Set(f, "bitmode", mask, mode);
  }
  int ReadData(ftdi_context* ftdi, unsigned char* buffer, int size) override {
    if (const int failed = Set(ftdi, ""); failed != 0 || reads.empty()) return failed;
    const std::size_t n = std::min(reads.front().size(), static_cast<std::size_t>(size));
    std::memcpy(buffer, reads.front().data(), n);
    reads.front().erase(0, n);
    if (reads.front().empty()) reads.pop_front();
    return static_cast<int>(n);
  }
  int WriteData(ftdi_context* ftdi, const unsigned char* buffer, int size) override {
    const int failed = Set(ftdi, "write " + std::string(reinterpret_cast<const char*>(buffer),
                                                        static_cast<std::size_t>(size)));
    return failed != 0 ? failed : size;
  }
  const char* GetErrorString(ftdi_context* f) override { return Use(f) ? f->error_str : ""; }
  int SavedErrno() const override { return errno_; }

 private:
  bool Use(ftdi_context* ftdi) {
    misuse += live.contains(ftdi) ? 0 : 1;
    return live.contains(ftdi);
  }
  int Fail(ftdi_context* ftdi, int result, int err) {
    ftdi->error_str = "libusb call failed";
    errno_ = err;
    return result;
  }
  // A transfer or setting on the open device, logged: 0, or libusb's code for a vanished device.
  template <typename... Values>
  int Set(ftdi_context* ftdi, std::string call, Values... values) {
    if (!Use(ftdi)) return -1;
    if (unplugged) return Fail(ftdi, -4, 0);
    ((call += " " + std::to_string(values)), ...);
    if (!call.empty()) log += call + ";";
    return 0;
  }

  int errno_ = 0;
  ftdi_context* longLived_ = nullptr;
  std::map<ftdi_device_list*, ftdi_context*> listedOn_;
};

class LibftdiBackendTest : public ::testing::Test {
 protected:
  LibftdiBackendTest() {
    fake->devices = {{"FT232R USB UART", 0, 0, {}, "A50285BI"},
                     {"VELD32", 0, 0, {}, "FT6X9ABC"},
                     {std::string(50, 'a') + "bbbbbbbbbb", 0, 0, {}, "SERIAL-LONGER-THAN-15"}};
  }

  // Whatever a test did, the backend frees all it took and touches nothing it freed.
  void TearDown() override {
    backend.reset();
    // Contexts and list nodes left, calls on contexts not (or no longer) made.
    EXPECT_EQ(std::tuple(fake->live.size(), fake->nodes, fake->misuse), std::tuple(0u, 0, 0));
  }

  std::int32_t Open(std::int32_t index = 1) {
    std::int32_t handle = 0;
    EXPECT_EQ(backend->FT_Open(index, handle), FT_OK);
    return handle;
  }

  std::string Description(std::int32_t index) {
    std::array<char, kDescriptionBufferSize + 2> description;
    description.fill('#');
    description.back() = '\0';
    EXPECT_EQ(backend->FT_ListDevicesDescription(index, description.data()), FT_OK);
    return description.data();
  }

  std::shared_ptr<FakeLibftdi> fake = std::make_shared<FakeLibftdi>();
  std::unique_ptr<LibftdiBackend> backend = std::make_unique<LibftdiBackend>(fake);
  std::int32_t n = 0;
  std::array<char, 16> buffer{};
};

TEST_F(LibftdiBackendTest, ListsDescriptionsCutAtFiftyBytesWithoutDisturbingAnOpenLink) {
  ASSERT_EQ(backend->FT_ListDevicesCount(n), FT_OK);
  EXPECT_EQ(n, 3);
  Open(1);
  EXPECT_EQ(Description(0), "FT232R USB UART");
  EXPECT_EQ(Description(1), "VELD32");
  EXPECT_EQ(Description(2), std::string(50, 'a') + "#");  // no NUL, nothing past 50 bytes
  EXPECT_EQ(backend->FT_ListDevicesDescription(3, buffer.data()), FT_DEVICE_NOT_FOUND);
}

TEST_F(LibftdiBackendTest, ListsUsbSerialNumbersOfAtMostFifteenCharactersWithTheirNul) {
  Open(1);
  for (const auto& [index, serial] :
       {std::pair(0, "A50285BI"), std::pair(1, "FT6X9ABC"), std::pair(2, "SERIAL-LONGER-T")}) {
    buffer.fill('#');
    ASSERT_EQ(backend->FT_ListDevicesSerialNumber(index, buffer.data()), FT_OK);
    EXPECT_STREQ(buffer.data(), serial);
  }
  EXPECT_EQ(backend->FT_ListDevicesSerialNumber(3, buffer.data()), FT_DEVICE_NOT_FOUND);
}

TEST_F(LibftdiBackendTest, AReadTimesOutWithNothingAndDataArrivesOverSeveralReads) {
  const std::int32_t handle = Open();
  std::int32_t read = -1;
  ASSERT_EQ(backend->FT_Read(handle, buffer.data(), 5, read), FT_OK);  // nothing ever received
  EXPECT_EQ(read, 0);
  fake->reads = {"(MV", "", "101.02)"};
  for (const std::int32_t expected : {3, 3, 10}) {
    ASSERT_EQ(backend->FT_GetQueueStatus(handle, n), FT_OK);
    EXPECT_EQ(n, expected);
  }
  ASSERT_EQ(backend->FT_Read(handle, buffer.data(), n, read), FT_OK);
  EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(read)), "(MV101.02)");
}

TEST_F(LibftdiBackendTest, SetsUpAndWritesThenAfterAnUnplugEveryCallIsAnIoErrorUntilClosed) {
  const std::int32_t handle = Open();
  const auto calls = [&] {
    return std::vector<FT_STATUS>{
        backend->FT_SetLatencyTimer(handle, 16), backend->FT_SetBaudRate(handle, 19200),
        backend->FT_SetBitMode(handle, 0, 0),    backend->FT_Write(handle, "(*)", 3, n),
        backend->FT_GetQueueStatus(handle, n),   backend->FT_Read(handle, buffer.data(), 4, n)};
  };
  EXPECT_EQ(calls(), std::vector<FT_STATUS>(6, FT_OK));
  // Reads give up within 100 ms; the kernel's serial driver comes back at close.
  EXPECT_EQ(fake->log, "open VELD32 100 2;latency 16;baud 19200;8N1;bitmode 0 0;write (*);");
  fake->unplugged = true;
  EXPECT_EQ(calls(), std::vector<FT_STATUS>(6, FT_IO_ERROR));
  EXPECT_THAT(backend->LastErrorText(),
              HasSubstr("ftdi_read_data failed (-4): libusb call failed"));
  EXPECT_EQ(backend->FT_Close(handle), FT_OK);
  EXPECT_EQ(fake->live.size(), 1u);  // the listing's context alone
  EXPECT_EQ(backend->FT_GetQueueStatus(handle, n), FT_INVALID_HANDLE);
  EXPECT_EQ(backend->LastErrorText(), "");  // no libftdi call failed here
  EXPECT_EQ(backend->FT_Close(handle), FT_INVALID_HANDLE);
}

TEST_F(LibftdiBackendTest, OpensTheDeviceTheListingDescribedWhateverOrderAnotherEnumerationHas) {
  fake->devices = {{"FT232R USB UART", 0, 0, {2, 1}}, {"VELD32", 0, 0, {1, 4, 2}}};
  fake->freshContextsReversed = true;
  ASSERT_EQ(backend->FT_ListDevicesCount(n), FT_OK);
  EXPECT_EQ(Description(1), "VELD32");
  EXPECT_EQ(backend->FT_Close(Open(1)), FT_OK);
  EXPECT_THAT(fake->log, ::testing::StartsWith("open VELD32 "));
  // Unplugged since the listing: nothing is at its place any more.
  fake->devices[1].location = {1, 4, 3};
  EXPECT_EQ(backend->FT_Open(1, n), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(backend->FT_ListDevicesDescription(1, buffer.data()), FT_DEVICE_NOT_FOUND);
  fake->devices.clear();
  EXPECT_EQ(backend->FT_Open(0, n), FT_DEVICE_NOT_FOUND);
}

TEST_F(LibftdiBackendTest, RefusalsMapToADriverStatusTellAMissingPermissionAndSpoilNothingAfter) {
  const struct {
    bool listing;  // refused reading device 0's description, else opening device 1
    int result, err;
    FT_STATUS status;
    bool permission;
  } cases[] = {{true, -8, 0, FT_OK, false},  // no product string: listed, described ""
               {false, -4, EACCES, FT_DEVICE_NOT_OPENED, true},
               {false, -4, ENODEV, FT_DEVICE_NOT_OPENED, false},
               {false, -8, 0, FT_DEVICE_NOT_OPENED, true},
               {false, -3, 0, FT_DEVICE_NOT_OPENED, false},
               {false, -6, 0, FT_IO_ERROR, false},
               {true, -4, EACCES, FT_DEVICE_NOT_OPENED, true},
               {true, -11, 0, FT_IO_ERROR, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE((c.listing ? "listing " : "opening ") + std::to_string(c.result));
    FakeLibftdi::Device& device = fake->devices[c.listing ? 0 : 1];
    device.refused = c.result;
    device.err = c.err;
    EXPECT_EQ(
        c.listing ? backend->FT_ListDevicesDescription(0, buffer.data()) : backend->FT_Open(1, n),
        c.status);
    EXPECT_EQ(backend->PermissionRefused(), c.permission);
    if (c.status == FT_OK) {
      EXPECT_STREQ(buffer.data(), "");
    }

    device = {device.description};
    EXPECT_EQ(Description(1), "VELD32");
    EXPECT_EQ(backend->FT_Close(Open(1)), FT_OK);
    EXPECT_FALSE(backend->PermissionRefused());
  }
}

// The udev rule lets the user at the seat, or plugdev, open the tester on every bridge the
// libftdi backend lists, keeps ModemManager away from its serial port, and touches no device
// that does not describe itself as the tester.
TEST(UdevRule, GrantsTheSeatAndPlugdevTheTesterAloneAndKeepsModemManagerAway) {
  std::ifstream file(std::string(VELD32_SOURCE_DIR) + "/" + std::string(kUdevRuleSource));
  std::string usbRule;
  std::string ttyRule;
  const std::regex product(R"re(ATTRS?\{product\}=="([^"]*)")re");
  for (std::string line; std::getline(file, line);) {
    if (!line.starts_with("SUBSYSTEM==")) continue;
    std::smatch match;
    EXPECT_TRUE(std::regex_search(line, match, product) &&
                ctlVELD32UsbComm::IsTesterDescription(match[1].str()))
        << line;
    if (line.starts_with("SUBSYSTEM==\"usb\"")) usbRule = line;
    if (line.starts_with("SUBSYSTEM==\"tty\"")) ttyRule = line;
  }
  std::vector<std::string> parts{"TAG+=\"uaccess\"",         "MODE=\"0660\"",
                                 "GROUP=\"plugdev\"",        "ENV{ID_MM_DEVICE_IGNORE}=\"1\"",
                                 "ATTR{idVendor}==\"0403\"", "ATTR{product}=="};
  for (int id : kFtdiProductIds) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", id);
    parts.push_back(text);
    EXPECT_THAT(ttyRule, HasSubstr(text));
  }
  for (const std::string& part : parts) EXPECT_THAT(usbRule, HasSubstr(part));
  for (const char* part :
       {"ENV{ID_MM_DEVICE_IGNORE}=\"1\"", "ATTRS{idVendor}==\"0403\"", "ATTRS{product}=="})
    EXPECT_THAT(ttyRule, HasSubstr(part));
}
}  // namespace
