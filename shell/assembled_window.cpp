#include "assembled_window.h"

#include <QMdiSubWindow>

#include "BackgroundForm.h"
#include "StatusWindowForm.h"
#include "desktop_help.h"
#include "desktop_look.h"
#include "frmTestOptions.h"
#include "modMain.h"
#include "permission_advising_driver.h"

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
