#include "backends/libftdi_api.h"

#include <libusb.h>

#include <array>
#include <cerrno>

namespace {
class SystemApi final : public LibftdiApi {
 public:
  ftdi_context* New() override { return Saved(::ftdi_new()); }
  void Free(ftdi_context* ftdi) override { ::ftdi_free(ftdi); }
  int UsbFindAll(ftdi_context* ftdi, ftdi_device_list** devlist, int vendor, int product) override {
    return Saved(::ftdi_usb_find_all(ftdi, devlist, vendor, product));
  }
  void ListFree(ftdi_device_list** devlist) override { ::ftdi_list_free(devlist); }
  std::vector<std::uint8_t> UsbLocation(libusb_device* dev) override {
    // USB 3 allows hubs seven deep.
    std::array<std::uint8_t, 8> ports{};
    const int depth = ::libusb_get_port_numbers(dev, ports.data(), static_cast<int>(ports.size()));
    std::vector<std::uint8_t> location{::libusb_get_bus_number(dev)};
    if (depth > 0) location.insert(location.end(), ports.begin(), ports.begin() + depth);
    return location;
  }
  int UsbGetStrings2(ftdi_context* ftdi, libusb_device* dev, char* manufacturer, int mnfLen,
                     char* description, int descLen, char* serial, int serialLen) override {
    errno = 0;
    return Saved(::ftdi_usb_get_strings2(ftdi, dev, manufacturer, mnfLen, description, descLen,
                                         serial, serialLen));
  }
  int UsbOpenDev(ftdi_context* ftdi, libusb_device* dev) override {
    errno = 0;
    return Saved(::ftdi_usb_open_dev(ftdi, dev));
  }
  int UsbClose(ftdi_context* ftdi) override { return Saved(::ftdi_usb_close(ftdi)); }
  int SetLatencyTimer(ftdi_context* ftdi, unsigned char latency) override {
    return Saved(::ftdi_set_latency_timer(ftdi, latency));
  }
  int SetBaudrate(ftdi_context* ftdi, int baudrate) override {
    return Saved(::ftdi_set_baudrate(ftdi, baudrate));
  }
  int SetLineProperty(ftdi_context* ftdi, ftdi_bits_type bits, ftdi_stopbits_type sbit,
                      ftdi_parity_type parity) override {
    return Saved(::ftdi_set_line_property(ftdi, bits, sbit, parity));
  }
  int SetBitmode(ftdi_context* ftdi, unsigned char bitmask, unsigned char mode) override {
    return Saved(::ftdi_set_bitmode(ftdi, bitmask, mode));
  }
  int ReadData(ftdi_context* ftdi, unsigned char* buf, int size) override {
    return Saved(::ftdi_read_data(ftdi, buf, size));
  }
  int WriteData(ftdi_context* ftdi, const unsigned char* buf, int size) override {
    return Saved(::ftdi_write_data(ftdi, buf, size));
  }
  const char* GetErrorString(ftdi_context* ftdi) override { return ::ftdi_get_error_string(ftdi); }
  int SavedErrno() const override { return savedErrno_; }

 private:
  template <typename T>
  T Saved(T result) {
    savedErrno_ = errno;
    return result;
  }

  int savedErrno_ = 0;
};
}  // namespace

std::shared_ptr<LibftdiApi> SystemLibftdi() { return std::make_shared<SystemApi>(); }

const char* LibftdiVersion() { return ftdi_get_library_version().version_str; }
