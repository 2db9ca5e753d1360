#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "libftdi_api.h"

// libftdi1 as the backend sees it, over scripted FTDI devices. Contexts and device lists are
// real allocations that Free/ListFree release, so a backend that uses one after freeing it is
// caught (the fake reports it, and AddressSanitizer would see any dereference). Like libftdi,
// reading strings on a context that has a device open reads the open device's strings.
class FakeLibftdi : public LibftdiApi {
 public:
  struct Device {
    std::string description;
    int stringsResult = 0;  // ftdi_usb_get_strings2's result when negative
    int openResult = 0;     // ftdi_usb_open_dev's result when negative
    int openErrno = 0;      // errno left by a refused open
  };

  std::vector<Device> devices;
  // What each ftdi_read_data call finds, in turn; an empty text is a call that gets nothing.
  std::deque<std::string> reads;
  // Every call on an open device fails as after a removal.
  bool unplugged = false;
  std::optional<int> writeAccepts;  // bytes ftdi_write_data takes; all when unset

  std::string written;
  std::optional<unsigned char> latency;
  std::optional<int> baud;
  std::optional<std::tuple<ftdi_bits_type, ftdi_stopbits_type, ftdi_parity_type>> line;
  std::optional<std::pair<unsigned char, unsigned char>> bitmode;
  int usbCloses = 0;
  std::vector<int> readSizes;       // the size of every ftdi_read_data call
  std::vector<std::string> misuse;  // calls on contexts that were never made or already freed

  std::size_t LiveContexts() const { return contexts_.size(); }
  int LiveListNodes() const { return liveNodes_; }

  ftdi_context* New() override;
  void Free(ftdi_context* ftdi) override;
  int UsbFindAll(ftdi_context* ftdi, ftdi_device_list** devlist, int vendor, int product) override;
  void ListFree(ftdi_device_list** devlist) override;
  int UsbGetStrings2(ftdi_context* ftdi, libusb_device* dev, char* manufacturer, int mnfLen,
                     char* description, int descLen, char* serial, int serialLen) override;
  int UsbOpenDev(ftdi_context* ftdi, libusb_device* dev) override;
  int UsbClose(ftdi_context* ftdi) override;
  int SetLatencyTimer(ftdi_context* ftdi, unsigned char value) override;
  int SetBaudrate(ftdi_context* ftdi, int baudrate) override;
  int SetLineProperty(ftdi_context* ftdi, ftdi_bits_type bits, ftdi_stopbits_type sbit,
                      ftdi_parity_type parity) override;
  int SetBitmode(ftdi_context* ftdi, unsigned char bitmask, unsigned char mode) override;
  int ReadData(ftdi_context* ftdi, unsigned char* buf, int size) override;
  int WriteData(ftdi_context* ftdi, const unsigned char* buf, int size) override;
  const char* GetErrorString(ftdi_context* ftdi) override;
  int SavedErrno() const override { return errno_; }

 private:
  struct Context {
    std::optional<std::size_t> openDevice;
    std::string error;
  };

  Context* Live(ftdi_context* ftdi, const char* call);
  // The open device's context, or the libftdi result of a call that finds none.
  Context* Open(ftdi_context* ftdi, const char* call);
  int Fail(Context& context, int result, const char* text);

  std::map<ftdi_context*, std::unique_ptr<ftdi_context>> contexts_;
  std::map<ftdi_context*, Context> state_;
  int liveNodes_ = 0;
  int errno_ = 0;
};
