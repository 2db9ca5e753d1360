// The part of the file access that is the same on every platform.
#include <QFileInfo>

#include <cerrno>

#include "file_access.h"
#include "file_access_internal.h"

namespace file_access {

QString TooLarge(const QString& name, qint64 size) {
  const QString what = size > 0 ? QStringLiteral("%1 bytes").arg(size)
                                : QStringLiteral("more than %1 bytes").arg(kMaxFileBytes);
  return QStringLiteral("%1 is too large for a configuration file: %2, at most %3 bytes are read.")
      .arg(name, what)
      .arg(kMaxFileBytes);
}

QString Target(const QString& fileName) {
  const QFileInfo info(fileName);
  if (!info.isSymLink()) return fileName;
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

QString DisplayName(const QString& fileName) {
  return fileName == kStandardStream ? QStringLiteral("standard input") : fileName;
}

FileLock::FileLock(const QString& fileName)
    : fileName_(fileName), lock_(Target(fileName) + QStringLiteral(".lock")) {
  // Only a dead holder makes a lock stale: a veld32ctl run may hold its STATE for minutes.
  lock_.setStaleLockTime(0);
}

QString FileLock::Acquire(int timeoutMs) {
  errno = 0;
  if (lock_.tryLock(timeoutMs)) return QString();
  const int error = errno;
  if (lock_.error() == QLockFile::LockFailedError)
    return QStringLiteral("The file %1 is in use by another program (waited %2 ms).")
        .arg(fileName_)
        .arg(timeoutMs);
  QString problem = FolderProblem(QFileInfo(Target(fileName_)).absolutePath());
  if (problem.isEmpty())
    problem = QStringLiteral("its lock file could not be written (%1)")
                  .arg(error != 0 ? WriteProblem(error) : QStringLiteral("unknown cause"));
  return QStringLiteral("Cannot lock %1: %2.").arg(fileName_, problem);
}

}  // namespace file_access
