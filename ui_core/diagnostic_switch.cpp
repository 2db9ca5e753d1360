#include "ui_core/diagnostic_switch.h"

#include <algorithm>

bool HoldsDiagnosticSwitch(const QString& argument) {
  return argument.contains(QLatin1String("/kovda"), Qt::CaseInsensitive);
}

bool HoldsDiagnosticSwitch(const QStringList& arguments) {
  return std::any_of(arguments.begin(), arguments.end(),
                     [](const QString& argument) { return HoldsDiagnosticSwitch(argument); });
}
