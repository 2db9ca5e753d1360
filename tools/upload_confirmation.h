#pragma once

#include <QStringList>

#include <array>
#include <map>

#include "device_link/program_settings.h"
#include "programs/program_controls.h"

// Whether the tester's program-values replies after an upload hold what was sent. The tester
// answers every program write with the program as it now stores it, so its last reply for each
// program number is what it holds. A Single Measure program is compared without its duration,
// which the tester does not use.

using RepliesByProgram = std::map<int, ProgramSettings>;  // program number -> its last reply

// One line per program whose reply is missing or differs from what was sent; empty when the
// upload is confirmed.
QStringList UnconfirmedPrograms(const std::array<ProgramSettings, kProgramCount>& sent,
                                const RepliesByProgram& replies);
