#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device_link/d2xx.h"

// A D2XX driver whose devices, received bytes, failures and partial writes the test scripts.
// It holds one device at a time: an open while a handle is still open is refused.
// Every call is recorded by name so tests can check what the link did.
class ScriptedD2xx : public D2xx {
 public:
  // Descriptions of the attached devices, copied into the 50-byte buffer as they stand
  // (a 50-character description therefore arrives without a NUL).
  std::vector<std::string> descriptions{"VELD32"};
  // USB serial numbers of the attached devices, by index; none at all gives the seam's default,
  // a driver that cannot tell them.
  std::vector<std::string> serialNumbers;
  // Bytes waiting to be read.
  std::string rx;
  // Frame written -> bytes that become readable right after the write ("(*)" -> "(*)").
  std::map<std::string, std::string> replies{{"(*)", "(*)"}};
  // Every FT_Write's bytes, in order, as handed to the driver.
  std::vector<std::string> writes;
  // Names of the calls made, in order ("FT_Open", "FT_Read", ...).
  std::vector<std::string> calls;
  std::vector<std::int32_t> closedHandles;
  const std::int32_t nextHandle = 0x1234;
  std::int32_t lastReadWanted = -1;
  std::int32_t openedIndex = -1;
  std::uint8_t latency = 0;
  std::uint32_t baud = 0;
  std::optional<std::pair<std::uint8_t, std::uint8_t>> bitMode;

  // The next call of `function` (its D2XX name) returns `status` and does nothing else.
  void FailNext(const std::string& function, FT_STATUS status);
  // The next FT_Write reports only `count` bytes written.
  void WriteOnlyNext(std::int32_t count) { partialWrites_.push_back(count); }
  // Called after every successful write with the bytes written.
  std::function<void(const std::string&)> onWrite;

  bool IsOpen() const { return openHandle_.has_value(); }

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
  // The scripted failure of `function`, or FT_INVALID_HANDLE for a `handle` not open.
  std::optional<FT_STATUS> Scripted(const std::string& function,
                                    std::optional<std::int32_t> handle = std::nullopt);
  static FT_STATUS List(const std::vector<std::string>& of, std::int32_t index, char* buffer,
                        std::size_t size);

  std::map<std::string, std::deque<FT_STATUS>> failures_;
  std::deque<std::int32_t> partialWrites_;
  std::optional<std::int32_t> openHandle_;
};
