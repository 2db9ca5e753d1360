#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

// What the platform's file access (file_access_posix.cpp or file_access_windows.cpp) and the
// shared part (file_access.cpp) give each other. Not for other callers.
namespace file_access {

// The refusal of an input above kMaxFileBytes; `size` 0 when the input has no size (a stream).
QString TooLarge(const QString& name, qint64 size);
// The file a save writes and a lock guards: the target of a symbolic link, followed to its end.
QString Target(const QString& fileName);

// The absolute path of the folder that holds `fileName`, as text that keeps every byte of it
// (QFileInfo does not, see file_names).
QString FolderOf(const QString& fileName);
// A name by which Qt's own file classes (QLockFile) reach `fileName`: itself, or, where its
// folder's name has bytes that Qt cannot encode (see file_names), the same file through an open
// descriptor of that folder, which `folder` keeps open for as long as it lives.
QString QtReachable(const QString& fileName, std::shared_ptr<void>& folder);

// Platform parts. Why `folder` cannot take a new file, or empty when it can.
QString FolderProblem(const QString& folder);
// The cause of a failed write, from the errno value it left, in the operator's words.
QString WriteProblem(int error);

}  // namespace file_access
