#include "tests/emulated/emulated_ft232r.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace {

constexpr std::size_t kPacketSize = 64;
constexpr std::size_t kSetupSize = 8;
constexpr unsigned char kModemStatus[] = {0x01, 0x60};
constexpr unsigned char kBulkIn = 0x81;
constexpr unsigned char kBulkOut = 0x02;

// Device descriptor (FT232R: bcdDevice 6.00, strings 1 to 3), then the configuration: one
// vendor-specific interface with a bulk-in and a bulk-out endpoint of 64 bytes.
constexpr char kDescriptorsHex[] =
    "12010002000000080304016000060102030109022000010100a02d"
    "0904000002ffffff02"
    "0705810240000007050202400000";

std::vector<unsigned char> StringDescriptor(const std::string& text) {
  std::vector<unsigned char> descriptor{static_cast<unsigned char>(2 + 2 * text.size()), 3};
  for (char c : text) {
    descriptor.push_back(static_cast<unsigned char>(c));
    descriptor.push_back(0);
  }
  return descriptor;
}

struct Completed {
  UMockdevIoctlData* urb;  // referenced
  int status;
  std::vector<unsigned char> payload;  // what lands in the buffer (behind the setup packet)
};

}  // namespace

struct EmulatedFt232r::Device {
  Adapter adapter;
  std::string syspath;
  std::string devnode;
  bool unplugged = false;
  Seen seen;
  std::string outgoing;  // from the tester, not yet sent on
  std::deque<Completed> completed;
};

struct EmulatedFt232r::Bed {
  UMockdevTestbed* testbed = nullptr;
  UMockdevIoctlBase* handler = nullptr;
  mutable std::mutex mutex;
  std::vector<std::unique_ptr<Device>> devices;

  Device* ByNode(const char* devnode) {
    for (auto& device : devices) {
      if (device->devnode == devnode) return device.get();
    }
    return nullptr;
  }

  static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer bed) {
    return static_cast<Bed*>(bed)->Handle(client) ? TRUE : FALSE;
  }

  bool Handle(UMockdevIoctlClient* client) {
    std::lock_guard lock(mutex);
    Device* device = ByNode(umockdev_ioctl_client_get_devnode(client));
    if (device == nullptr) return false;
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const auto done = [client](int result, int err) {
      umockdev_ioctl_client_complete(client, result, err);
      return true;
    };
    if (device->unplugged && request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_REAPURB) {
      return done(-1, ENODEV);
    }
    switch (request) {
      case USBDEVFS_GET_CAPABILITIES: {
        const std::uint32_t caps = USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_ZERO_PACKET |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        Resolved(arg, sizeof caps, [&](void* data) { std::memcpy(data, &caps, sizeof caps); });
        return done(0, 0);
      }
      case USBDEVFS_CLAIMINTERFACE:
      case USBDEVFS_RELEASEINTERFACE:
      case USBDEVFS_DISCONNECT_CLAIM:
      case USBDEVFS_SETCONFIGURATION:
      case USBDEVFS_CLEAR_HALT:
      case USBDEVFS_RESET:
      case USBDEVFS_RESETEP:
        return done(0, 0);
      case USBDEVFS_GETDRIVER:  // no kernel driver is bound to the emulated interface
        return done(-1, ENODATA);
      case USBDEVFS_IOCTL:
        Resolved(arg, sizeof(usbdevfs_ioctl), [&](void* data) {
          const int code = static_cast<usbdevfs_ioctl*>(data)->ioctl_code;
          device->seen.reattached += code == static_cast<int>(USBDEVFS_CONNECT) ? 1 : 0;
        });
        return done(0, 0);
      case USBDEVFS_SUBMITURB:
        return Submit(*device, arg) ? done(0, 0) : done(-1, EINVAL);
      case USBDEVFS_REAPURB:
      case USBDEVFS_REAPURBNDELAY:
        if (device->completed.empty()) return done(-1, device->unplugged ? ENODEV : EAGAIN);
        Reap(*device, arg);
        return done(0, 0);
      default:
        return false;
    }
  }

  // Runs `use` on `size` bytes that `arg` points to in the client.
  static void Resolved(UMockdevIoctlData* arg, gsize size, const std::function<void(void*)>& use) {
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, size, nullptr);
    use(data->data);
    umockdev_ioctl_data_unref(data);
  }

  static bool Submit(Device& device, UMockdevIoctlData* arg) {
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    const auto* urb = reinterpret_cast<const usbdevfs_urb*>(urbData->data);
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        urbData, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
    const std::string bytes(reinterpret_cast<const char*>(buffer->data),
                            static_cast<std::size_t>(urb->buffer_length));
    umockdev_ioctl_data_unref(buffer);
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
      Complete(device, urbData, Control(device, bytes));
    } else if (urb->endpoint == kBulkOut) {
      device.seen.written += bytes;
      if (auto reply = device.adapter.replies.find(bytes); reply != device.adapter.replies.end()) {
        device.outgoing += reply->second;
      }
      Complete(device, urbData, {urbData, 0, {}}, urb->buffer_length);
    } else if (urb->endpoint == kBulkIn) {
      Complete(device, urbData, {urbData, 0, BulkIn(device)});
    } else {
      umockdev_ioctl_data_unref(urbData);
      return false;
    }
    return true;
  }

  // Marks a submitted URB done; `length` overrides the payload's size (for bulk-out).
  static void Complete(Device& device, UMockdevIoctlData* urbData, Completed done,
                       int length = -1) {
    done.urb = urbData;
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    urb->status = done.status;
    urb->actual_length = length >= 0 ? length : static_cast<int>(done.payload.size());
    device.completed.push_back(std::move(done));
  }

  // One bulk-in packet: the chip's two status bytes, then what fits of the bytes it received.
  static std::vector<unsigned char> BulkIn(Device& device) {
    std::vector<unsigned char> payload(std::begin(kModemStatus), std::end(kModemStatus));
    const std::size_t n = std::min(device.outgoing.size(), kPacketSize - payload.size());
    payload.insert(payload.end(), device.outgoing.begin(), device.outgoing.begin() + n);
    device.outgoing.erase(0, n);
    return payload;
  }

  static Completed Control(Device& device, const std::string& setupAndData) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(setupAndData[i]); };
    const unsigned requestType = byte(0);
    const unsigned request = byte(1);
    const unsigned value = byte(2) | (byte(3) << 8);
    const std::size_t length = byte(6) | (byte(7) << 8);
    Completed done{nullptr, 0, {}};
    if (requestType == 0x80 && request == 6 && (value >> 8) == 3) {
      const unsigned index = value & 0xff;
      const Adapter& a = device.adapter;
      if (index == 0) {
        done.payload = {4, 3, 0x09, 0x04};  // English (United States)
      } else if (index == 2 && a.product.empty()) {
        done.status = -EPIPE;  // the request stalls
      } else {
        done.payload = StringDescriptor(index == 1 ? "FTDI" : index == 2 ? a.product : a.serial);
      }
    } else if (requestType == 0x80 && request == 8) {
      done.payload = {1};
    } else if (requestType == 0xc0) {
      done.payload.assign(length, 0);  // modem status, latency, bit mode, EEPROM: zeros
    } else if (requestType == 0x40) {
      device.seen.settings.push_back(std::to_string(request) + "=" + std::to_string(value));
    }
    if (done.payload.size() > length) done.payload.resize(length);
    return done;
  }

  static void Reap(Device& device, UMockdevIoctlData* arg) {
    Completed done = std::move(device.completed.front());
    device.completed.pop_front();
    auto* urb = reinterpret_cast<usbdevfs_urb*>(done.urb->data);
    // The emulator shares the process with libusb: the buffer is the caller's own memory.
    const std::size_t offset = urb->type == USBDEVFS_URB_TYPE_CONTROL ? kSetupSize : 0;
    std::copy(done.payload.begin(), done.payload.end(),
              static_cast<unsigned char*>(urb->buffer) + offset);
    UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(pointer, 0, done.urb);
    umockdev_ioctl_data_unref(pointer);
    umockdev_ioctl_data_unref(done.urb);
  }
};
EmulatedFt232r::EmulatedFt232r() : bed_(std::make_unique<Bed>()) {
  bed_->testbed = umockdev_testbed_new();
  bed_->handler = umockdev_ioctl_base_new();
  g_signal_connect(bed_->handler, "handle-ioctl", G_CALLBACK(Bed::OnIoctl), bed_.get());
}

EmulatedFt232r::~EmulatedFt232r() {
  for (auto& device : bed_->devices) {
    for (Completed& done : device->completed) umockdev_ioctl_data_unref(done.urb);
  }
  g_object_unref(bed_->handler);
  g_object_unref(bed_->testbed);
}

int EmulatedFt232r::Plug(Adapter adapter) {
  auto device = std::make_unique<Device>();
  device->adapter = std::move(adapter);
  int number = 0;
  {
    std::lock_guard lock(bed_->mutex);
    number = static_cast<int>(bed_->devices.size());
    char devnode[32];
    std::snprintf(devnode, sizeof devnode, "/dev/bus/usb/001/%03d", number + 2);
    device->devnode = devnode;
    device->syspath = "/sys/devices/usb1/1-" + std::to_string(number + 1);
    bed_->devices.push_back(std::move(device));
  }
  Device& plugged = *bed_->devices.back();
  // The node answers before the device is announced, so an open never finds it unserved.
  if (!umockdev_testbed_attach_ioctl(bed_->testbed, plugged.devnode.c_str(), bed_->handler,
                                     nullptr)) {
    throw std::runtime_error("umockdev cannot serve " + plugged.devnode);
  }
  const int devnum = number + 2;
  char record[1024];
  std::snprintf(
      record, sizeof record,
      "P: /devices/usb1/1-%d\nN: bus/usb/001/%03d\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
      "E: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=%d\nE: DEVNAME=/dev/bus/usb/001/%03d\n"
      "A: busnum=1\\n\nA: devnum=%d\\n\nA: bConfigurationValue=1\\n\nA: speed=12\\n\n"
      "H: descriptors=%s\n",
      number + 1, devnum, devnum, devnum, devnum, kDescriptorsHex);
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(bed_->testbed, record, &error)) {
    const std::string message = error != nullptr ? error->message : "unknown error";
    g_clear_error(&error);
    throw std::runtime_error("umockdev cannot add the adapter: " + message);
  }
  return number;
}

void EmulatedFt232r::Unplug(int adapter) {
  std::string syspath;
  {
    std::lock_guard lock(bed_->mutex);
    Device& device = *bed_->devices.at(static_cast<std::size_t>(adapter));
    device.unplugged = true;
    syspath = device.syspath;
  }
  umockdev_testbed_remove_device(bed_->testbed, syspath.c_str());
}

EmulatedFt232r::Seen EmulatedFt232r::Observed(int adapter) const {
  std::lock_guard lock(bed_->mutex);
  return bed_->devices.at(static_cast<std::size_t>(adapter))->seen;
}

void RunUnderUmockdev(char** argv) {
  constexpr char kPreload[] = "libumockdev-preload.so.0";
  const char* earlier = std::getenv("LD_PRELOAD");
  if (earlier != nullptr && std::strstr(earlier, kPreload) != nullptr) return;
  std::string preload = kPreload;
  if (earlier != nullptr && *earlier != '\0') preload += std::string(":") + earlier;
  setenv("LD_PRELOAD", preload.c_str(), 1);
  // The sanitizer runtime would insist on being loaded first.
  std::string asan = "verify_asan_link_order=0";
  if (const char* options = std::getenv("ASAN_OPTIONS"); options != nullptr && *options != '\0') {
    asan = std::string(options) + ":" + asan;
  }
  setenv("ASAN_OPTIONS", asan.c_str(), 1);
  execv("/proc/self/exe", argv);
  std::perror("execv");
  std::exit(1);
}
