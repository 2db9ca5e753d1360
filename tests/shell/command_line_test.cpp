#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "resources/version.h"
#include "shell/command_line.h"
#include "tests/support/qt_printers.h"

namespace {

using Action = CommandLine::Action;

TEST(CommandLine, EachArgumentIsTakenOrRefused) {
  const BackendKind byDefault = BackendOptions::DefaultBackendKind();
  // the arguments, what the utility does, with which backend, on which --device
  const std::tuple<QStringList, Action, BackendKind, QString> cases[] = {
      {{}, Action::Run, byDefault, {}},
      {{"--simulate"}, Action::Run, BackendKind::Simulated, {}},
      {{"--backend=d2xx:/opt/x.so", "/KOVDA"}, Action::Run, BackendKind::D2xxLibrary, {}},
      {{"x/kovdax", "-style=fusion", "--reverse"}, Action::Run, byDefault, {}},
      {{"--simulate", "--help"}, Action::Help, BackendKind::Simulated, {}},
      {{"-h"}, Action::Help, byDefault, {}},
      {{"--version"}, Action::Version, byDefault, {}},
      {{"--bogus"}, Action::UsageError, byDefault, {}},
      {{"stray"}, Action::UsageError, byDefault, {}},
      {{"-platform", "offscreen"}, Action::Run, byDefault, {}},
      {{"-platform"}, Action::UsageError, byDefault, {}},
      {{"-reverse", "-platform"}, Action::UsageError, byDefault, {}},
      {{"--backend=serial"}, Action::UsageError, byDefault, {}},
      {{"--backend"}, Action::UsageError, byDefault, {}},
      {{"--simulate=state.vap"}, Action::UsageError, byDefault, {}},
      {{"--simulate", "--simulate-fault=unplug@2"}, Action::Run, BackendKind::Simulated, {}},
      {{"--simulate", "--device=SIM0002"}, Action::Run, BackendKind::Simulated, "SIM0002"},
      {{"--device", "1", "--simulate"}, Action::Run, BackendKind::Simulated, "1"},
      {{"--device"}, Action::UsageError, byDefault, {}},
  };
  for (const auto& [arguments, action, backend, device] : cases) {
    const CommandLine line = ParseCommandLine(arguments);
    EXPECT_EQ(std::tuple(line.action, line.backend.kind, line.error.isEmpty(), line.device),
              std::tuple(action, backend, action != Action::UsageError, device))
        << arguments;
  }
}

// The real program, where no display can be opened: help and errors must not need one.
TEST(CommandLine, HelpVersionAndErrorsNeedNoDisplay) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove(QStringLiteral("DISPLAY"));
  environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  // the arguments, the exit status, texts on standard output, texts on standard error
  const std::tuple<QStringList, int, QStringList, QStringList> cases[] = {
      {{"--help"}, 0, {"--simulate", "--backend=d2xx", "/kovda", "--version"}, {}},
      {{"--version"}, 0, {"VELD32 Configurator " VELD32_VERSION_TEXT, "Qt 6", "libftdi1 "}, {}},
      {{"--simulate", "--frobnicate"}, 2, {}, {"Unknown option '--frobnicate'", "Usage: veld32"}},
  };
  for (const auto& [arguments, exitCode, stdoutHas, stderrHas] : cases) {
    QProcess veld32;
    veld32.setProcessEnvironment(environment);
    veld32.start(QStringLiteral(VELD32_PROGRAM), arguments);
    ASSERT_TRUE(veld32.waitForFinished(30000)) << arguments;
    EXPECT_EQ(std::pair(veld32.exitStatus(), veld32.exitCode()),
              std::pair(QProcess::NormalExit, exitCode))
        << arguments;
    const QString out = QString::fromUtf8(veld32.readAllStandardOutput());
    const QString err = QString::fromUtf8(veld32.readAllStandardError());
    for (const QString& text : stdoutHas) EXPECT_TRUE(out.contains(text)) << out;
    for (const QString& text : stderrHas) EXPECT_TRUE(err.contains(text)) << err;
    EXPECT_TRUE(!stderrHas.isEmpty() || err.isEmpty()) << err;
  }
}

// Every option's description, and every continuation of one, starts in one column, and no
// line is wider than a terminal's 80 columns.
TEST(CommandLine, HelpKeepsItsDescriptionsInOneColumn) {
  qsizetype column = 0;  // that of the first option's description
  for (const QString& line : QString::fromStdString(UsageText()).split(u'\n')) {
    EXPECT_LE(line.size(), 80) << line.toStdString();
    // An option and its description, or a continuation; an option too long for the column is
    // alone on its line.
    const QRegularExpressionMatch start = QRegularExpression("^  (\\S+ +| +)\\S").match(line);
    if (!start.hasMatch()) continue;
    if (column == 0) column = start.capturedEnd(1);
    EXPECT_EQ(start.capturedEnd(1), column) << line.toStdString();
  }
  EXPECT_GT(column, 2);
}

}  // namespace
