#pragma once

#include <QString>
#include <QStringList>

#include <vector>

#include "device_link/program_settings.h"
#include "programs/settings_values.h"

class TestProgramsModel;

// One program as the tool reports it: the values of the sliders and lists (what an upload or
// a save uses) and the derived texts exactly as the editor's boxes show them.
struct ProgramSummary {
  QString section;  // "Program1".."Program3", or "Program" for a single-program file
  // The sliders, lists and option, with both duration parts as their sliders stand.
  ProgramSettings program;
  QString pulseCharge;        // "00.0"
  QString averageCurrent;     // "000.000"
  QStringList warnings;       // keys of the file that were missing or refused
  bool passBelowFail = true;  // the editor's upload rule for this program

  // Hours x 3600 + seconds, as a save writes "Duration".
  int TotalSeconds() const { return program.durationHours * 3600 + program.durationSeconds; }
};

ProgramSummary SummarizeProgram(const TestProgramsModel& model, int index, const QString& section);

// Programs 1..3 of the model under their all-programs section names.
std::vector<ProgramSummary> SummarizeAllPrograms(const TestProgramsModel& model);

// One row per program under a header line: current (mA), frequency (Hz), pulse width (us),
// mode, duration (h:mm:ss), pass and fail (ohms), pulse charge (uC), average current (mA).
QString ProgramTable(const std::vector<ProgramSummary>& programs);

// {"programs": [{"section": ..., "current_mA": ..., ..., "warnings": [...]}]}
QString ProgramsJson(const std::vector<ProgramSummary>& programs);

// Programs whose pass limit is not below their fail limit, in words, for the error line.
QStringList PassFailFaults(const std::vector<ProgramSummary>& programs);
