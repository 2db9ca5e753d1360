#pragma once

#include <optional>
#include <string>
#include <vector>

class SimulatedTester;

// What the simulated tester measures, from the command line of the utility and the tool alike:
//   --simulate-impedance=OHMS   the simulated electrode, whole ohms 0..9999 (default 100)
//   --simulate-speed=FACTOR     a test ends after its program's duration divided by FACTOR
//                               (above 0, default 1)
// Every other argument is left for the caller, in its order.

struct SimulationOptions {
  std::optional<int> impedanceOhms;
  std::optional<double> speed;
};

struct SimulationArguments {
  SimulationOptions options;
  std::vector<std::string> remaining;
  std::string error;  // set when a value is not understood
};

SimulationArguments ParseSimulationOptions(const std::vector<std::string>& arguments);

// One line per option, for a usage text.
std::string SimulationOptionsHelp();

// Sets what was given on every tester behind `simulator`; the rest stays as it is.
void ApplySimulationOptions(const SimulationOptions& options, SimulatedTester& simulator);
