#pragma once

#include <QString>

// Where the utility's file dialogs start: the folder of the file last chosen in any of them,
// while that folder exists; else the desktop folder when it exists; else the home folder. (A
// dialog pointed at a folder that does not exist offers the folder's name as the file name.)
QString DialogStartFolder();

// Remembers the folder of `fileName`, a file just chosen in a dialog, for the next dialog.
void RememberDialogFolder(const QString& fileName);
