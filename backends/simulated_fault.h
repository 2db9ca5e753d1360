#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "device_link/d2xx.h"

class SimulatedTester;

// A fault of the simulated tester that an operator can try by hand (--simulate-fault=KIND[@N]):
// the tester behaves once N request frames have reached it (N = 0: from the start).
//   unplug             the cable is pulled
//   silent             the tester takes every request and answers none
//   echo-mismatch      a program written to it is held with its pass limit changed
//   readback-mismatch  a serial number, calibration date or set-point adjustment is held changed
struct SimulatedFaultOptions {
  enum class Kind { Unplug, Silent, EchoMismatch, ReadbackMismatch };
  Kind kind = Kind::Unplug;
  int afterFrames = 0;
};

// The option's value ("unplug@3"), or nothing when it is not one of the kinds above.
std::optional<SimulatedFaultOptions> ParseSimulatedFault(const std::string& text);

// Puts the fault between the link and the simulated tester. Every call reaches the tester; a
// write may first be changed, and the fault starts after the write that makes the count.
class SimulatedFault : public D2xx {
 public:
  SimulatedFault(std::shared_ptr<SimulatedTester> simulator, SimulatedFaultOptions fault);

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
  void StartIfDue();
  void Change(std::string& frame) const;

  std::shared_ptr<SimulatedTester> simulator_;
  SimulatedFaultOptions fault_;
  int frames_ = 0;
};
