// Writes runs to the records location in argv[1]: argv[2] of them, or until it is killed when 0,
// printing each id once it is stored. The records tests run it as a second bench on one file.
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

#include "records/record_location.h"
#include "tests/records/sample_records.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) return 2;
  OpenedStore opened = OpenRecordStore(ParseRecordLocation(app.arguments()[1]).location);
  QString error = opened.error;
  const int count = std::atoi(argv[2]);
  for (int i = 0; opened.store && error.isEmpty() && (count == 0 || i < count); ++i) {
    const RunRecord run = SampleRun(QStringLiteral("writer-%1").arg(app.applicationPid()), 1, 42.5,
                                    RunOutcome::Pass, SampleTime(i));
    error = opened.store->AddRun(run).message;
    if (error.isEmpty()) std::printf("%s\n", qPrintable(run.id.toString(QUuid::WithoutBraces)));
    std::fflush(stdout);
  }
  std::fprintf(stderr, "%s", qPrintable(error));
  return error.isEmpty() ? 0 : 1;
}
