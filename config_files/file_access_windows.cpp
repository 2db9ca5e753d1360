// The file access on Windows. A save writes a temporary file beside the target, flushes it to
// the disk and moves it over the target in one step that the system writes through; a new file
// takes the folder's access rights, as every file made there does. Windows keeps no FIFOs or
// sockets among files; a device name (NUL, CON, COM1 …) is told apart by its handle's type.
#include "file_access.h"
#include "file_access_internal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <io.h>
#include <windows.h>
#include <cerrno>
#include <cstring>
#include <memory>

// windows.h names the system's own ReplaceFileW so; this file defines file_access::ReplaceFile.
#undef ReplaceFile

namespace file_access {
namespace {

// A system error code in the system's own words.
QString SystemText(DWORD error) { return qt_error_string(static_cast<int>(error)); }

struct HandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

std::wstring NativePath(const QString& fileName) {
  return QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()).toStdWString();
}

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

QString ReplaceFile(const QString& fileName, const QByteArray& bytes) {
  if (QString problem = SaveTargetProblem(fileName); !problem.isEmpty()) return problem;
  const QString target = Target(fileName);
  const auto failed = [&fileName](const QString& cause) {
    return QStringLiteral("Cannot save %1: %2.").arg(fileName, cause);
  };
  // Removed when anything below fails.
  QTemporaryFile temporary(target + QStringLiteral(".XXXXXX"));
  if (!temporary.open()) return failed(temporary.errorString());
  if (temporary.write(bytes) != bytes.size() || !temporary.flush()) {
    const DWORD error = ::GetLastError();
    return failed(DiskFull(error) ? QStringLiteral("the disk is full (%1)").arg(SystemText(error))
                                  : temporary.errorString());
  }
  // QFile's flush empties only its own buffer; this one waits until the disk has the bytes.
  const auto native = reinterpret_cast<HANDLE>(::_get_osfhandle(temporary.handle()));
  if (!::FlushFileBuffers(native)) {
    const DWORD error = ::GetLastError();
    return failed(DiskFull(error) ? QStringLiteral("the disk is full (%1)").arg(SystemText(error))
                                  : SystemText(error));
  }
  const std::wstring from = NativePath(temporary.fileName());
  temporary.close();
  if (!::MoveFileExW(from.c_str(), NativePath(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return failed(SystemText(::GetLastError()));
  temporary.setAutoRemove(false);
  return QString();
}

}  // namespace file_access
