#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

#include "veld32ctl.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("veld32ctl"));
  QTextStream out(stdout);
  QTextStream err(stderr);
  return RunVeld32Ctl(QCoreApplication::arguments().mid(1), out, err);
}
