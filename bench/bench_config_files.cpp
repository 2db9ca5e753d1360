// The configuration files' figures: the parse time of a normal all-programs file, and the time
// and memory to refuse a 10 MB file and an endless input.
// Usage: bench_config_files [parses of the normal file, default 10000]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "bench/process_usage.h"
#include "config_files/modINIReadWrite.h"
#include "config_files/program_files.h"
#include "programs/programs_model.h"

namespace {

void Refuse(const QString& file) {
  const long before = PeakRssKiB();
  QElapsedTimer timer;
  timer.start();
  const modINIReadWrite::IniLoad load = modINIReadWrite::LoadIniFile(file);
  std::printf("refusing %s: %.3f ms, peak memory +%ld KiB (%s)\n", qPrintable(file),
              timer.nsecsElapsed() / 1e6, PeakRssKiB() - before,
              load.document ? "not refused" : "refused");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int parses = argc > 1 ? std::atoi(argv[1]) : 10000;
  QTemporaryDir dir;
  TestProgramsModel model(QLocale::c());
  model.StartUp();
  const QByteArray normal = program_files::AllProgramsFileContent(model);

  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < parses; ++i) {
    TestProgramsModel loaded(QLocale::c());
    loaded.StartUp();
    program_files::LoadAllProgramsFromDocument(loaded, IniDocument::FromBytes(normal), "n.vap");
  }
  const double loadMs = timer.nsecsElapsed() / 1e6 / parses;
  timer.restart();
  for (int i = 0; i < parses; ++i) IniDocument::FromBytes(normal).Value("Program3", "Fail");
  std::printf("normal file (%lld bytes): parse %.4f ms, parse and load into the editor %.4f ms\n",
              static_cast<long long>(normal.size()), timer.nsecsElapsed() / 1e6 / parses, loadMs);

  QFile large(dir.filePath("large.vap"));
  if (!large.open(QIODevice::WriteOnly) || !large.write(QByteArray(10 * 1000 * 1000, 'x')))
    return 1;
  large.close();
  Refuse(large.fileName());
#ifndef _WIN32
  Refuse(QStringLiteral("/dev/zero"));  // an endless input
#endif
  return 0;
}
