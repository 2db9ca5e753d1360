// The file access on POSIX systems: descriptors, so that a FIFO, a socket or a device is told
// apart from a regular file before anything is read or replaced.
#include "config_files/file_access.h"
#include "config_files/file_access_internal.h"
#include "config_files/file_names.h"

#include <QDir>
#include <QRandomGenerator>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace file_access {
namespace {

QString SystemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// A file descriptor closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

QString KindOfSpecialFile(mode_t mode) {
  if (S_ISDIR(mode)) return QStringLiteral("a folder");
  if (S_ISFIFO(mode)) return QStringLiteral("a FIFO");
  if (S_ISSOCK(mode)) return QStringLiteral("a socket");
  if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
  return QStringLiteral("not a regular file");
}

bool SyncFolder(const QString& folder) {
  const Descriptor fd(
      ::open(file_names::ToBytes(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // Some file systems cannot flush a folder; the rename is then as durable as they make it.
  return fd.get() >= 0 && (::fsync(fd.get()) == 0 || errno == EINVAL);
}

// A new file beside a target, for this process alone until Commit renames it into the target's
// place; removed unless committed.
class TemporaryFile {
 public:
  explicit TemporaryFile(const QByteArray& target) {
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
      name_ =
          target + '.' +
          QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0') +
          ".tmp";
      // As any new file: readable and writable as the umask lets it.
      fd_ = ::open(name_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ < 0 && errno != EEXIST) break;
    }
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(name_.constData());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int handle() const { return fd_; }
  // Closes the file and renames it to `target`; errno says why when it could not.
  bool Commit(const QByteArray& target) {
    const int fd = std::exchange(fd_, -1);
    committed_ = ::close(fd) == 0 && ::rename(name_.constData(), target.constData()) == 0;
    return committed_;
  }

 private:
  QByteArray name_;
  int fd_ = -1;
  bool committed_ = false;
};

QString UserName(uid_t uid) {
  const passwd* user = ::getpwuid(uid);
  return user != nullptr ? QString::fromLocal8Bit(user->pw_name) : QString::number(uid);
}

QString GroupName(gid_t gid) {
  const group* found = ::getgrgid(gid);
  return found != nullptr ? QString::fromLocal8Bit(found->gr_name) : QString::number(gid);
}

// What of the old file's owner, group and mode the new one lacks ("owner alice (now bob)"),
// or empty.
QString LostRights(const struct stat& old, const struct stat& now) {
  QStringList lost;
  if (now.st_uid != old.st_uid)
    lost << QStringLiteral("owner %1 (now %2)").arg(UserName(old.st_uid), UserName(now.st_uid));
  if (now.st_gid != old.st_gid)
    lost << QStringLiteral("group %1 (now %2)").arg(GroupName(old.st_gid), GroupName(now.st_gid));
  if ((now.st_mode & 07777) != (old.st_mode & 07777))
    lost << QStringLiteral("mode %1 (now %2)")
                .arg(old.st_mode & 07777, 4, 8, QLatin1Char('0'))
                .arg(now.st_mode & 07777, 4, 8, QLatin1Char('0'));
  return lost.join(QStringLiteral(", "));
}

}  // namespace

QString Target(const QString& fileName) {
  const QByteArray path = file_names::ToBytes(fileName);
  struct stat st {};
  if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return fileName;
  if (char* resolved = ::realpath(path.constData(), nullptr); resolved != nullptr) {
    const QString target = file_names::FromBytes(QByteArray(resolved));
    std::free(resolved);
    return target;
  }
  // A link to nothing yet: where it points, from the link's folder.
  QByteArray link(PATH_MAX, '\0');
  const ssize_t length = ::readlink(path.constData(), link.data(), link.size());
  if (length <= 0) return fileName;
  link.truncate(length);
  const QString pointed = file_names::FromBytes(link);
  return QDir::isAbsolutePath(pointed) ? pointed
                                       : QDir::cleanPath(FolderOf(fileName) + u'/' + pointed);
}

QString FolderOf(const QString& fileName) {
  QString absolute = fileName;
  if (!fileName.startsWith(u'/')) {
    char* current = ::getcwd(nullptr, 0);
    absolute = (current != nullptr ? file_names::FromBytes(QByteArray(current)) : QString()) +
               u'/' + fileName;
    std::free(current);
  }
  const qsizetype slash = absolute.lastIndexOf(u'/');
  return slash == 0 ? QStringLiteral("/") : absolute.left(slash);
}

QString QtReachable(const QString& fileName, std::shared_ptr<void>& folder) {
  const QString folderName = FolderOf(fileName);
  const QByteArray bytes = file_names::ToBytes(folderName);
  if (bytes == QFile::encodeName(folderName)) return fileName;
  const int fd = ::open(bytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that cannot be opened is named when the lock cannot be taken.
  if (fd < 0) return fileName;
  folder = std::shared_ptr<void>(nullptr, [fd](void*) { ::close(fd); });
  return QStringLiteral("/proc/self/fd/%1/%2")
      .arg(fd)
      .arg(fileName.mid(fileName.lastIndexOf(u'/') + 1));
}

QString FolderProblem(const QString& folder) {
  const QByteArray path = file_names::ToBytes(folder);
  struct stat st {};
  if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
    return QStringLiteral("the folder %1 does not exist").arg(folder);
  if (::faccessat(AT_FDCWD, path.constData(), W_OK | X_OK, AT_EACCESS) != 0) {
    return errno == EROFS ? QStringLiteral("the folder %1 is on a read-only disk").arg(folder)
                          : QStringLiteral("the folder %1 is read-only").arg(folder);
  }
  return QString();
}

QString WriteProblem(int error) {
  switch (error) {
    case ENOSPC:
      return QStringLiteral("the disk is full (%1)").arg(SystemText(error));
    case EDQUOT:
      return QStringLiteral("the disk quota is used up (%1)").arg(SystemText(error));
    case EFBIG:
      return QStringLiteral("the file may not grow that large (%1)").arg(SystemText(error));
    case EROFS:
      return QStringLiteral("the disk is read-only");
    default:
      return SystemText(error);
  }
}

ReadResult ReadWholeFile(const QString& fileName) {
  const QString name = DisplayName(fileName);
  const bool standardInput = fileName == kStandardStream;
  // Opened without waiting, so that a FIFO without a writer cannot hold the program.
  const int opened = standardInput ? ::dup(STDIN_FILENO)
                                   : ::open(file_names::ToBytes(fileName).constData(),
                                            O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const Descriptor fd(opened);
  if (fd.get() < 0) {
    const int error = errno;
    if (standardInput && error == EBADF)
      return {ReadResult::Status::Failed, {}, QStringLiteral("Standard input is closed.")};
    if (error == ENOENT)
      return {
          ReadResult::Status::Missing, {}, QStringLiteral("The file %1 does not exist.").arg(name)};
    if (error == EACCES)
      return {ReadResult::Status::Failed,
              {},
              QStringLiteral("The file %1 cannot be read: permission denied.").arg(name)};
    return {ReadResult::Status::Failed,
            {},
            QStringLiteral("The file %1 cannot be read: %2.").arg(name, SystemText(error))};
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
    return {ReadResult::Status::Failed,
            {},
            QStringLiteral("%1 is a folder, not a configuration file.").arg(name)};
  if (S_ISREG(st.st_mode) && st.st_size > kMaxFileBytes)
    return {ReadResult::Status::Failed, {}, TooLarge(name, st.st_size)};
  if (!standardInput) ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);

  // Read in pieces up to one piece past the bound, so that a small file takes little memory and
  // an endless input no more than the bound.
  QByteArray bytes;
  char piece[64 * 1024];
  while (bytes.size() <= kMaxFileBytes) {
    const ssize_t got = ::read(fd.get(), piece, sizeof piece);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      if (standardInput && errno == EBADF)
        return {ReadResult::Status::Failed, {}, QStringLiteral("Standard input is closed.")};
      return {ReadResult::Status::Failed,
              {},
              QStringLiteral("The file %1 cannot be read: %2.").arg(name, SystemText(errno))};
    }
    bytes.append(piece, got);
  }
  if (bytes.size() > kMaxFileBytes) return {ReadResult::Status::Failed, {}, TooLarge(name, 0)};
  return {ReadResult::Status::Read, std::move(bytes), {}};
}

QString OpenForUpdate(QFile& file, const QString& fileName) {
  const int fd =
      ::open(file_names::ToBytes(fileName).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return SystemText(errno);
  if (file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
    return QString();
  ::close(fd);
  return file.errorString();
}

QString SaveTargetProblem(const QString& fileName) {
  const QString target = Target(fileName);
  const auto failed = [&fileName](const QString& cause) {
    return QStringLiteral("Cannot save %1: %2.").arg(fileName, cause);
  };
  const QByteArray path = file_names::ToBytes(target);
  struct stat old {};
  if (::stat(path.constData(), &old) == 0) {
    if (!S_ISREG(old.st_mode))
      return failed(QStringLiteral("it is %1, which a save never replaces")
                        .arg(KindOfSpecialFile(old.st_mode)));
    // Root could replace it all the same; nobody is meant to.
    if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
        ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
      return failed(errno == EROFS ? QStringLiteral("the disk is read-only")
                                   : QStringLiteral("the file is read-only"));
  } else if (errno != ENOENT) {
    return failed(SystemText(errno));
  }
  if (const QString problem = FolderProblem(FolderOf(target)); !problem.isEmpty())
    return failed(problem);
  return QString();
}

QString ReplaceFile(const QString& fileName, const QByteArray& bytes, QStringList* notes) {
  if (QString problem = SaveTargetProblem(fileName); !problem.isEmpty()) return problem;
  const QString target = Target(fileName);
  const QString folder = FolderOf(target);
  const auto failed = [&fileName](const QString& cause) {
    return QStringLiteral("Cannot save %1: %2.").arg(fileName, cause);
  };
  const QByteArray path = file_names::ToBytes(target);
  struct stat old {};
  const bool exists = ::stat(path.constData(), &old) == 0;

  TemporaryFile file(path);
  if (file.handle() < 0) return failed(SystemText(errno));
  if (exists) {
    // Only root may give a file away; a member of a group may give it that group. The mode
    // comes after, as a change of owner clears the set-id bits.
    if (::fchown(file.handle(), old.st_uid, old.st_gid) != 0) {
      if (errno != EPERM) return failed(SystemText(errno));
      if (::fchown(file.handle(), static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM)
        return failed(SystemText(errno));
    }
    if (::fchmod(file.handle(), old.st_mode & 07777) != 0) return failed(SystemText(errno));
    struct stat now {};
    if (::fstat(file.handle(), &now) != 0) return failed(SystemText(errno));
    if (const QString lost = LostRights(old, now); !lost.isEmpty() && notes != nullptr)
      notes->append(QStringLiteral("%1 was saved, but could not keep its %2.").arg(fileName, lost));
  }
  for (qsizetype written = 0; written < bytes.size();) {
    const ssize_t now = ::write(file.handle(), bytes.constData() + written,
                                static_cast<size_t>(bytes.size() - written));
    if (now < 0 && errno == EINTR) continue;
    if (now <= 0) return failed(WriteProblem(now < 0 ? errno : ENOSPC));
    written += now;
  }
  if (::fsync(file.handle()) != 0) return failed(WriteProblem(errno));
  if (!file.Commit(path)) return failed(WriteProblem(errno));
  if (!SyncFolder(folder))
    return failed(QStringLiteral("the folder %1 could not be flushed to the disk (%2)")
                      .arg(folder, SystemText(errno)));
  return QString();
}

}  // namespace file_access
