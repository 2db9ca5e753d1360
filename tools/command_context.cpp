#include "tools/command_context.h"

#include "programs/programs_model.h"

TesterSession::Settings SessionSettings(const CtlOptions& options) {
  return {options.intervalMs, options.timeoutMs, options.usbSerialNumber};
}

CommandResult OpenSession(const CommandContext& context, TesterSession& session) {
  CommandResult result = session.Open();
  if (result.Ok() && context.identity) result = session.ReadIdentity(*context.identity);
  return result;
}

std::vector<ProgramSummary> WithWarnings(std::vector<ProgramSummary> programs,
                                         const FileInput& input) {
  for (const program_files::Warning& warning : input.warnings) {
    const auto index = static_cast<std::size_t>(warning.program);
    if (index < programs.size()) programs[index].warnings << program_files::WarningText(warning);
  }
  return programs;
}

void PrintPrograms(const CommandContext& context, const std::vector<ProgramSummary>& programs,
                   bool warnOnStderr) {
  if (context.options.json) {
    context.out << ProgramsJson(programs) << '\n';
    return;
  }
  context.out << ProgramTable(programs);
  if (!warnOnStderr) return;
  for (const ProgramSummary& program : programs) {
    for (const QString& warning : program.warnings) {
      context.err << "veld32ctl: warning: " << warning << '\n';
    }
  }
}

CommandResult CheckPassFailLimits(const TestProgramsModel& model,
                                  const std::vector<ProgramSummary>& programs,
                                  const QString& consequence) {
  if (model.ValidatePassFailLimits()) return {};
  QStringList lines = PassFailFaults(programs);
  if (!consequence.isEmpty()) {
    for (QString& line : lines) line += QLatin1String(", ") + consequence;
  }
  return CommandResult::Failure(ExitStatus::CheckFailed, lines.join(u'\n'));
}

CommandResult CheckFileApplied(const CommandContext& context, const FileInput& input,
                               const QString& consequence) {
  if (context.options.lenient) return {};
  QStringList lines;
  for (const QString& warning : program_files::WarningTexts(input.warnings)) {
    lines << (consequence.isEmpty() ? warning : warning + QLatin1String(", ") + consequence);
  }
  if (lines.isEmpty()) return {};
  return CommandResult::Failure(ExitStatus::CheckFailed, lines.join(u'\n'));
}
