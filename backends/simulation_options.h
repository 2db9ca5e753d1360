#pragma once

#include <optional>
#include <string>
#include <vector>

#include "backends/backend_options.h"
#include "backends/option_parser.h"
#include "backends/simulated_fault.h"

// What the simulated tester measures, from the command line of the utility and the tool alike:
//   --simulate-impedance=OHMS   the simulated electrode, whole ohms 0..9999 (default 100)
//   --simulate-speed=FACTOR     a test ends after its program's duration divided by FACTOR
//                               (above 0, default 1)
//   --simulate-fault=KIND[@N]   a fault that starts after N request frames (see SimulatedFault)

struct SimulationOptions {
  std::optional<int> impedanceOhms;
  std::optional<double> speed;
  std::optional<SimulatedFaultOptions> fault;
};

// Adds the options above.
void AddSimulationOptions(OptionParser& parser);

struct SimulationArguments {
  SimulationOptions options;
  QString error;  // set when a value is not understood
};
// What the parsed line sets; when an option is given more than once the last one counts.
SimulationArguments ReadSimulationOptions(const OptionParser& parser);

// One line per option, for a usage text.
std::string SimulationOptionsHelp();

// Sets what was given on every tester behind a simulated backend, the rest staying as it is, and
// puts a fault, when one was given, between the backend's driver and its testers.
void ApplySimulationOptions(const SimulationOptions& options, Backend& backend);
