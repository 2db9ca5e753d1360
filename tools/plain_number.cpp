#include "tools/plain_number.h"

std::optional<qint64> PlainNumber(const QString& text) {
  constexpr qsizetype kMaxDigits = 9;
  if (text.isEmpty() || text.size() > kMaxDigits) return std::nullopt;
  qint64 value = 0;
  for (const QChar c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c.unicode() - u'0');
  }
  return value;
}
