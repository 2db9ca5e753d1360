#include "shell/assembled_window.h"

#include <QMdiSubWindow>

#include "device_link/permission_advising_driver.h"
#include "editor/frmTestOptions.h"
#include "records/record_location.h"
#include "shell/BackgroundForm.h"
#include "shell/desktop_help.h"
#include "shell/desktop_look.h"
#include "shell/tester_picker.h"
#include "ui_core/StatusWindowForm.h"
#include "ui_core/modMain.h"
#include "ui_core/operator_prompts.h"
#include "ui_core/window_settings.h"

namespace {
const QString kWhoOperates = QStringLiteral("Operator of this bench for this session:");
const QString kDeviceNotChosen = QStringLiteral("Tester '%1' not chosen: %2.");
}  // namespace

std::unique_ptr<ParentMDIForm> AssembleMainWindow(const Backend& backend, OperatorPrompts& prompts,
                                                  const QString& backendDescription,
                                                  const QString& device) {
  ApplyDesktopLook();
  auto driver = std::make_shared<PermissionAdvisingDriver>(
      backend.driver, backend.diagnostics,
      [](const std::string& advice) { modMain::AddStatusMessage(QString::fromStdString(advice)); });
  auto window = std::make_unique<ParentMDIForm>(driver, prompts);
  window->SetBackendDescription(backendDescription);
  auto picker =
      std::make_shared<TesterPicker>(driver, window->TestOptions().ctlVELD32UsbComm1(), prompts);
  window->TestOptions().SetConnectCheck([picker] { return picker->BeforeConnect(); });
  // A new user sees an idle window: the log says what to do first.
  modMain::AddStatusMessage(StartHint(backend.simulator != nullptr));
  if (!device.isEmpty()) {
    if (const QString problem = picker->Fix(device); !problem.isEmpty())
      modMain::AddStatusMessage(kDeviceNotChosen.arg(device, problem));
  }
  window->SetOperator(prompts.AskText(kWhoOperates, {}));
  const ParsedLocation location = ParseRecordLocation(window_settings::RecordsLocation());
  if (!location.error.isEmpty()) {
    window->SetRecordStore(nullptr, location.error, std::nullopt);
  } else {
    OpenedStore opened = OpenRecordStore(location.location);
    window->SetRecordStore(std::move(opened.store), opened.error, location.location);
  }
  for (QWidget* child :
       {static_cast<QWidget*>(&window->Background()), static_cast<QWidget*>(&window->TestOptions()),
        static_cast<QWidget*>(&window->StatusWindow())}) {
    window->ChildWindow(*child)->show();
  }
  return window;
}
