#include <QLocale>

#include <vector>

#include "config_files/file_access.h"
#include "config_files/file_names.h"
#include "config_files/program_files.h"
#include "programs/program_controls.h"
#include "programs/programs_model.h"
#include "tools/command_context.h"
#include "tools/program_file_input.h"
#include "tools/record_keeping.h"
#include "tools/tester_session.h"

namespace {

const StatusLog kQuiet = [](const QString&) {};

CommandResult SaveDownload(const CommandContext& context, const TestProgramsModel& model) {
  if (context.options.outputFile == file_access::kStandardStream) {
    context.out << QString::fromLatin1(program_files::AllProgramsFileContent(model));
    return {};
  }
  context.log(QStringLiteral("Saving all Program configurations to file..."));
  const program_files::Outcome saved =
      program_files::SaveAllProgramsToFile(model, context.options.outputFile);
  for (const QString& note : saved.notes)
    context.err << "veld32ctl: warning: " << file_names::Readable(note) << '\n';
  context.log(saved.ok ? QStringLiteral("Save to file complete.")
                       : QStringLiteral("Save to file failed."));
  if (saved.ok) return {};
  return CommandResult::Failure(ExitStatus::FileFailure, saved.error);
}

ProgramChange UploadChange(const CommandContext& context, const TesterIdentity& identity,
                           const TesterSession& session, std::vector<ProgramSettings> sent,
                           bool agreed) {
  ProgramChange change;
  change.time = QDateTime::currentDateTimeUtc();
  change.operatorName = context.options.operatorName;
  change.station = context.options.station;
  change.tester = FactsOf(context.options, identity, session.UsbSerialNumber());
  change.action = QStringLiteral("upload");
  change.programsSent = std::move(sent);
  for (const auto& [number, echoed] : session.Replies()) change.programsEchoed.push_back(echoed);
  change.agreed = agreed;
  change.version = SoftwareVersion();
  return change;
}

}  // namespace

CommandResult DownloadPrograms(const CommandContext& context) {
  TestProgramsModel model(QLocale::c());
  model.StartUp();
  {
    TesterSession session(context.backend.driver, context.backend.diagnostics,
                          SessionSettings(context.options), context.log, model);
    CommandResult result = OpenSession(context, session);
    if (result.Ok()) result = session.DownloadAll();
    if (!result.Ok()) return result;
  }
  // With -o - standard output carries the file alone.
  if (context.options.outputFile != file_access::kStandardStream)
    PrintPrograms(context, SummarizeAllPrograms(model));
  if (context.options.outputFile.isEmpty()) return {};
  return SaveDownload(context, model);
}

// An all-programs file is loaded and checked before the tester is touched. A single-program
// file fills one program of what the tester holds, so the programs are downloaded first; the
// file is tried on a scratch editor beforehand so that a bad one never reaches the tester. The
// file itself is read once, before anything else. A file with a key the editor does not apply
// is not uploaded at all, unless --lenient.
CommandResult UploadPrograms(const CommandContext& context) {
  const ProgramFileText file =
      ReadProgramFile(context.options.file, KindOfFile(context.options.file));
  if (!file.result.Ok()) return file.result;
  const bool single = file.kind == ProgramFileKind::SingleProgram;
  const int index = context.options.program.value_or(1) - 1;
  const QString aborted = QStringLiteral("nothing uploaded");

  TestProgramsModel model(QLocale::c());
  model.StartUp();
  FileInput input;
  if (single) {
    TestProgramsModel probe(QLocale::c());
    probe.StartUp();
    input = LoadFileIntoEditor(probe, file, index, kQuiet);
    if (input.result.Ok()) input.result = CheckFileApplied(context, input, aborted);
  } else {
    input = LoadFileIntoEditor(model, file, 0, context.log);
    if (input.result.Ok()) input.result = CheckFileApplied(context, input, aborted);
    if (input.result.Ok()) {
      input.result = CheckPassFailLimits(model, SummarizeAllPrograms(model), aborted);
    }
  }
  if (!input.result.Ok()) return input.result;

  CommandResult kept;
  {
    TesterSession session(context.backend.driver, context.backend.diagnostics,
                          SessionSettings(context.options), context.log, model);
    // Every upload is recorded with the tester it went to.
    TesterIdentity own;
    TesterIdentity& identity = context.identity ? *context.identity : own;
    CommandContext identified = context;
    identified.identity = &identity;
    CommandResult result = OpenSession(identified, session);
    if (result.Ok()) WarnIfCalibrationOverdue(context, identity);
    if (result.Ok() && single) {
      result = session.DownloadAll();
      if (result.Ok()) {
        input = LoadFileIntoEditor(model, file, index, context.log);
        result = input.result;
      }
      if (result.Ok()) result = CheckPassFailLimits(model, SummarizeAllPrograms(model), aborted);
    }
    if (!result.Ok()) return result;
    std::vector<ProgramSettings> sent;
    for (int i = 0; i < kProgramCount; ++i) sent.push_back(model.UploadSettings(i));
    result = session.UploadAll();
    // Kept whatever the tester made of it: a program not confirmed may still have changed.
    kept = KeepChange(context, UploadChange(context, identity, session, sent, result.Ok()));
    if (!result.Ok()) {
      if (!kept.Ok()) result.message += u'\n' + kept.message;
      return result;
    }
  }
  // What the tester now holds is shown even when its record could not be kept.
  PrintPrograms(context, WithWarnings(SummarizeAllPrograms(model), input));
  return kept;
}
