#pragma once

#include <QFile>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "backends/option_parser.h"
#include "backends/simulated_tester.h"
#include "device_link/d2xx.h"
#include "device_link/driver_diagnostics.h"

// The command-line choice of driver backend, shared by the utility and the command-line tool:
//   --simulate                  the built-in simulated tester; each further --simulate adds one
//   --backend=libftdi           libftdi1 (the default on Linux)
//   --backend=d2xx[:PATH]       FTDI's D2XX library (the default on Windows), from PATH if given
// When several are given the last one counts.

// The version of the libftdi1 library built in, or "not built in" where this build has none.
const char* LibftdiVersionText();

enum class BackendKind { Simulated, Libftdi, D2xxLibrary };

struct BackendOptions {
  BackendKind kind = DefaultBackendKind();
  std::string libraryPath;   // D2xxLibrary only; empty means the platform's library name
  int simulatedTesters = 1;  // Simulated only: the testers on the simulated bench

  static BackendKind DefaultBackendKind();
};

// --simulate[=STATE]: an option whose value may be left out, which QCommandLineParser cannot
// take, so each one is taken out of the arguments before they are parsed. A --backend after
// it overrides it, and the testers counted before.
struct SimulateArguments {
  QStringList states;     // one per simulated tester: its STATE, empty where none is named
  QStringList remaining;  // the other arguments, in their order
  QStringList withState;  // each "--simulate=STATE" as given
};
SimulateArguments TakeSimulateOptions(const QStringList& arguments);

// Adds --backend.
void AddBackendOptions(OptionParser& parser);

struct BackendChoice {
  BackendOptions options;
  QString error;  // set when a value is not understood
};
// The backend that the parsed line and its --simulate options choose; `fileNameBytes` turns a
// PATH back into the file system's bytes, as the program decoded its arguments.
BackendChoice ReadBackendOptions(
    const OptionParser& parser, const SimulateArguments& simulate,
    const std::function<QByteArray(const QString&)>& fileNameBytes = QFile::encodeName);

// One line per option, for a tool's usage text.
std::string BackendOptionsHelp();

struct Backend {
  std::shared_ptr<D2xx> driver;                    // null when error is set
  std::shared_ptr<SimulatedTester> simulator;      // the driver itself, when simulated
  std::shared_ptr<DriverDiagnostics> diagnostics;  // the driver itself, when it has them
  std::string error;
};

Backend CreateBackend(const BackendOptions& options);
