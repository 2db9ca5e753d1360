#pragma once

#include <ftdi.h>

#include <cstdint>
#include <memory>
#include <vector>

// The libftdi1 calls the libftdi backend makes, one virtual method per call with libftdi's own
// arguments and results, so that tests can put a fake library in its place. Each method is the
// libftdi function its name spells (UsbFindAll is ftdi_usb_find_all, New is ftdi_new).
// SystemLibftdi() forwards to the real library.
class LibftdiApi {
 public:
  virtual ~LibftdiApi() = default;
  virtual ftdi_context* New() = 0;
  virtual void Free(ftdi_context* ftdi) = 0;
  virtual int UsbFindAll(ftdi_context* ftdi, ftdi_device_list** devlist, int vendor,
                         int product) = 0;
  virtual void ListFree(ftdi_device_list** devlist) = 0;
  // libusb_get_bus_number followed by libusb_get_port_numbers: where the device is plugged in,
  // the same on every enumeration, whatever order an enumeration lists the devices in.
  virtual std::vector<std::uint8_t> UsbLocation(libusb_device* dev) = 0;
  virtual int UsbGetStrings2(ftdi_context* ftdi, libusb_device* dev, char* manufacturer, int mnfLen,
                             char* description, int descLen, char* serial, int serialLen) = 0;
  virtual int UsbOpenDev(ftdi_context* ftdi, libusb_device* dev) = 0;
  virtual int UsbClose(ftdi_context* ftdi) = 0;
  virtual int SetLatencyTimer(ftdi_context* ftdi, unsigned char latency) = 0;
  virtual int SetBaudrate(ftdi_context* ftdi, int baudrate) = 0;
  virtual int SetLineProperty(ftdi_context* ftdi, ftdi_bits_type bits, ftdi_stopbits_type sbit,
                              ftdi_parity_type parity) = 0;
  virtual int SetBitmode(ftdi_context* ftdi, unsigned char bitmask, unsigned char mode) = 0;
  virtual int ReadData(ftdi_context* ftdi, unsigned char* buf, int size) = 0;
  virtual int WriteData(ftdi_context* ftdi, const unsigned char* buf, int size) = 0;
  virtual const char* GetErrorString(ftdi_context* ftdi) = 0;
  // errno as the last call above left it: libftdi reports a refused libusb_open only as
  // "libusb_open() failed", and errno tells a missing permission from a vanished device.
  virtual int SavedErrno() const = 0;
};

std::shared_ptr<LibftdiApi> SystemLibftdi();

// The version of the libftdi1 the process runs with, e.g. "1.5".
const char* LibftdiVersion();
