#include "tools/driver_details.h"

#include <QStringList>

#include "device_link/driver_diagnostics.h"

QString DriverDetails(const DriverDiagnostics* diagnostics) {
  if (!diagnostics) return {};
  QStringList details;
  if (!diagnostics->LastErrorText().empty()) {
    details << QString::fromStdString(diagnostics->LastErrorText());
  }
  if (diagnostics->PermissionRefused()) details << QString::fromStdString(PermissionHint());
  if (details.isEmpty()) return {};
  return QStringLiteral(" (%1)").arg(details.join(QLatin1String("; ")));
}
