#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device_link/d2xx.h"

// The attached FTDI devices as the driver lists them, with what tells testers apart on a bench
// of several: the USB serial number of the bridge.

// The USB serial number of device `index`, cut at its NUL; empty when the driver cannot tell it.
std::string UsbSerialNumberOf(D2xx& driver, std::int32_t index);

struct ListedDevice {
  std::int32_t index = 0;
  std::string description;
  std::string usbSerialNumber;  // empty when the driver cannot tell it
};

struct DeviceListing {
  std::vector<ListedDevice> devices;
  FT_STATUS status = FT_OK;  // of the first listing call that failed
  std::string failedLabel;   // "GetFTDeviceCount" or "GetFTDeviceDescription" when it failed
};

DeviceListing ListAttachedDevices(D2xx& driver);
