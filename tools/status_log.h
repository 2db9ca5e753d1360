#pragma once

#include <QString>

#include <functional>

// Where the lines the window would write to its communication log go (standard error with
// --verbose, nowhere without).
using StatusLog = std::function<void(const QString& line)>;
