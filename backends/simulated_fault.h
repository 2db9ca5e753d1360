#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "backends/d2xx_decorator.h"

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

// Puts the fault between the link and the simulated tester. Every call reaches `driver` (the
// tester, or a wrapper of it); a write may first be changed, and the fault starts after the write
// that makes the count.
class SimulatedFault : public D2xxDecorator {
 public:
  SimulatedFault(std::shared_ptr<D2xx> driver, std::shared_ptr<SimulatedTester> simulator,
                 SimulatedFaultOptions fault);

  FT_STATUS FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                     std::int32_t& written) override;

 private:
  void StartIfDue();
  void Change(std::string& frame) const;

  std::shared_ptr<SimulatedTester> simulator_;
  SimulatedFaultOptions fault_;
  int frames_ = 0;
};
