// The part of the file access that is the same on every platform.
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "config_files/file_access.h"
#include "config_files/file_access_internal.h"

namespace file_access {

QString TooLarge(const QString& name, qint64 size) {
  const QString what = size > 0 ? QStringLiteral("%1 bytes").arg(size)
                                : QStringLiteral("more than %1 bytes").arg(kMaxFileBytes);
  return QStringLiteral("%1 is too large for a configuration file: %2, at most %3 bytes are read.")
      .arg(name, what)
      .arg(kMaxFileBytes);
}

QString DisplayName(const QString& fileName) {
  return fileName == kStandardStream ? QStringLiteral("standard input") : fileName;
}

FileLock::FileLock(const QString& fileName)
    : fileName_(fileName),
      lockFileName_(Target(fileName) + QStringLiteral(".lock")),
      lockPath_(QtReachable(lockFileName_, folder_)),
      lock_(lockPath_) {
  // Qt's own rule: a lock whose holder is dead is stale. No age makes a named live holder's lock
  // stale: a veld32ctl run may hold its STATE for minutes.
  lock_.setStaleLockTime(0);
}

bool FileLock::TakeOverAbandoned() {
  const auto abandoned = [this] {
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock_.getLockInfo(&pid, &host, &application)) return false;
    const QDateTime written = QFileInfo(lockPath_).lastModified();
    return written.isValid() &&
           std::abs(written.msecsTo(QDateTime::currentDateTime())) >= kAbandonedLockAgeMs;
  };
  if (!abandoned()) return false;
  // The guard that Qt takes for its own take-over, so that two programs never both remove a lock
  // file and one of them the other's new one; under it the lock file is judged again.
  QLockFile guard(lockPath_ + QStringLiteral(".rmlock"));
  return guard.tryLock() && abandoned() && lock_.removeStaleLockFile();
}

namespace {

// Whether a lock's host name is this machine's: Windows' lock files carry the computer name,
// which need not be the network host name.
bool IsThisMachine(const QString& host) {
  return host.isEmpty() || host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0 ||
         host.compare(qEnvironmentVariable("COMPUTERNAME"), Qt::CaseInsensitive) == 0;
}

}  // namespace

QString FileLock::InUse(int timeoutMs) const {
  qint64 pid = 0;
  QString host;
  QString application;
  QString holder;
  if (lock_.getLockInfo(&pid, &host, &application)) {
    holder = QStringLiteral("%1 (process %2%3) holds its lock file %4")
                 .arg(application.isEmpty() ? QStringLiteral("a program") : application)
                 .arg(pid)
                 .arg(IsThisMachine(host) ? QString() : QStringLiteral(" on ") + host)
                 .arg(lockFileName_);
  } else {
    holder = QStringLiteral("its lock file %1 names no program yet").arg(lockFileName_);
  }
  return QStringLiteral("The file %1 is in use by another program: %2 (waited %3 ms).")
      .arg(fileName_, holder)
      .arg(timeoutMs);
}

QString FileLock::Acquire(int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    errno = 0;
    // Short tries, so that a lock file that names nobody is judged again as it ages.
    const qint64 left =
        deadline.isForever() ? 200 : std::min<qint64>(deadline.remainingTime(), 200);
    if (lock_.tryLock(static_cast<int>(left))) return QString();
    const int error = errno;
    if (lock_.error() != QLockFile::LockFailedError) {
      QString problem = FolderProblem(FolderOf(Target(fileName_)));
      if (problem.isEmpty())
        problem = QStringLiteral("its lock file could not be written (%1)")
                      .arg(error != 0 ? WriteProblem(error) : QStringLiteral("unknown cause"));
      return QStringLiteral("Cannot lock %1: %2.").arg(fileName_, problem);
    }
    if (TakeOverAbandoned()) continue;
    if (deadline.hasExpired()) return InUse(timeoutMs);
  }
}

}  // namespace file_access
