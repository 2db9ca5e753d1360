#pragma once

#include <QString>
#include <QStringList>

// The diagnostic switch of the utility's command line: an argument holding "/kovda" in any
// letter case, anywhere in it ("/KOVDA", "x/kovdax"). It turns on the log of every frame and of
// the receive buffer.
bool HoldsDiagnosticSwitch(const QString& argument);
bool HoldsDiagnosticSwitch(const QStringList& arguments);
