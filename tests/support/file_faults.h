#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>

#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#include <csignal>

// While alive, every file this process writes is cut off after `bytes` bytes: the next write
// fails with EFBIG, as a full disk fails one with ENOSPC, whatever code does the writing.
class WriteLimit {
 public:
  explicit WriteLimit(rlim_t bytes) : previous_(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    const rlimit limited{bytes, saved_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~WriteLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_), std::signal(SIGXFSZ, previous_); }
  Q_DISABLE_COPY_MOVE(WriteLimit)

 private:
  void (*previous_)(int);
  rlimit saved_{};
};

// A small tmpfs (of `size`, as mount takes it) mounted on `folder` and filled up to the last
// byte (root only; Mounted() tells).
class FullDisk {
 public:
  explicit FullDisk(const QString& folder, const char* size = "64k") : folder_(folder) {
    mounted_ = QDir().mkpath(folder) && ::geteuid() == 0 &&
               ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0,
                       (QByteArray("size=") + size).constData()) == 0;
  }
  ~FullDisk() {
    if (mounted_) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
  }
  Q_DISABLE_COPY_MOVE(FullDisk)

  bool Mounted() const { return mounted_; }
  // Takes every free byte that is left, in ever smaller blocks.
  void Fill() const {
    QFile filler(folder_ + "/filler");
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
    for (int size = 512; size > 0; size /= 2)
      while (filler.write(QByteArray(size, 'x')) == size) continue;
  }
  // The files in the folder besides the filler.
  QStringList Files() const {
    QStringList files = QDir(folder_).entryList(QDir::Files | QDir::Hidden);
    return files.removeAll("filler"), files;
  }

 private:
  QString folder_;
  bool mounted_ = false;
};
