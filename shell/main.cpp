#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>

#include <QStringList>
#include <cstdio>
#include <memory>

#include "backends/backend_options.h"
#include "backends/simulation_options.h"
#include "resources/version.h"
#include "shell/ParentMDIForm.h"
#include "shell/assembled_window.h"
#include "shell/command_line.h"
#include "shell/desktop_help.h"
#include "ui_core/modMain.h"
#include "ui_core/operator_prompts.h"

namespace {

// Starts the utility: shared state, the main window with its three children, and the link
// over the chosen driver.
int Main(QApplication& app, const CommandLine& commandLine) {
  modMain::InitSharedFlags();
  Backend backend = CreateBackend(commandLine.backend);
  if (!backend.driver) {
    QMessageBox::critical(nullptr, QStringLiteral("VELD32"), QString::fromStdString(backend.error));
    return 1;
  }
  ApplySimulationOptions(commandLine.simulation, backend);
  QtOperatorPrompts prompts;
  const std::unique_ptr<ParentMDIForm> mainWindow = AssembleMainWindow(
      backend, prompts, BackendDescription(commandLine.backend), commandLine.device);
  if (const QScreen* screen = mainWindow->screen())
    mainWindow->FitInto(screen->availableGeometry());
  mainWindow->show();
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  // Read before the application starts, so that help, version and usage errors need no display.
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const CommandLine commandLine = ParseCommandLine(arguments);
  switch (commandLine.action) {
    case CommandLine::Action::Help:
      std::fputs(UsageText().c_str(), stdout);
      return 0;
    case CommandLine::Action::Version:
      std::fputs(VersionText().c_str(), stdout);
      return 0;
    case CommandLine::Action::UsageError:
      std::fprintf(stderr, "veld32: %s\n\n%s", commandLine.error.toLocal8Bit().constData(),
                   UsageText().c_str());
      return 2;
    case CommandLine::Action::Run:
      break;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral(VELD32_PRODUCT_NAME));
  QApplication::setApplicationVersion(QStringLiteral(VELD32_VERSION_TEXT));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/veld32/veld32-256.png")));
  return Main(app, commandLine);
}
