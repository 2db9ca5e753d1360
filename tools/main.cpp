#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

#include "file_names.h"
#include "veld32ctl.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("veld32ctl"));
  QTextStream out(stdout);
  QTextStream err(stderr);
  return RunVeld32Ctl(file_names::CommandLineArguments(argc, argv), out, err);
}
