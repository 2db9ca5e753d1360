#pragma once

#include <QString>
#include <QVariant>

#include <utility>
#include <vector>

#include "device_link/program_settings.h"

// A program's settings by the names under which veld32ctl's JSON and the CSV files show them:
// current_mA, frequency_Hz, pulse_width_us, mode ("duration" or "single"), duration_s,
// pass_ohms and fail_ohms (all integers but the mode).
std::vector<std::pair<QString, QVariant>> SettingsValues(const ProgramSettings& program);
