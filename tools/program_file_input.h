#pragma once

#include <QString>
#include <QStringList>

#include <array>

#include "command_result.h"
#include "program_controls.h"
#include "status_log.h"

class TestProgramsModel;

// FILE read into the editor's programs as the window's Load menu would read it: an all-programs
// file into programs 1..3 ("Load All Programs..."), a single-program file (.vsp) into program
// `singleProgramIndex` ("Load Program N..."). A file that cannot be read, or whose sections
// hold none of the keys, fails with ExitStatus::FileFailure and one line per fault.
struct FileInput {
  CommandResult result;
  std::array<QStringList, kProgramCount> warnings;  // per program index
};

FileInput LoadFileIntoEditor(TestProgramsModel& model, const QString& fileName,
                             int singleProgramIndex, const StatusLog& log);
