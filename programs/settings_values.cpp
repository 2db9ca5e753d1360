#include "programs/settings_values.h"

#include "device_link/protocol_numbers.h"

std::vector<std::pair<QString, QVariant>> SettingsValues(const ProgramSettings& p) {
  return {{QStringLiteral("current_mA"), int{CurrentLevelMilliamps(p.currentIndex)}},
          {QStringLiteral("frequency_Hz"), int{FrequencyHertz(p.frequencyIndex)}},
          {QStringLiteral("pulse_width_us"), int{p.pulseWidthUs}},
          {QStringLiteral("mode"),
           p.mode == TestMode::Duration ? QStringLiteral("duration") : QStringLiteral("single")},
          {QStringLiteral("duration_s"), p.durationHours * 3600 + p.durationSeconds},
          {QStringLiteral("pass_ohms"), int{p.passOhms}},
          {QStringLiteral("fail_ohms"), int{p.failOhms}}};
}
