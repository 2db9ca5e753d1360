#include "device_link/ft_status.h"

#include <array>

namespace {
constexpr std::array<std::string_view, 19> kStatusTexts = {
    "",
    " - Invalid Handle",
    " - Device Not Found",
    " - Device Not Opened",
    " - General IO Error",
    " - Insufficient Resources",
    " - Invalid Parameter",
    " - Invalid Baud Rate",
    " - Device not opened for Erase",
    " - Device not opened for Write",
    " - Failed to write Device",
    " - EEPROM read failed",
    " - EEPROM write failed",
    " - EEPROM erase failed",
    " - EEPROM not present",
    " - EEPROM not programmed",
    " - Invalid Arguments",
    " - not supported",
    " - other error",
};
}  // namespace

std::string_view FtStatusText(FT_STATUS status) {
  if (status < 1 || status >= static_cast<FT_STATUS>(kStatusTexts.size())) return {};
  return kStatusTexts[static_cast<std::size_t>(status)];
}

std::string FtErrorText(std::string_view operationLabel, FT_STATUS status) {
  const std::string_view text = FtStatusText(status);
  if (text.empty()) return {};
  std::string result(operationLabel);
  result += text;
  return result;
}
