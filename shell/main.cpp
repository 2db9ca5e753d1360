#include <QApplication>
#include <QIcon>
#include <QMdiSubWindow>
#include <QMessageBox>

#include <cstdio>
#include <memory>

#include "BackgroundForm.h"
#include "ParentMDIForm.h"
#include "StatusWindowForm.h"
#include "backend_options.h"
#include "frmTestOptions.h"
#include "modMain.h"
#include "operator_prompts.h"
#include "permission_advising_driver.h"
#include "simulation_options.h"
#include "version.h"

namespace {

void PrintHelp() {
  std::printf(
      "Usage: veld32 [OPTION]...\n"
      "Configure the test programs of a VELD32 electrode tester over USB.\n\n"
      "%s%s"
      "  --help                  show this help and exit\n",
      BackendOptionsHelp().c_str(), SimulationOptionsHelp().c_str());
}

std::vector<std::string> Arguments(const QStringList& arguments) {
  std::vector<std::string> result;
  for (qsizetype i = 1; i < arguments.size(); ++i) result.push_back(arguments[i].toStdString());
  return result;
}

// Starts the utility: shared state, the main window with its three children, and the link
// over the chosen driver.
int Main(QApplication& app) {
  const std::vector<std::string> arguments = Arguments(app.arguments());
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      PrintHelp();
      return 0;
    }
  }
  const SimulationArguments simulation = ParseSimulationOptions(arguments);
  const BackendArguments parsed = ParseBackendOptions(simulation.remaining);
  for (const std::string& error : {simulation.error, parsed.error}) {
    if (error.empty()) continue;
    std::fprintf(stderr, "veld32: %s\n", error.c_str());
    return 2;
  }

  modMain::InitSharedFlags();
  const Backend backend = CreateBackend(parsed.options);
  if (!backend.driver) {
    QMessageBox::critical(nullptr, QStringLiteral("VELD32"), QString::fromStdString(backend.error));
    return 1;
  }
  if (backend.simulator) ApplySimulationOptions(simulation.options, *backend.simulator);
  auto driver = std::make_shared<PermissionAdvisingDriver>(
      backend.driver, backend.diagnostics,
      [](const std::string& advice) { modMain::AddStatusMessage(QString::fromStdString(advice)); });

  QtOperatorPrompts prompts;
  ParentMDIForm mainWindow(driver, prompts);
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
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral(VELD32_PRODUCT_NAME));
  QApplication::setApplicationVersion(QStringLiteral(VELD32_VERSION_TEXT));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/veld32/veld32-256.png")));
  return Main(app);
}
