#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Number forms and value tables shared by the request frames, the reply decoder and the editor.

// Nearest integer, an exact half going to the even neighbour (15 -> ... 1.5 -> 2, 2.5 -> 2).
std::int64_t RoundHalfEven(double value);

// Plain decimal text of a value ("7", "120").
std::string PlainDecimal(std::int64_t value);

// Decimal text with leading zeros up to `width` digits; a longer value is written whole.
std::string ZeroPad(std::int64_t value, int width);

// A 16-bit signed number from text: decimal digits with surrounding blanks and one leading sign.
// Empty text, anything else, and values outside -32768..32767 give no value.
std::optional<std::int16_t> ParseInt16(std::string_view text);

// Current level index (1..5) to milliamperes, frequency index (1..8) to hertz; 0 outside.
std::int16_t CurrentLevelMilliamps(std::int16_t index);
std::int16_t FrequencyHertz(std::int16_t index);
