#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

#include "config_files/file_names.h"
#include "tools/veld32ctl.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

namespace {

// A standard stream the caller closed gets a placeholder that refuses its direction, so that no
// file the tool opens later takes its number (and the output meant for the terminal), and a read
// of standard input or a write of standard output fails with EBADF, as closed streams do.
void HoldClosedStandardStreams() {
  const int placeholderMode[] = {O_WRONLY, O_RDONLY, O_RDONLY};
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1) ::open("/dev/null", placeholderMode[fd] | O_CLOEXEC);
  }
}

}  // namespace
#endif

constexpr int kStandardOutputDescriptor = 1;

int main(int argc, char** argv) {
#ifndef _WIN32
  HoldClosedStandardStreams();
#endif
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("veld32ctl"));
  // Unbuffered on the descriptor, so that a failed write is seen with its reason.
  QFile standardOutput;
  standardOutput.open(kStandardOutputDescriptor, QIODevice::WriteOnly | QIODevice::Unbuffered);
  QTextStream out(&standardOutput);
  QTextStream err(stderr);
  return RunVeld32Ctl(file_names::CommandLineArguments(argc, argv), out, err);
}
