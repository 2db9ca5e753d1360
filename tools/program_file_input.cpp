#include "tools/program_file_input.h"

#include "config_files/modINIReadWrite.h"

namespace {

const QString kLoadComplete = QStringLiteral("Load from file complete.");
const QString kLoadFailed = QStringLiteral("Load from file failed.");

}  // namespace

ProgramFileKind KindOfFile(const QString& fileName) {
  return program_files::IsSingleProgramFile(fileName) ? ProgramFileKind::SingleProgram
                                                      : ProgramFileKind::AllPrograms;
}

ProgramFileText ReadProgramFile(const QString& fileName, ProgramFileKind kind) {
  modINIReadWrite::IniLoad load = modINIReadWrite::LoadIniFile(fileName);
  ProgramFileText file{fileName, kind, std::move(load.document), load.missing, {}};
  if (!file.document) file.result = CommandResult::Failure(ExitStatus::FileFailure, load.error);
  return file;
}

FileInput LoadFileIntoEditor(TestProgramsModel& model, const ProgramFileText& file,
                             int singleProgramIndex, const StatusLog& log) {
  FileInput input;
  input.result = file.result;
  if (!file.document) return input;

  program_files::Outcome outcome;
  if (file.kind == ProgramFileKind::SingleProgram) {
    log(QStringLiteral("Loading Program %1 configuration from file...")
            .arg(singleProgramIndex + 1));
    outcome = program_files::LoadProgramFromDocument(model, singleProgramIndex, *file.document,
                                                     file.fileName, true);
  } else {
    log(QStringLiteral("Loading all Program configurations from file..."));
    outcome = program_files::LoadAllProgramsFromDocument(model, *file.document, file.fileName);
  }
  input.warnings = outcome.warnings;
  log(outcome.ok ? kLoadComplete : kLoadFailed);
  if (!outcome.ok) input.result = CommandResult::Failure(ExitStatus::FileFailure, outcome.error);
  return input;
}
