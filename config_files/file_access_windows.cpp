// The file access on Windows. A save writes a temporary file beside the target, flushes it to
// the disk, and moves it over the target in one step that the system writes through; a new file
// takes the folder's access rights, as every file made there does. Windows keeps no FIFOs or
// sockets among files; a device name (NUL, CON, COM1 …) is told apart by its handle's type.
#include "config_files/file_access.h"
#include "config_files/file_access_internal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <windows.h>
#include <cerrno>
#include <cstring>
#include <memory>

// windows.h names the system's own ReplaceFileW so; this file defines file_access::ReplaceFile.
#undef ReplaceFile

namespace file_access {
namespace {

// A system error code in the system's own words, without its closing full stop.
QString SystemText(DWORD error) {
  QString text = qt_error_string(static_cast<int>(error)).trimmed();
  while (text.endsWith(QLatin1Char('.'))) text.chop(1);
  return text;
}

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct TemporaryRemover {
  void operator()(const std::wstring* path) const { ::DeleteFileW(path->c_str()); }
};

std::wstring NativePath(const QString& fileName) {
  return QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()).toStdWString();
}

// How long a save keeps trying to replace a file that something holds open, and how often.
constexpr int kReplaceWaitMs = 2000;
constexpr int kReplaceRetryMs = 10;

bool DiskFull(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

}  // namespace

QString FolderProblem(const QString& folder) {
  // Windows ignores a folder's read-only mark; a folder the operator may not write into says so
  // when the temporary file is made.
  if (!QFileInfo(folder).isDir()) return QStringLiteral("the folder %1 does not exist").arg(folder);
  return QString();
}

QString WriteProblem(int error) {
  const QString text = QString::fromLocal8Bit(std::strerror(error));
  switch (error) {
    case ENOSPC:
      return QStringLiteral("the disk is full (%1)").arg(text);
    case EFBIG:
      return QStringLiteral("the file may not grow that large (%1)").arg(text);
    case EROFS:
      return QStringLiteral("the disk is read-only");
    default:
      return text;
  }
}

ReadResult ReadWholeFile(const QString& fileName) {
  const QString name = DisplayName(fileName);
  QFile file;
  bool opened = false;
  if (fileName == kStandardStream) {
    opened = file.open(0, QIODevice::ReadOnly);
  } else {
    const QFileInfo info(fileName);
    if (!info.exists())
      return {
          ReadResult::Status::Missing, {}, QStringLiteral("The file %1 does not exist.").arg(name)};
    if (info.isDir())
      return {ReadResult::Status::Failed,
              {},
              QStringLiteral("%1 is a folder, not a configuration file.").arg(name)};
    if (info.isFile() && info.size() > kMaxFileBytes)
      return {ReadResult::Status::Failed, {}, TooLarge(name, info.size())};
    file.setFileName(fileName);
    opened = file.open(QIODevice::ReadOnly);
  }
  if (!opened) {
    if (file.error() == QFileDevice::PermissionsError)
      return {ReadResult::Status::Failed,
              {},
              QStringLiteral("The file %1 cannot be read: permission denied.").arg(name)};
    return {ReadResult::Status::Failed,
            {},
            QStringLiteral("The file %1 cannot be read: %2.").arg(name, file.errorString())};
  }
  // Read in pieces up to one piece past the bound, so that an endless input (a device, a pipe
  // that never ends) takes no more memory than the bound.
  QByteArray bytes;
  char piece[64 * 1024];
  while (bytes.size() <= kMaxFileBytes) {
    const qint64 got = file.read(piece, sizeof piece);
    if (got == 0) break;
    if (got < 0)
      return {ReadResult::Status::Failed,
              {},
              QStringLiteral("The file %1 cannot be read: %2.").arg(name, file.errorString())};
    bytes.append(piece, got);
  }
  if (bytes.size() > kMaxFileBytes) return {ReadResult::Status::Failed, {}, TooLarge(name, 0)};
  return {ReadResult::Status::Read, std::move(bytes), {}};
}

QString OpenForUpdate(QFile& file, const QString& fileName) {
  file.setFileName(fileName);
  return file.open(QIODevice::ReadWrite | QIODevice::Unbuffered) ? QString() : file.errorString();
}

QString SaveTargetProblem(const QString& fileName) {
  const QString target = Target(fileName);
  const auto failed = [&fileName](const QString& cause) {
    return QStringLiteral("Cannot save %1: %2.").arg(fileName, cause);
  };
  const auto refused = [&failed](const char* kind) {
    return failed(QStringLiteral("it is %1, which a save never replaces").arg(kind));
  };
  // Asks for no access, so that a file in use elsewhere still answers what it is.
  const Handle handle(::CreateFileW(NativePath(target).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (handle.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
      return failed(SystemText(error));
  } else {
    if (::GetFileType(handle.get()) != FILE_TYPE_DISK) return refused("a device");
    BY_HANDLE_FILE_INFORMATION about{};
    if (!::GetFileInformationByHandle(handle.get(), &about))
      return failed(SystemText(::GetLastError()));
    if (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return refused("a folder");
    if (about.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
      return failed(QStringLiteral("the file is read-only"));
  }
  if (const QString problem = FolderProblem(QFileInfo(target).absolutePath()); !problem.isEmpty())
    return failed(problem);
  return QString();
}

QString FolderOf(const QString& fileName) { return QFileInfo(fileName).absolutePath(); }

// Qt encodes every Windows name.
QString QtReachable(const QString& fileName, std::shared_ptr<void>&) { return fileName; }

QString Target(const QString& fileName) {
  const QFileInfo info(fileName);
  if (!info.isSymLink()) return fileName;
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

// The new file takes the rights of the folder; Windows has no owner, group or mode to keep.
QString ReplaceFile(const QString& fileName, const QByteArray& bytes, QStringList*) {
  if (QString problem = SaveTargetProblem(fileName); !problem.isEmpty()) return problem;
  const QString target = Target(fileName);
  const auto failed = [&fileName](const QString& cause) {
    return QStringLiteral("Cannot save %1: %2.").arg(fileName, cause);
  };
  const auto writeProblem = [](DWORD error) {
    return DiskFull(error) ? QStringLiteral("the disk is full (%1)").arg(SystemText(error))
                           : SystemText(error);
  };
  // A new name beside the target, opened by nobody else until it replaces the target.
  std::wstring temporary;
  Handle handle;
  for (int attempt = 0; attempt < 16 && !handle; ++attempt) {
    temporary =
        NativePath(QStringLiteral("%1.%2.tmp")
                       .arg(target)
                       .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    HANDLE made = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (made != INVALID_HANDLE_VALUE)
      handle.reset(made);
    else if (::GetLastError() != ERROR_FILE_EXISTS)
      return failed(SystemText(::GetLastError()));
  }
  if (!handle) return failed(SystemText(ERROR_FILE_EXISTS));
  // Removed unless it has become the target.
  std::unique_ptr<const std::wstring, TemporaryRemover> remove(&temporary);
  DWORD written = 0;
  if (!::WriteFile(handle.get(), bytes.constData(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr) ||
      written != static_cast<DWORD>(bytes.size()))
    return failed(writeProblem(::GetLastError()));
  if (!::FlushFileBuffers(handle.get())) return failed(writeProblem(::GetLastError()));
  handle.reset();
  // Windows cannot replace a file that is open anywhere, and a reader, a search indexer or a
  // virus scanner may hold the old one for a moment: such a refusal is tried again for a while.
  const std::wstring destination = NativePath(target);
  for (int waitedMs = 0;; waitedMs += kReplaceRetryMs) {
    if (::MoveFileExW(temporary.c_str(), destination.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      break;
    const DWORD error = ::GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) ||
        waitedMs >= kReplaceWaitMs)
      return failed(SystemText(error));
    ::Sleep(kReplaceRetryMs);
  }
  remove.release();
  return QString();
}

}  // namespace file_access
