#include <QLocale>

#include "config_files/program_files.h"
#include "programs/programs_model.h"
#include "tools/command_context.h"
#include "tools/program_file_input.h"

// The programs of FILE as the editor holds them after loading it from its defaults; a
// single-program file goes into program 1 and only that program is shown. check also fails
// on every key the editor did not apply (unless --lenient) and on the pass/fail rule.
CommandResult ShowFile(const CommandContext& context, bool check) {
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
  if (!check) {
    PrintPrograms(context, programs);
    return {};
  }
  const CommandResult applied = CheckFileApplied(context, input, {});
  PrintPrograms(context, programs, applied.Ok());
  if (!applied.Ok()) return applied;
  return CheckPassFailLimits(model, programs, {});
}
