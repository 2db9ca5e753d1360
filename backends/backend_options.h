#pragma once

#include <memory>
#include <string>
#include <vector>

#include "backends/simulated_tester.h"
#include "device_link/d2xx.h"
#include "device_link/driver_diagnostics.h"

// The command-line choice of driver backend, shared by the utility and the command-line tool:
//   --simulate                  the built-in simulated tester; each further --simulate adds one
//   --backend=libftdi           libftdi1 (the default on Linux)
//   --backend=d2xx[:PATH]       FTDI's D2XX library (the default on Windows), from PATH if given
// When several are given the last one counts. Every other argument is left for the caller.

// The version of the libftdi1 library built in, or "not built in" where this build has none.
const char* LibftdiVersionText();

enum class BackendKind { Simulated, Libftdi, D2xxLibrary };

struct BackendOptions {
  BackendKind kind = DefaultBackendKind();
  std::string libraryPath;   // D2xxLibrary only; empty means the platform's library name
  int simulatedTesters = 1;  // Simulated only: the testers on the simulated bench

  static BackendKind DefaultBackendKind();
};

struct BackendArguments {
  BackendOptions options;
  std::vector<std::string> remaining;  // the caller's arguments, in their order
  std::string error;                   // set when an option is not understood
};

BackendArguments ParseBackendOptions(const std::vector<std::string>& arguments);

// One line per option, for a tool's usage text.
std::string BackendOptionsHelp();

struct Backend {
  std::shared_ptr<D2xx> driver;                    // null when error is set
  std::shared_ptr<SimulatedTester> simulator;      // the driver itself, when simulated
  std::shared_ptr<DriverDiagnostics> diagnostics;  // the driver itself, when it has them
  std::string error;
};

Backend CreateBackend(const BackendOptions& options);
