#pragma once

#include <QString>
#include <QtGlobal>

// What the platform's file access (file_access_posix.cpp or file_access_windows.cpp) and the
// shared part (file_access.cpp) give each other. Not for other callers.
namespace file_access {

// The refusal of an input above kMaxFileBytes; `size` 0 when the input has no size (a stream).
QString TooLarge(const QString& name, qint64 size);
// The file a save writes and a lock guards: the target of a symbolic link, followed to its end.
QString Target(const QString& fileName);

// Platform parts. Why `folder` cannot take a new file, or empty when it can.
QString FolderProblem(const QString& folder);
// The cause of a failed write, from the errno value it left, in the operator's words.
QString WriteProblem(int error);

}  // namespace file_access
