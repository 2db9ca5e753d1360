#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "backends/libftdi_api.h"
#include "device_link/d2xx.h"
#include "device_link/driver_diagnostics.h"

// The FTDI bridges libftdi lists when asked for "any FTDI default device" (vendor 0, product
// 0); packaging/60-veld32.rules grants access to the same ones.
inline constexpr int kFtdiVendorId = 0x0403;
inline constexpr std::array<int, 5> kFtdiProductIds{0x6001, 0x6010, 0x6011, 0x6014, 0x6015};

// The D2XX calls carried out with libftdi1, the usual way to reach the tester on Linux.
// A listing (FT_ListDevicesCount, or an index past the last listing) notes where each FTDI
// device is plugged in (bus number and port path); a description read and an open then find the
// device at that place on an enumeration of their own, so an index names the device the listing
// showed whatever order libusb enumerates in. Descriptions are read on a context of their own, so
// listing never disturbs an open link; each open gets the context that will own the link. libftdi
// has no receive-queue count: FT_GetQueueStatus drains what the chip has sent into a buffer of the
// backend's own (reads give up after 100 ms; the chip answers every latency period) and reports
// its size.
//
// Statuses: a failing transfer (as after an unplug) gives FT_IO_ERROR; a device the user may
// not open gives FT_DEVICE_NOT_OPENED with PermissionRefused() set; a device without a readable
// product string lists with an empty description. FT_Close always releases the handle, re-attaches
// the kernel's serial driver, and reports success once libftdi has let go of the device, even if
// it could no longer release the interface of a vanished device. LastErrorText() is libftdi's
// account of the last failed call, empty when that failure was the backend's own.
class LibftdiBackend final : public D2xx, public DriverDiagnostics {
 public:
  explicit LibftdiBackend(std::shared_ptr<LibftdiApi> api = SystemLibftdi());
  ~LibftdiBackend() override;
  LibftdiBackend(const LibftdiBackend&) = delete;
  LibftdiBackend& operator=(const LibftdiBackend&) = delete;

  std::string LastErrorText() const override { return lastError_; }
  bool PermissionRefused() const override { return permissionRefused_; }

  FT_STATUS FT_ListDevicesCount(std::int32_t& count) override;
  FT_STATUS FT_ListDevicesDescription(std::int32_t index, char* buffer50) override;
  FT_STATUS FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) override;
  FT_STATUS FT_Open(std::int32_t index, std::int32_t& handle) override;
  FT_STATUS FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) override;
  FT_STATUS FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                    std::int32_t& read) override;
  FT_STATUS FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                     std::int32_t& written) override;
  FT_STATUS FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) override;
  FT_STATUS FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) override;
  FT_STATUS FT_SetBitMode(std::int32_t handle, std::uint8_t mask, std::uint8_t mode) override;
  FT_STATUS FT_Close(std::int32_t handle) override;

 private:
  enum class ListedText { Description, SerialNumber };
  // One string of device `index` read with ftdi_usb_get_strings2: at most `characters` of it,
  // followed by a NUL when shorter than the description buffer.
  FT_STATUS ListedString(std::int32_t index, ListedText text, char* buffer, std::size_t characters);
  class Context;
  class DeviceList;
  struct Link;

  using Location = std::vector<std::uint8_t>;  // bus number, then the port numbers

  ftdi_context* ListingContext();
  // Lists the FTDI devices on the listing context and notes their locations.
  FT_STATUS TakeListing();
  // Where the listed device `index` is plugged in; lists first when the index is past the last
  // listing.
  FT_STATUS ListedLocation(std::int32_t index, Location& location);
  Link* Find(std::int32_t handle);
  // Reads once from the chip into the link's buffer; false (with the error kept) on failure.
  bool Drain(Link& link, std::size_t atMost);
  // Keeps libftdi's account of a failed call as the last error text.
  void Remember(const std::string& call, int result, ftdi_context* ftdi);
  FT_STATUS Failed(FT_STATUS status, const std::string& call, int result, ftdi_context* ftdi);
  // A failure of the backend's own: no libftdi detail, so none of an earlier failure either.
  FT_STATUS WithoutDetail(FT_STATUS status);

  std::shared_ptr<LibftdiApi> api_;
  std::unique_ptr<Context> listing_;
  std::vector<Location> listed_;
  std::map<std::int32_t, std::unique_ptr<Link>> links_;
  std::int32_t nextHandle_ = 1;
  std::string lastError_;
  bool permissionRefused_ = false;
};
