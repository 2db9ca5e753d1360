// veld32ctl on a bench of simulated testers: the time `--all upload` takes for 1, 4 and 8
// testers polled every 20 ms, each run on a fresh bench. The testers work side by side, so
// eight should take well under one and a half times as long as one.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

#include "tools/veld32ctl.h"

namespace {

int Run(const QStringList& arguments, QString& out, QString& err) {
  QTextStream outStream(&out);
  QTextStream errStream(&err);
  return RunVeld32Ctl(arguments, outStream, errStream);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  const QString programs = dir.filePath(QStringLiteral("programs.vap"));
  QString out;
  QString err;
  if (Run({QStringLiteral("--simulate"), QStringLiteral("download"), QStringLiteral("-o"),
           programs},
          out, err) != 0) {
    std::fprintf(stderr, "cannot make the programs file: %s\n", qPrintable(err));
    return 1;
  }
  double one = 0;
  for (const int testers : {1, 4, 8}) {
    QStringList arguments;
    for (int i = 0; i < testers; ++i) arguments << QStringLiteral("--simulate");
    arguments << QStringLiteral("--interval=20") << QStringLiteral("--all")
              << QStringLiteral("upload") << programs;
    out.clear();
    err.clear();
    QElapsedTimer timer;
    timer.start();
    const int status = Run(arguments, out, err);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (status != 0) {
      std::fprintf(stderr, "%d testers: exit status %d\n%s", testers, status, qPrintable(err));
      return 1;
    }
    if (testers == 1) one = ms;
    std::printf("--all upload, %d tester(s): %.0f ms (%.2f times one)\n", testers, ms, ms / one);
  }
  return 0;
}
