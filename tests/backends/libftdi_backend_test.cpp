#include "backends/libftdi_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
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
// What the emulated FT232R (tests/emulated/) cannot make happen: libusb refusing an open or a
// string read with each of libftdi's codes and errnos, a fresh libusb context listing the devices
// in another order than the long-lived one, and the backend leaking or reusing libftdi's
// contexts and list nodes. These are real allocations here, so a leak or a use after freeing
// (a list freed after its context, too) is caught. As in libftdi, a context holds the device
// open on it in usb_dev and its last error in error_str, and reading strings on a context with a
// device open reads that device's strings.
class FakeLibftdi : public LibftdiApi {
 public:
  struct Device {
    std::string description;
    int refused = 0;  // when negative, ftdi_usb_get_strings2's and ftdi_usb_open_dev's result
    int err = 0;      // errno a refusal leaves
    std::vector<std::uint8_t> location = {};  // bus and ports; by default {1, position + 1}
  };

  std::vector<Device> devices;
  std::string opened;  // descriptions of the devices opened, each followed by ";"
  std::set<ftdi_context*> live;
  bool freshContextsReversed = false;
  int misuse = 0;  // calls on contexts never made or already freed
  int nodes = 0;   // list nodes not yet freed

  ftdi_context* New() override { return *live.insert(new ftdi_context{}).first; }
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
                     int length, char*, int) override {
    if (!Use(ftdi)) return -1;
    if (ftdi->usb_dev != nullptr) dev = reinterpret_cast<libusb_device*>(ftdi->usb_dev);
    const Device& device = devices.at(reinterpret_cast<std::size_t>(dev) - 1);
    // On this failure libftdi returns without closing the device it opened to read the strings.
    if (device.refused == -11) ftdi->usb_dev = reinterpret_cast<libusb_device_handle*>(dev);
    if (device.refused < 0) return Fail(ftdi, device.refused, device.err);
    std::snprintf(description, static_cast<std::size_t>(length), "%s", device.description.c_str());
    return 0;
  }
  int UsbOpenDev(ftdi_context* ftdi, libusb_device* dev) override {
    const Device& device = devices.at(reinterpret_cast<std::size_t>(dev) - 1);
    if (!Use(ftdi)) return -1;
    if (device.refused < 0) return Fail(ftdi, device.refused, device.err);
    ftdi->usb_dev = reinterpret_cast<libusb_device_handle*>(dev);
    opened += device.description + ";";
    return 0;
  }
  int UsbClose(ftdi_context* ftdi) override {
    if (Use(ftdi)) ftdi->usb_dev = nullptr;
    return 0;
  }
  // The emulator's business.
  int SetLatencyTimer(ftdi_context*, unsigned char) override { return -1; }
  int SetBaudrate(ftdi_context*, int) override { return -1; }
  int SetLineProperty(ftdi_context*, ftdi_bits_type, ftdi_stopbits_type,
                      ftdi_parity_type) override {
    return -1;
  }
  int SetBitmode(ftdi_context*, unsigned char, unsigned char) override { return -1; }
  int ReadData(ftdi_context*, unsigned char*, int) override { return -1; }
  int WriteData(ftdi_context*, const unsigned char*, int) override { return -1; }
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

  int errno_ = 0;
  ftdi_context* longLived_ = nullptr;
  std::map<ftdi_device_list*, ftdi_context*> listedOn_;
};

class LibftdiBackendTest : public ::testing::Test {
 protected:
  // Whatever a test did, the backend frees all it took and touches nothing it freed.
  void TearDown() override {
    backend.reset();
    // Contexts and list nodes left, calls on contexts not (or no longer) made.
    EXPECT_EQ(std::tuple(fake->live.size(), fake->nodes, fake->misuse), std::tuple(0u, 0, 0));
  }

  std::int32_t Open(std::int32_t index) {
    std::int32_t handle = 0;
    EXPECT_EQ(backend->FT_Open(index, handle), FT_OK);
    return handle;
  }

  std::string Description(std::int32_t index) {
    EXPECT_EQ(backend->FT_ListDevicesDescription(index, buffer.data()), FT_OK);
    return buffer.data();
  }

  std::shared_ptr<FakeLibftdi> fake = std::make_shared<FakeLibftdi>();
  std::unique_ptr<LibftdiBackend> backend = std::make_unique<LibftdiBackend>(fake);
  std::int32_t n = 0;
  std::array<char, kDescriptionBufferSize> buffer{};
};

TEST_F(LibftdiBackendTest, OpensTheDeviceTheListingDescribedWhateverOrderAnotherEnumerationHas) {
  fake->devices = {{"FT232R USB UART", 0, 0, {2, 1}}, {"VELD32", 0, 0, {1, 4, 2}}};
  fake->freshContextsReversed = true;
  ASSERT_EQ(backend->FT_ListDevicesCount(n), FT_OK);
  EXPECT_EQ(Description(1), "VELD32");
  EXPECT_EQ(backend->FT_Close(Open(1)), FT_OK);
  EXPECT_EQ(fake->opened, "VELD32;");
  // Unplugged since the listing: nothing is at its place any more.
  fake->devices[1].location = {1, 4, 3};
  EXPECT_EQ(backend->FT_Open(1, n), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(backend->FT_ListDevicesDescription(1, buffer.data()), FT_DEVICE_NOT_FOUND);
  fake->devices.clear();
  EXPECT_EQ(backend->FT_Open(0, n), FT_DEVICE_NOT_FOUND);
}

TEST_F(LibftdiBackendTest, RefusalsMapToADriverStatusTellAMissingPermissionAndSpoilNothingAfter) {
  fake->devices = {{"FT232R USB UART"}, {"VELD32"}};
  const struct {
    bool listing;  // refused reading device 0's description, else opening device 1
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
    FakeLibftdi::Device& device = fake->devices[c.listing ? 0 : 1];
    device.refused = c.result;
    device.err = c.err;
    EXPECT_EQ(
        c.listing ? backend->FT_ListDevicesDescription(0, buffer.data()) : backend->FT_Open(1, n),
        c.status);
    EXPECT_EQ(backend->PermissionRefused(), c.permission);
    EXPECT_THAT(backend->LastErrorText(), HasSubstr("(" + std::to_string(c.result) + ")"));

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
