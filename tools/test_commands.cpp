#include <QLocale>

#include "programs/programs_model.h"
#include "tester/run_record.h"
#include "tools/command_context.h"
#include "tools/json_text.h"
#include "tools/record_keeping.h"
#include "tools/stop_signals.h"
#include "tools/tester_session.h"

namespace {

// Runs on a production line may append to one file at the same moment; each holds the lock
// only for one short write.
constexpr int kRecordLockWaitMs = 10000;

void PrintResult(const CommandContext& context, const TestResult& r) {
  if (!context.options.json) {
    context.out << ResultLine(r) << '\n' << "Verdict: " << VerdictName(r.verdict) << '\n';
    return;
  }
  // JSON has no infinity or not-a-number: no reading is null.
  const QString impedance = r.verdict == Verdict::NoReading ? QStringLiteral("null")
                                                            : json_text::Decimal(r.impedanceOhms);
  context.out << json_text::Object(
                     {{QStringLiteral("program"), json_text::Integer(r.program)},
                      {QStringLiteral("impedance_ohms"), impedance},
                      {QStringLiteral("pass_ohms"), json_text::Integer(r.passOhms)},
                      {QStringLiteral("fail_ohms"), json_text::Integer(r.failOhms)},
                      {QStringLiteral("verdict"), json_text::String(VerdictName(r.verdict))},
                      {QStringLiteral("tester_serial"), json_text::String(r.testerSerial)},
                      {QStringLiteral("time"),
                       json_text::String(r.time.toUTC().toString(Qt::ISODate))}})
              << '\n';
}

}  // namespace

// What is known of a run once the tester has identified itself: the record it leaves however
// it ends.
RunRecord RunRecordOf(const CommandContext& context, const TesterIdentity& identity,
                      const TesterSession& session, const QDateTime& started) {
  const CtlOptions& options = context.options;
  RunRecord record;
  record.started = started;
  record.ended = QDateTime::currentDateTimeUtc();
  record.dut = options.dut;
  record.operatorName = options.operatorName;
  record.station = options.station;
  record.tester = FactsOf(options, identity, session.UsbSerialNumber());
  const auto reported = session.Replies().find(options.testProgram);
  if (reported != session.Replies().end()) {
    record.settings = reported->second;
  } else {
    record.settings.number = static_cast<std::int16_t>(options.testProgram);
  }
  record.version = SoftwareVersion();
  return record;
}

CommandResult RunTestProgram(const CommandContext& context) {
  const CtlOptions& options = context.options;
  const QDateTime started = QDateTime::currentDateTimeUtc();
  // The program-values reply is applied as the window would apply it.
  TestProgramsModel programs(QLocale::c());
  TesterSession session(context.backend.driver, context.backend.diagnostics,
                        SessionSettings(options), context.log, programs);
  TesterIdentity identity;
  CommandResult result = session.Open();
  if (result.Ok()) result = session.ReadIdentity(identity);
  if (!result.Ok()) return result;
  WarnIfCalibrationOverdue(context, identity);

  TestRun::Timeouts timeouts{options.timeoutMs, std::nullopt};
  if (options.timeoutGiven) timeouts.resultMs = options.timeoutMs;
  TestResult test;
  // From here an interrupted run is kept as stopped; a signal while its record is written only
  // asks again, so the record is never cut short.
  const StopSignals stop;
  result = session.RunTest(
      options.testProgram, timeouts,
      [&context, program = options.testProgram] {
        context.err << RunningCaption(program) << '\n';
        context.err.flush();
      },
      test, &stop);
  RunRecord record = RunRecordOf(context, identity, session, started);
  if (result.status == ExitStatus::Stopped) {
    record.outcome = RunOutcome::Stopped;
    const CommandResult kept = KeepRun(context, record);
    return CommandResult::Failure(
        result.status,
        kept.Ok() ? result.message + QStringLiteral("; its record is kept")
                  : result.message + QStringLiteral("; its record is not kept\n") + kept.message);
  }
  if (!result.Ok()) {
    record.outcome = RunOutcome::Error;
    record.errorText = result.message;
    // The run's own failure comes first; a record not kept is told after it.
    if (const CommandResult kept = KeepRun(context, record); !kept.Ok())
      return CommandResult::Failure(result.status, result.message + u'\n' + kept.message);
    return result;
  }
  context.log(ResultLine(test));
  PrintResult(context, test);

  record.ended = test.time;
  record.outcome = OutcomeOf(test.verdict);
  if (test.verdict != Verdict::NoReading) record.impedanceOhms = test.impedanceOhms;
  // The record and the --csv row are each written whatever became of the other.
  result = KeepRun(context, record);
  if (!options.csvFile.isEmpty()) {
    const QString failure = AppendRunRecord(options.csvFile, test, kRecordLockWaitMs);
    if (!failure.isEmpty()) {
      result = CommandResult::Failure(ExitStatus::FileFailure,
                                      result.Ok() ? failure : result.message + u'\n' + failure);
    }
  }
  if (!result.Ok()) return result;
  if (test.verdict == Verdict::Pass) return {};
  return CommandResult::Failure(ExitStatus::CheckFailed,
                                QStringLiteral("Test program %1 not passed: %2")
                                    .arg(test.program)
                                    .arg(VerdictName(test.verdict)));
}
