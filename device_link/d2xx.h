#pragma once

#include <cstdint>

// The driver calls the link makes, as the D2XX library offers them. Every backend (real
// hardware, the vendor library, the simulated tester, the tests' scripted drivers) sits behind
// this class, so the link never knows which one it talks to.

using FT_STATUS = std::int32_t;

// D2XX status codes. 0 is success; 1..18 have fixed texts (see ft_status.h).
enum FtStatusCode : FT_STATUS {
  FT_OK = 0,
  FT_INVALID_HANDLE = 1,
  FT_DEVICE_NOT_FOUND = 2,
  FT_DEVICE_NOT_OPENED = 3,
  FT_IO_ERROR = 4,
  FT_INSUFFICIENT_RESOURCES = 5,
  FT_INVALID_PARAMETER = 6,
  FT_INVALID_BAUD_RATE = 7,
  FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
  FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
  FT_FAILED_TO_WRITE_DEVICE = 10,
  FT_EEPROM_READ_FAILED = 11,
  FT_EEPROM_WRITE_FAILED = 12,
  FT_EEPROM_ERASE_FAILED = 13,
  FT_EEPROM_NOT_PRESENT = 14,
  FT_EEPROM_NOT_PROGRAMMED = 15,
  FT_INVALID_ARGS = 16,
  FT_NOT_SUPPORTED = 17,
  FT_OTHER_ERROR = 18,
};

// Size of the description buffer handed to FT_ListDevicesDescription.
inline constexpr int kDescriptionBufferSize = 50;
// Size of the serial-number buffer handed to FT_ListDevicesSerialNumber: 15 characters and a NUL.
inline constexpr int kSerialNumberBufferSize = 16;

class D2xx {
 public:
  virtual ~D2xx() = default;
  // FT_LIST_NUMBER_ONLY: the number of attached devices.
  virtual FT_STATUS FT_ListDevicesCount(std::int32_t& count) = 0;
  // FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION: the description of device `index` (0-based),
  // NUL-terminated when shorter than the 50-byte buffer.
  virtual FT_STATUS FT_ListDevicesDescription(std::int32_t index, char* buffer50) = 0;
  // FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER: the USB serial number of device `index`, at most
  // 15 characters and a NUL. Drivers that cannot tell serial numbers keep this FT_NOT_SUPPORTED.
  virtual FT_STATUS FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) {
    (void)index;
    (void)buffer16;
    return FT_NOT_SUPPORTED;
  }
  virtual FT_STATUS FT_Open(std::int32_t index, std::int32_t& handle) = 0;
  virtual FT_STATUS FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) = 0;
  virtual FT_STATUS FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                            std::int32_t& read) = 0;
  virtual FT_STATUS FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                             std::int32_t& written) = 0;
  virtual FT_STATUS FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) = 0;
  virtual FT_STATUS FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) = 0;
  virtual FT_STATUS FT_SetBitMode(std::int32_t handle, std::uint8_t mask, std::uint8_t mode) = 0;
  virtual FT_STATUS FT_Close(std::int32_t handle) = 0;
};
