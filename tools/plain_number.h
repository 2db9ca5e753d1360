#pragma once

#include <QString>

#include <optional>

// A number on the command line is plain decimal digits: no blanks, no sign, at most 9 digits,
// so that " 12", "+12" or "1e3" never pass for 12 by a lenient conversion.
std::optional<qint64> PlainNumber(const QString& text);
