#include "tools/record_keeping.h"

#include <QDate>

#include "records/record_location.h"
#include "resources/version.h"
#include "tools/command_context.h"

namespace {

CommandResult Kept(const CommandContext& context, const StoreResult& stored) {
  switch (stored.outcome) {
    case StoreOutcome::Stored:
      return {};
    case StoreOutcome::KeptLocally:
      context.err << "veld32ctl: " << stored.message << '\n';
      return {};
    case StoreOutcome::Failed:
      break;
  }
  return CommandResult::Failure(ExitStatus::FileFailure,
                                QStringLiteral("Record not kept: ") + stored.message);
}

template <typename Record>
CommandResult Keep(const CommandContext& context, const Record& record,
                   StoreResult (RecordStore::*add)(const Record&)) {
  const CtlStore opened = OpenCtlStore(context.options);
  if (!opened.result.Ok()) return opened.result;
  return Kept(context, ((*opened.store).*add)(record));
}

}  // namespace

CtlStore OpenCtlStore(const CtlOptions& options) {
  const ParsedLocation parsed = ParseRecordLocation(options.records);
  if (!parsed.error.isEmpty())
    return {nullptr, CommandResult::Failure(ExitStatus::FileFailure, parsed.error)};
  OpenedStore opened = OpenRecordStore(parsed.location);
  if (!opened.store)
    return {nullptr, CommandResult::Failure(ExitStatus::FileFailure, opened.error)};
  return {std::move(opened.store), {}};
}

TesterFacts FactsOf(const CtlOptions& options, const TesterIdentity& identity,
                    const QString& usbSerial) {
  return {usbSerial, identity.serial.value_or(QString()), identity.firmware.value_or(QString()),
          CalibrationDateText(identity),
          CalibrationOverdue(identity, options.calibrationIntervalMonths, QDate::currentDate())};
}

void WarnIfCalibrationOverdue(const CommandContext& context, const TesterIdentity& identity) {
  const int months = context.options.calibrationIntervalMonths;
  if (!CalibrationOverdue(identity, months, QDate::currentDate())) return;
  context.err << "veld32ctl: warning: calibration overdue: tester "
              << identity.serial.value_or(QString()) << ", calibrated "
              << CalibrationDateText(identity) << ", is due every " << months << " months\n";
}

QString SoftwareVersion() { return QStringLiteral(VELD32_VERSION_TEXT); }

CommandResult KeepRun(const CommandContext& context, const RunRecord& run) {
  return Keep(context, run, &RecordStore::AddRun);
}

CommandResult KeepChange(const CommandContext& context, const ProgramChange& change) {
  return Keep(context, change, &RecordStore::AddChange);
}
