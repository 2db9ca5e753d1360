#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class IniDocument;
class TestProgramsModel;

// The program configuration files: an all-programs file (sections "Program1".."Program3") and
// a single-program file (section "Program"), seven keys each, moved between the file and the
// editor's controls through the editor's own rules, as if the operator had set each control.
// Widget-free, so that the window's menus and the command-line tool share them.
namespace program_files {

inline const QString kAllProgramsFilter = QStringLiteral("VELD32 All Programs (*.vap)");
inline const QString kSingleProgramFilter = QStringLiteral("VELD32 Single Program (*.vsp)");

// A key of a program's section that a load did not apply as written, or a name the file gives
// more than once.
struct Warning {
  enum class Reason { Missing, NotApplied, KeyRepeated, SectionRepeated };
  int program = 0;  // the program's index, 0..2
  QString key;      // the key; SectionRepeated: the section
  QString value;    // NotApplied: the value read; KeyRepeated: the first one, which is used
  Reason reason = Reason::NotApplied;
  QString allowed;  // Missing and NotApplied: the values the program takes
  int count = 0;    // KeyRepeated and SectionRepeated: how often the name appears
};

// The warning as the operator reads it, in the window's log and on veld32ctl's standard error
// ("Program 2: Pass=5000 not applied (1 to 999 ohms)", "Program 1: Mode missing, not applied
// (1 Duration or 2 Single Measure)", "Program 1: Pass appears twice; the first (12) is used").
QString WarningText(const Warning& warning);
QStringList WarningTexts(const std::vector<Warning>& warnings);

struct Outcome {
  bool ok = true;
  QString error;  // for the operator when !ok: which file, and what is wrong with it
  std::vector<Warning> warnings;  // a load's, in loading order
  QStringList notes;  // a save's: what of the file's owner, group and mode it could not keep
};

// A .vsp file (any letter case) holds one program, in section "Program"; any other file holds
// all three.
bool IsSingleProgramFile(const QString& fileName);

// "Program" for a single-program file, else "Program" + (programIndex + 1).
QString SectionName(int programIndex, bool singleProgram);

// Loads the section into program programIndex (0..2). Each key applies whole or not at all: a
// missing, non-numeric or refused key leaves all its controls as they were, is named in the
// warnings, and the load goes on; a section with none of the keys fails.
// `fileName` names the file in messages.
Outcome LoadProgramFromDocument(TestProgramsModel& model, int programIndex,
                                const IniDocument& document, const QString& fileName,
                                bool singleProgram);
Outcome LoadAllProgramsFromDocument(TestProgramsModel& model, const IniDocument& document,
                                    const QString& fileName);
// The same from the file ("-" for standard input), read once; a file that cannot be read fails
// with the cause and changes nothing.
Outcome LoadProgramFromFile(TestProgramsModel& model, int programIndex, const QString& fileName,
                            bool singleProgram);
Outcome LoadAllProgramsFromFile(TestProgramsModel& model, const QString& fileName);

// Writes program programIndex's seven keys, as an upload would send them, into the file,
// keeping everything else in it, under
// the file's lock (waiting for another program's save up to file_access::kSaveLockWaitMs).
Outcome SaveProgramToFile(const TestProgramsModel& model, int programIndex, const QString& fileName,
                          bool singleProgram);
// Replaces the file by one holding exactly the three programs; the old file stays whole until
// the new one is complete and on the disk, and a read-only file is not replaced.
Outcome SaveAllProgramsToFile(const TestProgramsModel& model, const QString& fileName);

// The file content SaveAllProgramsToFile writes, as bytes.
QByteArray AllProgramsFileContent(const TestProgramsModel& model);

}  // namespace program_files
