#include <QProcess>

#include <gtest/gtest.h>

#include "qt_printers.h"

// The installed program, run as a user runs it.
namespace {

struct Finished {
  int status = -1;
  QByteArray out;
  QByteArray err;
};

Finished RunExecutable(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(VELD32CTL_PATH), arguments);
  EXPECT_TRUE(process.waitForFinished(10000));
  return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

TEST(Veld32ctlExecutable, AnswersFromTheSimulatedTesterWithStatusZero) {
  const Finished run = RunExecutable({"--simulate", "--interval=20", "--json", "info"});
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(
      run.out,
      "{\"firmware\": \"01.02\", \"serial\": \"00001\", \"calibration_date\": \"2024-01-15\"}\n");
}

TEST(Veld32ctlExecutable, ExitsWithTwoOnAnUnknownCommand) {
  const Finished run = RunExecutable({"flash"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.err.startsWith("veld32ctl: Unknown command 'flash'\n")) << run.err.toStdString();
}

}  // namespace
