#pragma once

#include <QString>

#include <memory>

#include "programs/tester_identity.h"
#include "records/production_record.h"
#include "records/record_store.h"
#include "tools/command_result.h"

struct CommandContext;
struct CtlOptions;

// veld32ctl's production records: every test run and every change of what a tester holds is
// kept before the command ends, where --records (else VELD32_RECORDS, else the default file)
// says.

// The store the command line names; FileFailure with the reason when it cannot be opened.
struct CtlStore {
  std::unique_ptr<RecordStore> store;
  CommandResult result;
};
CtlStore OpenCtlStore(const CtlOptions& options);

// The tester for a record: as it identified itself, the USB serial number of its bridge, and
// whether --calibration-interval finds it overdue today.
TesterFacts FactsOf(const CtlOptions& options, const TesterIdentity& identity,
                    const QString& usbSerial);

// "veld32ctl: warning: ..." on standard error when --calibration-interval finds the tester
// overdue.
void WarnIfCalibrationOverdue(const CommandContext& context, const TesterIdentity& identity);

// The version of this build, as records carry it.
QString SoftwareVersion();

// Keeps the record: success once stored, and also when it waits locally for the server (which
// standard error then tells); FileFailure with the reason when it is kept nowhere.
CommandResult KeepRun(const CommandContext& context, const RunRecord& run);
CommandResult KeepChange(const CommandContext& context, const ProgramChange& change);
