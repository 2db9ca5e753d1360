#include "backends/libftdi_backend.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace {
// The chip's own receive buffer is a few hundred bytes; past this much unread data the
// backend stops draining, as a driver whose queue is full would.
constexpr std::size_t kQueueLimit = 64 * 1024;
constexpr int kReadChunk = 4096;
// Room for any USB string descriptor in ASCII.
constexpr int kDescriptionScratch = 256;
// The chip sends at least its two status bytes every latency period (16 ms), so a read that
// waits longer than this is waiting for a device that no longer answers.
constexpr int kReadTimeoutMs = 100;

// libftdi's codes: a refused libusb_open (ftdi_usb_open_dev, ftdi_usb_get_strings2); from
// ftdi_usb_open_dev, a kernel driver it was not allowed to detach; from ftdi_usb_get_strings2, a
// product (or serial number) string the device does not give.
constexpr int kOpenFailed = -4;
constexpr int kInappropriatePermissions = -8;
constexpr int kProductStringUnreadable = -8;
constexpr int kSerialStringUnreadable = -9;

bool AccessDenied(int savedErrno) { return savedErrno == EACCES || savedErrno == EPERM; }
}  // namespace

// Owns one ftdi_context; freeing it also closes a device still open on it.
class LibftdiBackend::Context {
 public:
  Context(LibftdiApi& api, ftdi_context* ftdi) : api_(api), ftdi_(ftdi) {}
  ~Context() { api_.Free(ftdi_); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  ftdi_context* get() const { return ftdi_; }

 private:
  LibftdiApi& api_;
  ftdi_context* ftdi_;
};

// The FTDI devices attached at one moment, in libftdi's order. It must go before the context
// it was taken from.
class LibftdiBackend::DeviceList {
 public:
  explicit DeviceList(LibftdiApi& api) : api_(api) {}
  ~DeviceList() {
    if (head_ != nullptr) api_.ListFree(&head_);
  }
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;

  // ftdi_usb_find_all's result: the number of devices, or a negative code.
  int Find(ftdi_context* ftdi) { return api_.UsbFindAll(ftdi, &head_, 0, 0); }

  std::vector<Location> Locations() const {
    std::vector<Location> locations;
    for (const ftdi_device_list* node = head_; node != nullptr; node = node->next) {
      locations.push_back(api_.UsbLocation(node->dev));
    }
    return locations;
  }

  // The device plugged in at `location`, or nullptr when none is there now.
  libusb_device* At(const Location& location) const {
    for (const ftdi_device_list* node = head_; node != nullptr; node = node->next) {
      if (api_.UsbLocation(node->dev) == location) return node->dev;
    }
    return nullptr;
  }

 private:
  LibftdiApi& api_;
  ftdi_device_list* head_ = nullptr;
};

struct LibftdiBackend::Link {
  Link(LibftdiApi& api, ftdi_context* ftdi) : context(api, ftdi) {}
  Context context;
  std::vector<unsigned char> received;  // drained from the chip, not yet read
};

LibftdiBackend::LibftdiBackend(std::shared_ptr<LibftdiApi> api) : api_(std::move(api)) {}

LibftdiBackend::~LibftdiBackend() {
  for (auto& [handle, link] : links_) api_->UsbClose(link->context.get());
}

ftdi_context* LibftdiBackend::ListingContext() {
  if (!listing_) {
    ftdi_context* ftdi = api_->New();
    if (ftdi == nullptr) return nullptr;
    listing_ = std::make_unique<Context>(*api_, ftdi);
  }
  return listing_->get();
}

LibftdiBackend::Link* LibftdiBackend::Find(std::int32_t handle) {
  auto it = links_.find(handle);
  return it == links_.end() ? nullptr : it->second.get();
}

void LibftdiBackend::Remember(const std::string& call, int result, ftdi_context* ftdi) {
  lastError_ = call + " failed (" + std::to_string(result) + ")";
  if (ftdi != nullptr) {
    if (const char* text = api_->GetErrorString(ftdi); text != nullptr && *text != '\0') {
      lastError_ += ": " + std::string(text);
    }
  }
}

FT_STATUS LibftdiBackend::Failed(FT_STATUS status, const std::string& call, int result,
                                 ftdi_context* ftdi) {
  Remember(call, result, ftdi);
  return status;
}

FT_STATUS LibftdiBackend::WithoutDetail(FT_STATUS status) {
  lastError_.clear();
  return status;
}

FT_STATUS LibftdiBackend::TakeListing() {
  ftdi_context* ftdi = ListingContext();
  if (ftdi == nullptr) return Failed(FT_INSUFFICIENT_RESOURCES, "ftdi_new", 0, nullptr);
  DeviceList devices(*api_);
  const int found = devices.Find(ftdi);
  if (found < 0) {
    return Failed(found == -3 ? FT_INSUFFICIENT_RESOURCES : FT_IO_ERROR, "ftdi_usb_find_all", found,
                  ftdi);
  }
  listed_ = devices.Locations();
  return FT_OK;
}

FT_STATUS LibftdiBackend::ListedLocation(std::int32_t index, Location& location) {
  if (index < 0) return WithoutDetail(FT_DEVICE_NOT_FOUND);
  // An index past the last listing may name a device attached since.
  if (static_cast<std::size_t>(index) >= listed_.size()) {
    if (FT_STATUS status = TakeListing()) return status;
  }
  if (static_cast<std::size_t>(index) >= listed_.size()) return WithoutDetail(FT_DEVICE_NOT_FOUND);
  location = listed_[static_cast<std::size_t>(index)];
  return FT_OK;
}

FT_STATUS LibftdiBackend::FT_ListDevicesCount(std::int32_t& count) {
  if (FT_STATUS status = TakeListing()) return status;
  count = static_cast<std::int32_t>(listed_.size());
  return FT_OK;
}

FT_STATUS LibftdiBackend::FT_ListDevicesDescription(std::int32_t index, char* buffer50) {
  return ListedString(index, ListedText::Description, buffer50, kDescriptionBufferSize);
}

FT_STATUS LibftdiBackend::FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) {
  // At most 15 characters, always with their NUL.
  return ListedString(index, ListedText::SerialNumber, buffer16, kSerialNumberBufferSize - 1);
}

FT_STATUS LibftdiBackend::ListedString(std::int32_t index, ListedText text, char* buffer,
                                       std::size_t characters) {
  if (buffer == nullptr) return WithoutDetail(FT_INVALID_PARAMETER);
  Location location;
  if (FT_STATUS status = ListedLocation(index, location)) return status;
  ftdi_context* ftdi = ListingContext();
  if (ftdi == nullptr) return Failed(FT_INSUFFICIENT_RESOURCES, "ftdi_new", 0, nullptr);

  std::array<char, kDescriptionScratch> scratch{};
  const bool description = text == ListedText::Description;
  int result = 0;
  {
    DeviceList devices(*api_);
    const int found = devices.Find(ftdi);
    if (found < 0) return Failed(FT_IO_ERROR, "ftdi_usb_find_all", found, ftdi);
    libusb_device* device = devices.At(location);
    if (device == nullptr) return WithoutDetail(FT_DEVICE_NOT_FOUND);
    result = api_->UsbGetStrings2(ftdi, device, nullptr, 0, description ? scratch.data() : nullptr,
                                  description ? kDescriptionScratch : 0,
                                  description ? nullptr : scratch.data(),
                                  description ? 0 : kDescriptionScratch);
  }
  // A device without a readable product (or serial) string is still an FTDI device, listed (as
  // D2XX lists it) with an empty one; libftdi has closed it again.
  if (result == (description ? kProductStringUnreadable : kSerialStringUnreadable)) {
    scratch.front() = '\0';
    result = 0;
  }
  if (result < 0) {
    permissionRefused_ = result == kOpenFailed && AccessDenied(api_->SavedErrno());
    const FT_STATUS status = Failed(result == kOpenFailed ? FT_DEVICE_NOT_OPENED : FT_IO_ERROR,
                                    "ftdi_usb_get_strings2", result, ftdi);
    // Some failures leave the device open on the context, and later reads would then return
    // that device's strings whatever device they name: start the next listing afresh.
    listing_.reset();
    return status;
  }
  permissionRefused_ = false;
  scratch.back() = '\0';
  // D2XX fills the caller's 50 bytes: a longer description arrives cut, without its NUL; a
  // serial number keeps room for its NUL.
  const std::size_t length = std::strlen(scratch.data());
  const std::size_t n = std::min<std::size_t>(length, characters);
  std::memcpy(buffer, scratch.data(), n);
  if (n < kDescriptionBufferSize) buffer[n] = '\0';
  return FT_OK;
}

FT_STATUS LibftdiBackend::FT_Open(std::int32_t index, std::int32_t& handle) {
  Location location;
  if (FT_STATUS status = ListedLocation(index, location)) return status;
  ftdi_context* ftdi = api_->New();
  if (ftdi == nullptr) return Failed(FT_INSUFFICIENT_RESOURCES, "ftdi_new", 0, nullptr);
  auto link = std::make_unique<Link>(*api_, ftdi);
  // libftdi has no setters for these: a silent device must not freeze the caller for libftdi's
  // default 5 s, and the kernel's serial driver, detached for the link, comes back at close.
  ftdi->usb_read_timeout = kReadTimeoutMs;
  ftdi->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
  {
    DeviceList devices(*api_);
    const int found = devices.Find(ftdi);
    if (found < 0) return Failed(FT_IO_ERROR, "ftdi_usb_find_all", found, ftdi);
    libusb_device* device = devices.At(location);
    if (device == nullptr) return WithoutDetail(FT_DEVICE_NOT_FOUND);
    const int result = api_->UsbOpenDev(ftdi, device);
    if (result < 0) {
      permissionRefused_ = result == kInappropriatePermissions ||
                           (result == kOpenFailed && AccessDenied(api_->SavedErrno()));
      const bool refused = result == kOpenFailed || result == kInappropriatePermissions ||
                           result == -3 || result == -5;
      return Failed(refused ? FT_DEVICE_NOT_OPENED : FT_IO_ERROR, "ftdi_usb_open_dev", result,
                    ftdi);
    }
  }
  permissionRefused_ = false;
  handle = nextHandle_++;
  links_[handle] = std::move(link);
  return FT_OK;
}

bool LibftdiBackend::Drain(Link& link, std::size_t atMost) {
  if (link.received.size() >= kQueueLimit) return true;
  std::array<unsigned char, kReadChunk> chunk{};
  const int size = static_cast<int>(std::min<std::size_t>(atMost, chunk.size()));
  const int got = api_->ReadData(link.context.get(), chunk.data(), size);
  if (got < 0) {
    Failed(FT_IO_ERROR, "ftdi_read_data", got, link.context.get());
    return false;
  }
  link.received.insert(link.received.end(), chunk.begin(), chunk.begin() + got);
  return true;
}

FT_STATUS LibftdiBackend::FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) {
  Link* link = Find(handle);
  if (link == nullptr) return WithoutDetail(FT_INVALID_HANDLE);
  if (!Drain(*link, kReadChunk)) return FT_IO_ERROR;
  rxBytes = static_cast<std::int32_t>(link->received.size());
  return FT_OK;
}

FT_STATUS LibftdiBackend::FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                                  std::int32_t& read) {
  Link* link = Find(handle);
  if (link == nullptr) return WithoutDetail(FT_INVALID_HANDLE);
  if (wanted < 0 || (wanted > 0 && buffer == nullptr)) return WithoutDetail(FT_INVALID_PARAMETER);
  const auto want = static_cast<std::size_t>(wanted);
  if (link->received.size() < want && !Drain(*link, want - link->received.size())) {
    read = 0;
    return FT_IO_ERROR;
  }
  // Like a D2XX read that times out: whatever arrived, possibly less than wanted.
  const auto n = static_cast<std::ptrdiff_t>(std::min(want, link->received.size()));
  std::copy_n(link->received.begin(), n, buffer);
  link->received.erase(link->received.begin(), link->received.begin() + n);
  read = static_cast<std::int32_t>(n);
  return FT_OK;
}

FT_STATUS LibftdiBackend::FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                                   std::int32_t& written) {
  Link* link = Find(handle);
  if (link == nullptr) return WithoutDetail(FT_INVALID_HANDLE);
  if (count < 0 || (count > 0 && buffer == nullptr)) return WithoutDetail(FT_INVALID_PARAMETER);
  const int result =
      api_->WriteData(link->context.get(), reinterpret_cast<const unsigned char*>(buffer), count);
  if (result < 0) {
    written = 0;
    return Failed(FT_IO_ERROR, "ftdi_write_data", result, link->context.get());
  }
  written = result;
  return FT_OK;
}

FT_STATUS LibftdiBackend::FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) {
  Link* link = Find(handle);
  if (link == nullptr) return WithoutDetail(FT_INVALID_HANDLE);
  const int result = api_->SetLatencyTimer(link->context.get(), milliseconds);
  if (result < 0) {
    return Failed(result == -1 ? FT_INVALID_PARAMETER : FT_IO_ERROR, "ftdi_set_latency_timer",
                  result, link->context.get());
  }
  return FT_OK;
}

FT_STATUS LibftdiBackend::FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) {
  Link* link = Find(handle);
  if (link == nullptr) return WithoutDetail(FT_INVALID_HANDLE);
  if (baud > static_cast<std::uint32_t>(INT_MAX)) return WithoutDetail(FT_INVALID_BAUD_RATE);
  ftdi_context* ftdi = link->context.get();
  const int result = api_->SetBaudrate(ftdi, static_cast<int>(baud));
  if (result < 0) {
    return Failed(result == -1 ? FT_INVALID_BAUD_RATE : FT_IO_ERROR, "ftdi_set_baudrate", result,
                  ftdi);
  }
  // D2XX leaves the framing alone; set it here so that no earlier user of the chip decides it.
  const int line = api_->SetLineProperty(ftdi, BITS_8, STOP_BIT_1, NONE);
  if (line < 0) return Failed(FT_IO_ERROR, "ftdi_set_line_property", line, ftdi);
  return FT_OK;
}

FT_STATUS LibftdiBackend::FT_SetBitMode(std::int32_t handle, std::uint8_t mask, std::uint8_t mode) {
  Link* link = Find(handle);
  if (link == nullptr) return WithoutDetail(FT_INVALID_HANDLE);
  const int result = api_->SetBitmode(link->context.get(), mask, mode);
  if (result < 0) return Failed(FT_IO_ERROR, "ftdi_set_bitmode", result, link->context.get());
  return FT_OK;
}

FT_STATUS LibftdiBackend::FT_Close(std::int32_t handle) {
  auto it = links_.find(handle);
  if (it == links_.end()) return WithoutDetail(FT_INVALID_HANDLE);
  std::unique_ptr<Link> link = std::move(it->second);
  links_.erase(it);
  const int result = api_->UsbClose(link->context.get());
  // -1: the interface could not be released (the device is gone), but the device is closed.
  if (result < 0 && result != -1) {
    return Failed(FT_IO_ERROR, "ftdi_usb_close", result, link->context.get());
  }
  if (result == -1) Remember("ftdi_usb_close", result, link->context.get());
  return FT_OK;
}
