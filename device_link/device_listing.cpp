#include "device_link/device_listing.h"

#include <algorithm>
#include <array>

namespace {
// A listing buffer's text: up to its first NUL, or whole when it has none.
template <std::size_t N>
std::string UpToNul(const std::array<char, N>& buffer) {
  return std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
}
}  // namespace

std::string UsbSerialNumberOf(D2xx& driver, std::int32_t index) {
  std::array<char, kSerialNumberBufferSize> buffer{};
  if (driver.FT_ListDevicesSerialNumber(index, buffer.data()) != FT_OK) return {};
  return UpToNul(buffer);
}

DeviceListing ListAttachedDevices(D2xx& driver) {
  DeviceListing listing;
  std::int32_t count = 0;
  listing.status = driver.FT_ListDevicesCount(count);
  if (listing.status != FT_OK) {
    listing.failedLabel = "GetFTDeviceCount";
    return listing;
  }
  for (std::int32_t index = 0; index < count; ++index) {
    std::array<char, kDescriptionBufferSize> description{};
    listing.status = driver.FT_ListDevicesDescription(index, description.data());
    if (listing.status != FT_OK) {
      listing.failedLabel = "GetFTDeviceDescription";
      listing.devices.clear();
      return listing;
    }
    listing.devices.push_back({index, UpToNul(description), UsbSerialNumberOf(driver, index)});
  }
  return listing;
}
