#include "backends/simulation_options.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "backends/simulated_tester.h"

namespace {
constexpr std::string_view kImpedance = "--simulate-impedance=";
constexpr std::string_view kSpeed = "--simulate-speed=";
constexpr std::string_view kFault = "--simulate-fault=";
constexpr int kMaxImpedanceOhms = 9999;
// Beyond this a test of the longest program would end sooner than the link can ask for it.
constexpr double kMaxSpeed = 1e6;

template <typename Number>
std::optional<Number> Parse(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}
}  // namespace

SimulationArguments ParseSimulationOptions(const std::vector<std::string>& arguments) {
  SimulationArguments parsed;
  for (const std::string& argument : arguments) {
    const std::string_view text = argument;
    if (text.starts_with(kImpedance)) {
      const auto ohms = Parse<int>(text.substr(kImpedance.size()));
      if (!ohms || *ohms < 0 || *ohms > kMaxImpedanceOhms) {
        parsed.error = "--simulate-impedance needs whole ohms from 0 to 9999";
      } else {
        parsed.options.impedanceOhms = *ohms;
      }
    } else if (text.starts_with(kSpeed)) {
      const auto factor = Parse<double>(text.substr(kSpeed.size()));
      if (!factor || !std::isfinite(*factor) || *factor <= 0 || *factor > kMaxSpeed) {
        parsed.error = "--simulate-speed needs a factor above 0 and at most 1000000";
      } else {
        parsed.options.speed = *factor;
      }
    } else if (text.starts_with(kFault)) {
      parsed.options.fault = ParseSimulatedFault(argument.substr(kFault.size()));
      if (!parsed.options.fault) {
        parsed.error =
            "--simulate-fault needs unplug, silent, echo-mismatch or "
            "readback-mismatch, optionally with @N (after N requests)";
      }
    } else {
      parsed.remaining.push_back(argument);
    }
  }
  return parsed;
}

std::string SimulationOptionsHelp() {
  // The descriptions keep the column of the other options' help.
  return "  --simulate-impedance=OHMS\n"
         "                          what the simulated tester measures (ohms, default 100)\n"
         "  --simulate-speed=FACTOR simulated tests take their program's duration / FACTOR\n"
         "  --simulate-fault=KIND[@N]\n"
         "                          after N requests (default 0) the simulated tester is\n"
         "                          unplugged (unplug), answers nothing (silent), or holds\n"
         "                          other values than written: a program's pass limit\n"
         "                          (echo-mismatch), a serial number, calibration date or\n"
         "                          set-point (readback-mismatch)\n";
}

void ApplySimulationOptions(const SimulationOptions& options, Backend& backend) {
  if (!backend.simulator) return;
  SimulatedTester& simulator = *backend.simulator;
  for (std::size_t device = 0; device < simulator.DeviceCount(); ++device) {
    SimulatedTesterModel& tester = simulator.Tester(device);
    if (options.impedanceOhms)
      tester.impedanceOhms = static_cast<std::int16_t>(*options.impedanceOhms);
    if (options.speed) tester.speed = *options.speed;
  }
  if (options.fault)
    backend.driver = std::make_shared<SimulatedFault>(backend.simulator, *options.fault);
}
