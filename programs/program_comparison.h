#pragma once

#include <QString>

#include <vector>

#include "device_link/program_settings.h"
#include "programs/program_controls.h"

// Comparing a program as the editor would send it with what the tester reports it holds. The
// tester answers a download and every upload with a program-values reply; both sides are put
// in upload form.

// A program in upload form: any mode but Duration as SingleMeasure, which carries no duration
// (both parts 0).
ProgramSettings UploadForm(const ProgramSettings& program);

struct SettingDifference {
  ProgramSetting setting;
  qint32 editor;  // list indexes for Current and Frequency, total seconds for Duration
  qint32 tester;
};

// The settings in which the two differ, in the file's key order.
std::vector<SettingDifference> DifferingSettings(const ProgramSettings& editor,
                                                 const ProgramSettings& tester);

// "Current" .. "Fail", as a program file names the setting.
QString SettingKey(ProgramSetting setting);
// A compared value in the operator's words: "20 mA", "150 Hz", "200 us", "Single Measure",
// "3725 s", "150 ohms"; a list index outside its list as "index 9".
QString SettingValueText(ProgramSetting setting, qint32 value);
