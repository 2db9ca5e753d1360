#include <QLocale>

#include "programs/programs_model.h"
#include "tester/run_record.h"
#include "tools/command_context.h"
#include "tools/json_text.h"
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

CommandResult RunTestProgram(const CommandContext& context) {
  const CtlOptions& options = context.options;
  // The program-values reply is applied as the window would apply it.
  TestProgramsModel programs(QLocale::c());
  TesterSession session(context.backend.driver, context.backend.diagnostics,
                        SessionSettings(options), context.log, programs);
  CommandResult result = session.Open();
  if (!result.Ok()) return result;

  TestRun::Timeouts timeouts{options.timeoutMs, std::nullopt};
  if (options.timeoutGiven) timeouts.resultMs = options.timeoutMs;
  TestResult test;
  result = session.RunTest(
      options.testProgram, timeouts,
      [&context, program = options.testProgram] {
        context.err << RunningCaption(program) << '\n';
        context.err.flush();
      },
      test);
  if (!result.Ok()) return result;
  context.log(ResultLine(test));
  PrintResult(context, test);

  if (!options.csvFile.isEmpty()) {
    const QString failure = AppendRunRecord(options.csvFile, test, kRecordLockWaitMs);
    if (!failure.isEmpty()) return CommandResult::Failure(ExitStatus::FileFailure, failure);
  }
  if (test.verdict == Verdict::Pass) return {};
  return CommandResult::Failure(ExitStatus::CheckFailed,
                                QStringLiteral("Test program %1 not passed: %2")
                                    .arg(test.program)
                                    .arg(VerdictName(test.verdict)));
}
