#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#include <csignal>

// While alive, every file this process writes is cut off after `bytes` bytes: the next write
// fails with EFBIG, as a full disk fails one with ENOSPC, whatever code does the writing.
class WriteLimit {
 public:
  explicit WriteLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~WriteLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  WriteLimit(const WriteLimit&) = delete;
  WriteLimit& operator=(const WriteLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previous_)(int) = SIG_DFL;
};

// A small tmpfs (of `size`, as mount takes it) mounted on `folder` and filled up to the last
// byte (root only; Mounted() tells).
class FullDisk {
 public:
  explicit FullDisk(const QString& folder, const char* size = "64k") : folder_(folder) {
    QDir().mkpath(folder);
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs",
                                           0, (QByteArray("size=") + size).constData()) == 0;
  }
  ~FullDisk() {
    if (mounted_) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

  bool Mounted() const { return mounted_; }
  // Takes every free byte that is left.
  void Fill() const {
    QFile filler(folder_ + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
    const QByteArray block(512, 'x');
    while (filler.write(block) == block.size()) {
    }
    for (int size = 256; size > 0; size /= 2) {
      while (filler.write(block.left(size)) == size) {
      }
    }
  }
  // The files in the folder besides the filler.
  QStringList Files() const {
    QStringList files = QDir(folder_).entryList(QDir::Files | QDir::Hidden);
    files.removeAll(QStringLiteral("filler"));
    return files;
  }

 private:
  QString folder_;
  bool mounted_ = false;
};
