#include <QLocale>

#include "command_context.h"
#include "program_file_input.h"
#include "program_files.h"
#include "test_programs_model.h"

// The programs of FILE as the editor holds them after loading it from its defaults; a
// single-program file goes into program 1 and only that program is shown.
CommandResult ShowFile(const CommandContext& context) {
  TestProgramsModel model(QLocale::c());
  model.StartUp();
  const ProgramFileText file =
      ReadProgramFile(context.options.file, KindOfFile(context.options.file));
  const FileInput input = LoadFileIntoEditor(model, file, 0, context.log);
  if (!input.result.Ok()) return input.result;

  std::vector<ProgramSummary> programs;
  if (file.kind == ProgramFileKind::SingleProgram) {
    programs.push_back(SummarizeProgram(model, 0, program_files::SectionName(0, true)));
  } else {
    programs = SummarizeAllPrograms(model);
  }
  programs = WithWarnings(std::move(programs), input);
  PrintPrograms(context, programs);
  if (context.options.command != CtlCommand::Check) return {};
  return CheckPassFailLimits(model, programs, {});
}
