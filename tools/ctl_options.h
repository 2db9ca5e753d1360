#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

#include "backends/backend_options.h"
#include "backends/simulation_options.h"
#include "tools/command_result.h"
#include "tools/service_request.h"

// The command line of veld32ctl:
//   veld32ctl [--simulate[=STATE]]... [--backend=libftdi|d2xx[:PATH]] [--interval=MS]
//             [--timeout=MS] [--device=SELECTOR | --all] [--json] [--verbose] [--lenient]
//             [--simulate-impedance=OHMS] [--simulate-speed=FACTOR] [--csv FILE] [--yes]
//             [--records=PATH|postgresql://...] [--dut=ID] [--operator=NAME] [--station=NAME]
//             [--calibration-interval=MONTHS] [--since=WHEN] [--until=WHEN] [--tester=SERIAL]
//             [--verdict=VERDICT] COMMAND [ARGS]
// Options may stand anywhere on the line (backends/option_parser.h); --help prints the usage and
// nothing else runs. What each command takes is its row's (tools/ctl_commands.h).
// Each --simulate adds one simulated tester, with its own STATE where one is named.

struct CtlCommand;

struct CtlOptions {
  const CtlCommand* command = nullptr;  // its row (tools/ctl_commands.h); null for --help
  BackendOptions backend;
  QString stateFile;           // --simulate=STATE; empty without one
  QString file;                // FILE of upload, show and check ("-": standard input)
  QString outputFile;          // -o FILE of download ("-": standard output); empty without one
  std::optional<int> program;  // --program=N of upload (1..3)
  qint16 intervalMs = 500;     // the window's polling interval
  int timeoutMs = 5000;
  bool timeoutGiven = false;  // run waits for its result by the program's duration otherwise
  int testProgram = 0;        // N of run (1..3)
  QString csvFile;            // --csv FILE of run, records and history; empty without one
  ServiceRequest service;     // what service asks for
  bool yes = false;           // --yes: service may write to the tester
  SimulationOptions simulation;
  bool json = false;
  bool verbose = false;
  QStringList moreStateFiles;  // STATE of each further --simulate; empty where none is named
  QString device;              // --device=SELECTOR: a USB serial number or an index of list
  bool all = false;            // --all: every attached tester at once
  QString usbSerialNumber;     // the tester to open; empty opens the first described "VELD32"
  bool lenient = false;  // upload and check: keys of FILE not applied are warnings, not failures

  // Production records (records/): where they go, --records or else VELD32_RECORDS or the
  // default; empty when not given on the line.
  QString records;
  QString dut;           // --dut=ID: the unit under test of run; records: an id prefix
  QString operatorName;  // --operator=NAME of run, upload and service
  QString station;       // --station=NAME; the host name unless given (records: a filter)
  bool stationGiven = false;
  int calibrationIntervalMonths = 0;  // --calibration-interval=MONTHS; 0 is off
  // records and history: the words after the command ("stats", "sync"), and the filters.
  QString recordsAction;
  std::optional<QDateTime> since;  // from this moment on
  std::optional<QDateTime> until;  // before this moment
  QString tester;                  // --tester=SERIAL: the tester's serial number
  QString verdict;                 // --verdict=VERDICT as given
  int limit = 100;                 // --limit=N: a listing shows the newest N; 0 shows all
};

struct ParsedCommandLine {
  CtlOptions options;
  CommandResult result;  // ExitStatus::Usage with the reason when the line is not understood
};

// `arguments` without the program's own name.
ParsedCommandLine ParseCommandLine(const QStringList& arguments);

QString UsageText();
