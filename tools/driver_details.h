#pragma once

#include <QString>

class DriverDiagnostics;

// What the driver itself knows about its last failure, for the end of an error line: its own
// words and, when the user may not open the device, the advice on installing the udev rule.
// Empty when there is nothing to add; otherwise " (...)".
QString DriverDetails(const DriverDiagnostics* diagnostics);
