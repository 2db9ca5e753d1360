#include "device_link/protocol_numbers.h"

#include <array>
#include <cmath>
#include <limits>

namespace {
constexpr std::array<std::int16_t, 5> kCurrentLevelTable = {5, 10, 20, 50, 100};
constexpr std::array<std::int16_t, 8> kFrequencyTable = {2, 5, 10, 20, 50, 100, 120, 150};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::int64_t RoundHalfEven(double value) {
  // nearbyint follows the current rounding mode; the process never leaves FE_TONEAREST,
  // which is round-half-to-even.
  return static_cast<std::int64_t>(std::nearbyint(value));
}

std::string PlainDecimal(std::int64_t value) { return std::to_string(value); }

std::string ZeroPad(std::int64_t value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (static_cast<int>(digits.size()) < width) {
    digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  }
  return value < 0 ? "-" + digits : digits;
}

std::optional<std::int16_t> ParseInt16(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 32768) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int16_t>(value);
}

std::int16_t CurrentLevelMilliamps(std::int16_t index) {
  if (index < 1 || index > static_cast<int>(kCurrentLevelTable.size())) return 0;
  return kCurrentLevelTable[static_cast<std::size_t>(index - 1)];
}

std::int16_t FrequencyHertz(std::int16_t index) {
  if (index < 1 || index > static_cast<int>(kFrequencyTable.size())) return 0;
  return kFrequencyTable[static_cast<std::size_t>(index - 1)];
}
