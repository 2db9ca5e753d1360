#include "ui_core/modMain.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QStringList>
#include <QWidget>
#include <optional>

#include "ui_core/close_guard.h"
#include "ui_core/diagnostic_switch.h"
#include "ui_core/status_log_text.h"

namespace modMain {

namespace {
// The command line replaced for tests; the process's own when unset.
std::optional<QString> commandLineOverride;
// The loaded log window, registered by itself.
StatusLogView* statusLogView = nullptr;

// The arguments after the program's own path: a folder of the installation or of the user may
// itself be named like the switch.
QStringList Arguments() {
  if (commandLineOverride) return commandLineOverride->split(u' ').mid(1);
  return QCoreApplication::arguments().mid(1);
}
}  // namespace

void InitSharedFlags() {
  StatusWindowLoaded = false;
  const bool diagnostic = IsDiagnosticMode();
  ShowVerbose = diagnostic;
  ShowRXBuffer = diagnostic;
}

bool IsDiagnosticMode() { return HoldsDiagnosticSwitch(Arguments()); }

void SetCommandLine(const QString& commandLine) {
  if (commandLine.isNull())
    commandLineOverride.reset();
  else
    commandLineOverride = commandLine;
}

bool DisableCloseButton(QWidget* form) {
  if (form == nullptr) return false;
  if (form->findChild<CloseGuard*>(QString(), Qt::FindDirectChildrenOnly) == nullptr)
    new CloseGuard(form);  // owned by the form
  return true;
}

void AddStatusMessage(const QString& line) {
  try {
    status_log::AppendLine(StatusLogText, line);
    if (StatusWindowLoaded && !StatusPaused && statusLogView != nullptr)
      statusLogView->ShowStatusLine(line);
  } catch (...) {
    // A failing log must never take its caller down; the line is kept as far as it got.
  }
}

void SetStatusLogView(StatusLogView* view) { statusLogView = view; }

QString GetDesktopFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

}  // namespace modMain
