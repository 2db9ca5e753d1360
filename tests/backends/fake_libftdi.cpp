#include "fake_libftdi.h"

#include <algorithm>
#include <cstring>

namespace {
// libusb's code for a vanished device, which ftdi_read_data and ftdi_write_data pass on.
constexpr int kLibusbNoDevice = -4;
constexpr int kDescriptorFailed = -11;

libusb_device* DeviceHandle(std::size_t index) {
  return reinterpret_cast<libusb_device*>(static_cast<std::uintptr_t>(index + 1));
}

std::size_t DeviceIndex(libusb_device* dev) {
  return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(dev)) - 1;
}
}  // namespace

ftdi_context* FakeLibftdi::New() {
  auto context = std::make_unique<ftdi_context>();
  ftdi_context* ftdi = context.get();
  contexts_[ftdi] = std::move(context);
  state_[ftdi] = {};
  return ftdi;
}

void FakeLibftdi::Free(ftdi_context* ftdi) {
  if (Live(ftdi, "ftdi_free") == nullptr) return;
  state_.erase(ftdi);
  contexts_.erase(ftdi);
}

FakeLibftdi::Context* FakeLibftdi::Live(ftdi_context* ftdi, const char* call) {
  auto it = state_.find(ftdi);
  if (it == state_.end()) {
    misuse.push_back(call);
    return nullptr;
  }
  return &it->second;
}

FakeLibftdi::Context* FakeLibftdi::Open(ftdi_context* ftdi, const char* call) {
  Context* context = Live(ftdi, call);
  if (context == nullptr || !context->openDevice) return nullptr;
  return context;
}

int FakeLibftdi::Fail(Context& context, int result, const char* text) {
  context.error = text;
  return result;
}

int FakeLibftdi::UsbFindAll(ftdi_context* ftdi, ftdi_device_list** devlist, int, int) {
  if (Live(ftdi, "ftdi_usb_find_all") == nullptr) return -1;
  ftdi_device_list** tail = devlist;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    *tail = new ftdi_device_list{nullptr, DeviceHandle(i)};
    ++liveNodes_;
    tail = &(*tail)->next;
  }
  return static_cast<int>(devices.size());
}

void FakeLibftdi::ListFree(ftdi_device_list** devlist) {
  for (ftdi_device_list* node = *devlist; node != nullptr;) {
    ftdi_device_list* next = node->next;
    delete node;
    --liveNodes_;
    node = next;
  }
  *devlist = nullptr;
}

int FakeLibftdi::UsbGetStrings2(ftdi_context* ftdi, libusb_device* dev, char*, int,
                                char* description, int descLen, char*, int) {
  Context* context = Live(ftdi, "ftdi_usb_get_strings2");
  if (context == nullptr) return -1;
  const std::size_t index = context->openDevice.value_or(DeviceIndex(dev));
  const Device& device = devices.at(index);
  if (device.stringsResult == kDescriptorFailed) {
    // libftdi returns here without closing the device it opened to read the strings.
    context->openDevice = index;
    return Fail(*context, kDescriptorFailed, "libusb_get_device_descriptor() failed");
  }
  if (device.stringsResult < 0) {
    errno_ = device.openErrno;
    return Fail(*context, device.stringsResult, "libusb_open() failed");
  }
  // libusb writes the ASCII string cut to the buffer, always with its NUL.
  const std::size_t n =
      std::min<std::size_t>(device.description.size(), static_cast<std::size_t>(descLen - 1));
  std::memcpy(description, device.description.data(), n);
  description[n] = '\0';
  return 0;
}

int FakeLibftdi::UsbOpenDev(ftdi_context* ftdi, libusb_device* dev) {
  Context* context = Live(ftdi, "ftdi_usb_open_dev");
  if (context == nullptr) return -8;
  const Device& device = devices.at(DeviceIndex(dev));
  if (device.openResult < 0) {
    errno_ = device.openErrno;
    return Fail(
        *context, device.openResult,
        device.openResult == -8 ? "inappropriate permissions on device!" : "libusb_open() failed");
  }
  errno_ = 0;
  context->openDevice = DeviceIndex(dev);
  return 0;
}

int FakeLibftdi::UsbClose(ftdi_context* ftdi) {
  Context* context = Live(ftdi, "ftdi_usb_close");
  if (context == nullptr) return -3;
  ++usbCloses;
  context->openDevice.reset();
  return unplugged ? Fail(*context, -1, "usb_release failed") : 0;
}

int FakeLibftdi::SetLatencyTimer(ftdi_context* ftdi, unsigned char value) {
  Context* context = Open(ftdi, "ftdi_set_latency_timer");
  if (context == nullptr) return -3;
  if (value < 1) return Fail(*context, -1, "latency out of range. Only valid for 1-255");
  if (unplugged) return Fail(*context, -2, "unable to set latency timer");
  latency = value;
  return 0;
}

int FakeLibftdi::SetBaudrate(ftdi_context* ftdi, int baudrate) {
  Context* context = Open(ftdi, "ftdi_set_baudrate");
  if (context == nullptr) return -3;
  if (baudrate <= 0 || baudrate > 3000000) return Fail(*context, -1, "Silly baudrate <= 0.");
  if (unplugged) return Fail(*context, -2, "Setting new baudrate failed");
  baud = baudrate;
  return 0;
}

int FakeLibftdi::SetLineProperty(ftdi_context* ftdi, ftdi_bits_type bits, ftdi_stopbits_type sbit,
                                 ftdi_parity_type parity) {
  Context* context = Open(ftdi, "ftdi_set_line_property");
  if (context == nullptr) return -2;
  if (unplugged) return Fail(*context, -1, "Setting new line property failed");
  line = std::tuple{bits, sbit, parity};
  return 0;
}

int FakeLibftdi::SetBitmode(ftdi_context* ftdi, unsigned char bitmask, unsigned char mode) {
  Context* context = Open(ftdi, "ftdi_set_bitmode");
  if (context == nullptr) return -2;
  if (unplugged) return Fail(*context, -1, "unable to configure bitbang mode");
  bitmode = std::pair{bitmask, mode};
  return 0;
}

int FakeLibftdi::ReadData(ftdi_context* ftdi, unsigned char* buf, int size) {
  Context* context = Open(ftdi, "ftdi_read_data");
  if (context == nullptr) return -666;
  readSizes.push_back(size);
  if (unplugged) return Fail(*context, kLibusbNoDevice, "usb bulk read failed");
  if (reads.empty()) return 0;
  std::string& chunk = reads.front();
  const std::size_t n = std::min(chunk.size(), static_cast<std::size_t>(size));
  std::memcpy(buf, chunk.data(), n);
  chunk.erase(0, n);
  if (chunk.empty()) reads.pop_front();
  return static_cast<int>(n);
}

int FakeLibftdi::WriteData(ftdi_context* ftdi, const unsigned char* buf, int size) {
  Context* context = Open(ftdi, "ftdi_write_data");
  if (context == nullptr) return -666;
  if (unplugged) return Fail(*context, kLibusbNoDevice, "usb bulk write failed");
  const int taken = std::min(size, writeAccepts.value_or(size));
  written.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(taken));
  return taken;
}

const char* FakeLibftdi::GetErrorString(ftdi_context* ftdi) {
  Context* context = Live(ftdi, "ftdi_get_error_string");
  return context == nullptr ? "" : context->error.c_str();
}
