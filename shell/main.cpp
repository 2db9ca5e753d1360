#include <QApplication>
#include <QIcon>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QScreen>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BackgroundForm.h"
#include "ParentMDIForm.h"
#include "StatusWindowForm.h"
#include "backend_options.h"
#include "command_line.h"
#include "desktop_help.h"
#include "desktop_look.h"
#include "frmTestOptions.h"
#include "modMain.h"
#include "operator_prompts.h"
#include "permission_advising_driver.h"
#include "simulation_options.h"
#include "version.h"

namespace {

// Starts the utility: shared state, the main window with its three children, and the link
// over the chosen driver.
int Main(QApplication& app, const CommandLine& commandLine) {
  ApplyDesktopLook();
  modMain::InitSharedFlags();
  Backend backend = CreateBackend(commandLine.backend);
  if (!backend.driver) {
    QMessageBox::critical(nullptr, QStringLiteral("VELD32"), QString::fromStdString(backend.error));
    return 1;
  }
  ApplySimulationOptions(commandLine.simulation, backend);
  auto driver = std::make_shared<PermissionAdvisingDriver>(
      backend.driver, backend.diagnostics,
      [](const std::string& advice) { modMain::AddStatusMessage(QString::fromStdString(advice)); });

  QtOperatorPrompts prompts;
  ParentMDIForm mainWindow(driver, prompts);
  mainWindow.SetBackendDescription(BackendDescription(commandLine.backend));
  if (const QScreen* screen = mainWindow.screen()) mainWindow.FitInto(screen->availableGeometry());
  mainWindow.show();
  for (QWidget* child : {static_cast<QWidget*>(&mainWindow.Background()),
                         static_cast<QWidget*>(&mainWindow.TestOptions()),
                         static_cast<QWidget*>(&mainWindow.StatusWindow())}) {
    mainWindow.ChildWindow(*child)->show();
  }
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  // Read before the application starts, so that help, version and usage errors need no display.
  const CommandLine commandLine = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (commandLine.action) {
    case CommandLine::Action::Help:
      std::fputs(UsageText().c_str(), stdout);
      return 0;
    case CommandLine::Action::Version:
      std::fputs(VersionText().c_str(), stdout);
      return 0;
    case CommandLine::Action::UsageError:
      std::fprintf(stderr, "veld32: %s\n\n%s", commandLine.error.c_str(), UsageText().c_str());
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
