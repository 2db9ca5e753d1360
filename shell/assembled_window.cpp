#include "shell/assembled_window.h"

#include <QMdiSubWindow>

#include "device_link/permission_advising_driver.h"
#include "editor/frmTestOptions.h"
#include "shell/BackgroundForm.h"
#include "shell/desktop_help.h"
#include "shell/desktop_look.h"
#include "ui_core/StatusWindowForm.h"
#include "ui_core/modMain.h"

std::unique_ptr<ParentMDIForm> AssembleMainWindow(const Backend& backend, OperatorPrompts& prompts,
                                                  const QString& backendDescription) {
  ApplyDesktopLook();
  auto driver = std::make_shared<PermissionAdvisingDriver>(
      backend.driver, backend.diagnostics,
      [](const std::string& advice) { modMain::AddStatusMessage(QString::fromStdString(advice)); });
  auto window = std::make_unique<ParentMDIForm>(driver, prompts);
  window->SetBackendDescription(backendDescription);
  // A new user sees an idle window: the log says what to do first.
  modMain::AddStatusMessage(StartHint(backend.simulator != nullptr));
  for (QWidget* child :
       {static_cast<QWidget*>(&window->Background()), static_cast<QWidget*>(&window->TestOptions()),
        static_cast<QWidget*>(&window->StatusWindow())}) {
    window->ChildWindow(*child)->show();
  }
  return window;
}
