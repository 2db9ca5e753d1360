#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// FT232R USB-to-serial bridges emulated at the kernel's interface with umockdev: each adapter
// appears in umockdev's sysfs (0403:6001, one interface, bulk endpoints 0x81 and 0x02 with
// 64-byte packets) and its /dev/bus/usb node answers libusb's usbdevfs requests: capabilities,
// claim and release, kernel driver connect, and URBs for string descriptors, FTDI's vendor
// requests and the bulk data. Bulk-in packets begin with the chip's two modem-status bytes, as
// the chip sends them every latency period even when nothing arrived.
//
// The process must run under umockdev's preload library (see RunUnderUmockdev); the emulator
// answers on a worker thread of umockdev's, so everything here is locked.
class EmulatedFt232r {
 public:
  struct Adapter {
    std::string product = "VELD32";  // empty: the device does not give its product string
    std::string serial = "A1B2C3D4";
    // What the tester behind the adapter sends back for the bytes the host wrote.
    std::map<std::string, std::string> replies{{"(*)", "(*)"}};
  };

  EmulatedFt232r();
  ~EmulatedFt232r();
  EmulatedFt232r(const EmulatedFt232r&) = delete;
  EmulatedFt232r& operator=(const EmulatedFt232r&) = delete;

  // Plugs an adapter into the next port of bus 1; returns its number (0, 1, ...).
  int Plug(Adapter adapter);
  // The adapter vanishes: it leaves sysfs, and every request on an open node fails with ENODEV.
  void Unplug(int adapter);

  // What an adapter received.
  struct Seen {
    std::string written;
    std::vector<std::string> settings;  // FTDI vendor requests, "request=value" ("9=16")
    int reattached = 0;  // times the kernel's serial driver was re-attached (USBDEVFS_CONNECT)
  };
  Seen Observed(int adapter) const;

  struct Device;

 private:
  struct Bed;
  std::unique_ptr<Bed> bed_;
};

// Runs the process again under umockdev's preload library unless it already runs there; the
// emulator needs it. Returns only inside the mock environment.
void RunUnderUmockdev(char** argv);
