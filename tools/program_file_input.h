#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "config_files/ini_document.h"
#include "config_files/program_files.h"
#include "programs/program_controls.h"
#include "tools/command_result.h"
#include "tools/status_log.h"

class TestProgramsModel;

// FILE read once ("-" for standard input), then loaded into the editor's programs as the
// window's Load menu would load it: an all-programs file into programs 1..3 ("Load All
// Programs..."), a single-program file into program `singleProgramIndex` ("Load Program N...").
// A file that cannot be read, or whose sections hold none of the keys, fails with
// ExitStatus::FileFailure and one line per fault.
enum class ProgramFileKind { AllPrograms, SingleProgram };

// The kind a file name says: .vsp (any case) holds one program, anything else all three.
ProgramFileKind KindOfFile(const QString& fileName);

struct ProgramFileText {
  QString fileName;
  ProgramFileKind kind = ProgramFileKind::AllPrograms;
  std::optional<IniDocument> document;  // set when the read succeeded
  bool missing = false;                 // the file does not exist
  CommandResult result;                 // why it could not be read
};

ProgramFileText ReadProgramFile(const QString& fileName, ProgramFileKind kind);

struct FileInput {
  CommandResult result;
  std::vector<program_files::Warning> warnings;  // in loading order
};

FileInput LoadFileIntoEditor(TestProgramsModel& model, const ProgramFileText& file,
                             int singleProgramIndex, const StatusLog& log);
