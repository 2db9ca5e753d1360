// veld32ctl as a script meets it: standard output on a full disk or closed, standard input closed.
#include <QProcess>

#include <unistd.h>
#include <functional>

#include "tests/tools/ctl_runner.h"

namespace {

struct StreamCase {
  QStringList arguments;
  std::function<void(QProcess&)> streams;
  QString error;
};

TEST(Veld32ctlExecutable, OutputOrInputThatFailsEndsWithStatusFiveAndTheSystemsReason) {
  const auto full = [](QProcess& p) { p.setStandardOutputFile(QStringLiteral("/dev/full")); };
  const auto closeDescriptor = [](int fd) {
    return [fd](QProcess& p) { p.setChildProcessModifier([fd] { ::close(fd); }); };
  };
  const QString noSpace = QStringLiteral("veld32ctl: write error: No space left on device\n");
  const StreamCase cases[] = {
      {{"--json", "info"}, full, noSpace},
      {{"download", "-o", "-"}, full, noSpace},
      {{"info"}, closeDescriptor(1), "veld32ctl: write error: Bad file descriptor\n"},
      {{"show", "-"}, closeDescriptor(0), "veld32ctl: Standard input is closed.\n"},
  };
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    QProcess process;
    c.streams(process);
    process.start(QStringLiteral(VELD32CTL_PATH),
                  QStringList{"--simulate", "--interval=20"} + c.arguments);
    ASSERT_TRUE(process.waitForFinished(20000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 5) << err.toStdString();
    EXPECT_TRUE(err.endsWith(c.error)) << err.toStdString();
  }
}

}  // namespace
