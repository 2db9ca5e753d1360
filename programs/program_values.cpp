#include "programs/program_values.h"

#include <cstdlib>

namespace {

// Pattern "00"-style formatting: at least `digits` digits, a minus sign in front of them.
QString Padded(long long value, int digits) {
  const QString magnitude =
      QStringLiteral("%1").arg(std::llabs(value), digits, 10, QLatin1Char('0'));
  return value < 0 ? QLatin1Char('-') + magnitude : magnitude;
}

bool IsDecimalDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}  // namespace

const QStringList& CurrentListItems() {
  static const QStringList items{"5", "10", "20", "50", "100"};
  return items;
}

const QStringList& FrequencyListItems() {
  static const QStringList items{"2", "5", "10", "20", "50", "100", "120", "150"};
  return items;
}

std::optional<PulseWidthRange> PulseWidthRangeFor(int milliamps) {
  switch (milliamps) {
    case 5:
      return PulseWidthRange{200, 500};
    case 10:
      return PulseWidthRange{100, 500};
    case 20:
      return PulseWidthRange{50, 500};
    case 50:
      return PulseWidthRange{20, 500};
    case 100:
      return PulseWidthRange{20, 300};
    default:
      return std::nullopt;
  }
}

QString DurationText(int seconds) {
  return Padded(seconds / 60, 2) + QLatin1Char(':') + Padded(seconds % 60, 2);
}

WholeNumberText ReadWholeNumber(const QString& text) {
  const QString trimmed = text.trimmed();
  qsizetype pos = 0;
  bool negative = false;
  if (pos < trimmed.size() &&
      (trimmed[pos] == QLatin1Char('+') || trimmed[pos] == QLatin1Char('-'))) {
    negative = trimmed[pos] == QLatin1Char('-');
    ++pos;
  }
  if (pos == trimmed.size()) return {};
  // Accumulation stops growing once past the 16-bit range, so any length of digits is safe.
  constexpr long long kBeyond16Bit = 40000;
  long long magnitude = 0;
  for (; pos < trimmed.size(); ++pos) {
    if (!IsDecimalDigit(trimmed[pos])) return {};
    if (magnitude < kBeyond16Bit) magnitude = magnitude * 10 + (trimmed[pos].unicode() - '0');
  }
  const long long value = negative ? -magnitude : magnitude;
  WholeNumberText result{.isNumber = true, .value = std::nullopt};
  if (value >= -32768 && value <= 32767) result.value = static_cast<qint16>(value);
  return result;
}

QString AverageCurrentText(int milliamps, int hertz, int pulseWidthUs, const QLocale& locale) {
  const long long nanoamps = static_cast<long long>(milliamps) * hertz * pulseWidthUs;
  long long microamps = nanoamps / 1000;
  const long long rest = nanoamps % 1000;
  if (rest > 500 || (rest == 500 && microamps % 2 != 0)) ++microamps;
  return Padded(microamps / 1000, 3) + locale.decimalPoint() + Padded(microamps % 1000, 3);
}

QString PulseChargeText(int milliamps, int pulseWidthUs, const QLocale& locale) {
  const long long product = static_cast<long long>(milliamps) * pulseWidthUs;
  const long long tenths = (product + 50) / 100;
  return Padded(tenths / 10, 2) + locale.decimalPoint() + QString::number(tenths % 10);
}
