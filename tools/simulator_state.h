#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>

#include "tools/command_result.h"

class SimulatedTester;

// The simulated tester's three programs kept between runs in an all-programs file, so that
// consecutive runs see the same tester. The file goes through the editor as the window would
// take it: read with "Load All Programs..." and sent as an upload sends it; written from the
// programs the tester reports, with "Save All Programs...". The file is an all-programs file
// whatever its name; the caller holds its lock (file_access::FileLock) from the restore to the
// save.

// Of the simulator's tester at `device`. Nothing to do when `stateFile` does not exist yet.
// `warnings` gets one line per key of the file that the tester did not take; the key stays in
// the file, since the file is written again only when what the tester holds has changed.
CommandResult RestoreSimulatorState(SimulatedTester& simulator, const QString& stateFile,
                                    std::size_t device, QStringList& warnings);
// What of the file's owner, group and mode the save could not keep is added to `notes`.
CommandResult SaveSimulatorState(SimulatedTester& simulator, const QString& stateFile,
                                 std::size_t device, QStringList* notes = nullptr);
