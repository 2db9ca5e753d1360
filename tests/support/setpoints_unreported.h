#pragma once

#include <string_view>

#include "backends/simulated_tester.h"

// A tester that answers everything but the current set-point request, which it takes for an
// unknown request: which requests draw a reply is the tester's own business.
class SetpointsUnreported : public SimulatedTester {
 public:
  FT_STATUS FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                     std::int32_t& written) override {
    const bool setpoints = std::string_view(buffer, static_cast<std::size_t>(count)) == "(I?)";
    return SimulatedTester::FT_Write(handle, setpoints ? "(Z)" : buffer, setpoints ? 3 : count,
                                     written);
  }
};
