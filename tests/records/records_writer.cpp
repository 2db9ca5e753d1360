// Writes runs to the records location in argv[1]: argv[2] of them, or until it is killed when 0,
// printing each id once it is stored. The records tests run it as a second bench on one file.
#include <QCoreApplication>

#include <cstdio>

#include "records/record_location.h"
#include "tests/records/sample_records.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) return 2;
  const ParsedLocation parsed = ParseRecordLocation(QString::fromLocal8Bit(argv[1]));
  OpenedStore opened = OpenRecordStore(parsed.location);
  if (!opened.store) {
    std::fprintf(stderr, "%s\n", qPrintable(opened.error));
    return 1;
  }
  const int count = std::atoi(argv[2]);
  for (int i = 0; count == 0 || i < count; ++i) {
    const RunRecord run =
        SampleRun(QStringLiteral("writer-%1").arg(QCoreApplication::applicationPid()), 1, 42.5,
                  RunOutcome::Pass, SampleTime(i));
    const StoreResult result = opened.store->AddRun(run);
    if (result.outcome != StoreOutcome::Stored) {
      std::fprintf(stderr, "%s\n", qPrintable(result.message));
      return 1;
    }
    std::printf("%s\n", qPrintable(run.id.toString(QUuid::WithoutBraces)));
    std::fflush(stdout);
  }
  return 0;
}
