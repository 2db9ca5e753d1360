#pragma once

#include <QByteArray>
#include <QFile>
#include <QLockFile>
#include <QString>
#include <QStringList>

#include <memory>

// The one way configuration files reach the disk and come back. A read takes the whole file in
// one bounded pass, so that a pipe, standard input or a FIFO is read exactly once and an
// endless input cannot grow memory. A save replaces a regular file only once the new content is
// complete and on the disk; anything else leaves the old file whole. Every failure comes back as
// a sentence for the operator that names the file and the cause.
namespace file_access {

// Far beyond any configuration file (a few hundred bytes); a larger input is refused unread.
inline constexpr qint64 kMaxFileBytes = 1024 * 1024;
// The file name that stands for standard input (reading) or standard output (writing).
inline const QString kStandardStream = QStringLiteral("-");

// How the operator sees a file name in messages.
QString DisplayName(const QString& fileName);

struct ReadResult {
  enum class Status { Read, Missing, Failed };
  Status status = Status::Read;
  QByteArray bytes;
  QString error;  // for Missing and Failed
};

// The whole content of `fileName` (kStandardStream for standard input). A FIFO without a writer
// reads as empty rather than waiting; a folder, an unreadable file or an input larger than
// kMaxFileBytes fails.
ReadResult ReadWholeFile(const QString& fileName);

// Replaces `fileName` (or the file a symbolic link there points to) by `bytes`: written to a
// temporary file beside it, flushed to the disk, given the old file's owner, group and mode where
// the process may set them (the group where it is a member of it), renamed into place, and the
// folder flushed. Refuses anything but a regular file and a file without any write permission,
// whoever runs the program. Empty on success, else the reason; on failure the old file is as it
// was and no temporary file stays. An owner, group or mode that could not be kept is a success,
// said in one line added to `notes` (when given).
QString ReplaceFile(const QString& fileName, const QByteArray& bytes, QStringList* notes = nullptr);

// Opens `fileName` for reading and writing, unbuffered, into `file`, creating it when missing.
// Empty on success, else the system's reason.
QString OpenForUpdate(QFile& file, const QString& fileName);

// Why ReplaceFile would refuse `fileName` before writing anything (not a regular file, no
// write permission, a folder that cannot take it), or empty when it would try.
QString SaveTargetProblem(const QString& fileName);

// An advisory lock beside a file ("NAME.lock", beside the target of a symbolic link), so that
// one read-modify-write at a time changes it. The lock file names its holder. One that names no
// live process is taken over: a dead holder's at once, one that names nobody (empty or garbled,
// as a kill while it was written leaves it) once it is kAbandonedLockAgeMs old. A live holder's
// lock never is, however long it holds it. The lock file goes with the lock.
class FileLock {
 public:
  explicit FileLock(const QString& fileName);
  // Waits up to `timeoutMs` for the lock; empty on success, else why it was not taken (for a
  // lock in use: the lock file and its holder, when it names one).
  QString Acquire(int timeoutMs);

 private:
  bool TakeOverAbandoned();
  QString InUse(int timeoutMs) const;

  QString fileName_;
  QString lockFileName_;          // as the operator reads it
  std::shared_ptr<void> folder_;  // keeps lockPath_ reachable
  QString lockPath_;              // as QLockFile reaches it
  QLockFile lock_;
};

// How old a lock file that names nobody must be before it is taken over: its writer has had
// time to finish it.
inline constexpr int kAbandonedLockAgeMs = 3000;

// How long a save waits for another program's save of the same file.
inline constexpr int kSaveLockWaitMs = 5000;

}  // namespace file_access
