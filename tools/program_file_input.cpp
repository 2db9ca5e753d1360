#include "program_file_input.h"

#include <QFile>

#include "ctl_options.h"
#include "program_files.h"

namespace {

const QString kLoadComplete = QStringLiteral("Load from file complete.");
const QString kLoadFailed = QStringLiteral("Load from file failed.");

// A missing or unreadable file would otherwise read as one without sections.
CommandResult Readable(const QString& fileName) {
  QFile file(fileName);
  if (file.open(QIODevice::ReadOnly)) return {};
  return CommandResult::Failure(
      ExitStatus::FileFailure,
      QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
}

// Each warning begins with its program ("Program 2: Pass=5000 not applied ...").
int ProgramOfWarning(const QString& warning) {
  for (int i = 0; i < kProgramCount; ++i) {
    if (warning.startsWith(QStringLiteral("Program %1:").arg(i + 1))) return i;
  }
  return 0;
}

}  // namespace

FileInput LoadFileIntoEditor(TestProgramsModel& model, const QString& fileName,
                             int singleProgramIndex, const StatusLog& log) {
  FileInput input;
  input.result = Readable(fileName);
  if (!input.result.Ok()) return input;

  const bool single = IsSingleProgramFile(fileName);
  program_files::Outcome outcome;
  if (single) {
    log(QStringLiteral("Loading Program %1 configuration from file...")
            .arg(singleProgramIndex + 1));
    outcome = program_files::LoadProgramFromFile(model, singleProgramIndex, fileName, true);
    input.warnings[singleProgramIndex] = outcome.warnings;
  } else {
    log(QStringLiteral("Loading all Program configurations from file..."));
    outcome = program_files::LoadAllProgramsFromFile(model, fileName);
    for (const QString& warning : outcome.warnings)
      input.warnings[ProgramOfWarning(warning)] << warning;
  }
  log(outcome.ok ? kLoadComplete : kLoadFailed);
  if (!outcome.ok) input.result = CommandResult::Failure(ExitStatus::FileFailure, outcome.error);
  return input;
}
