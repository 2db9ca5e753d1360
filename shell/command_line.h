#pragma once

#include <QString>
#include <QStringList>

#include <string>

#include "backends/backend_options.h"
#include "backends/simulation_options.h"

// The utility's command line, read before any window exists so that --help, --version and a
// mistyped option need no display. Besides its own options it accepts the driver backend's and
// the simulation's, the diagnostic switch (ui_core/diagnostic_switch.h) and the toolkit's own
// options ("-platform offscreen", "-style=fusion", ...); anything else is a usage error.
struct CommandLine {
  enum class Action { Run, Help, Version, UsageError };
  Action action = Action::Run;
  BackendOptions backend;
  SimulationOptions simulation;
  QString device;  // --device=SERIAL|INDEX: the tester to connect to; empty: the operator's choice
  QString error;   // UsageError only: what was not understood
};

// `arguments` without the program's name.
CommandLine ParseCommandLine(const QStringList& arguments);

std::string UsageText();
// The utility's name and version, and the libraries it runs on.
std::string VersionText();
