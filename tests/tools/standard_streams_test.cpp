// veld32ctl as a script meets it: standard output on a full disk or closed, standard input closed.
#include <unistd.h>

#include "tests/tools/ctl_runner.h"

namespace {

TEST(Veld32ctlExecutable, OutputOrInputThatFailsEndsWithStatusFiveAndTheSystemsReason) {
  const auto full = [](QProcess& p) { p.setStandardOutputFile(QStringLiteral("/dev/full")); };
  const auto closed = [](int fd) {
    return [fd](QProcess& p) { p.setChildProcessModifier([fd] { ::close(fd); }); };
  };
  const QString noSpace = "veld32ctl: write error: No space left on device\n";
  const std::tuple<QStringList, std::function<void(QProcess&)>, QString> cases[] = {
      {{"--json", "info"}, full, noSpace},
      {{"download", "-o", "-"}, full, noSpace},
      {{"info"}, closed(1), "veld32ctl: write error: Bad file descriptor\n"},
      {{"show", "-"}, closed(0), "veld32ctl: Standard input is closed.\n"},
  };
  for (const auto& [arguments, streams, error] : cases) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const CtlRun run = RunExe(QStringList{"--simulate"} + arguments, streams);
    EXPECT_EQ(run.status, 5) << run.err.toStdString();
    EXPECT_TRUE(run.err.endsWith(error)) << run.err.toStdString();
  }
}

}  // namespace
