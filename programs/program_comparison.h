#pragma once

#include <QString>

#include <vector>

#include "programs/program_controls.h"

// Comparing a program as the editor would send it with what the tester reports it holds. The
// tester answers a download and every upload with a program-values reply; both sides are put
// in upload form, where a Single Measure program carries mode 2 and no duration.

// What a reply says the tester holds: the pulse-width code as microseconds, a mode other than 1
// as Single Measure (2) with both duration parts 0.
UploadArguments HeldByTester(const ReceivedProgram& reply);

struct SettingDifference {
  ProgramSetting setting;
  qint32 editor;  // list indexes for Current and Frequency, total seconds for Duration
  qint32 tester;
};

// The settings in which the two differ, in the file's key order.
std::vector<SettingDifference> DifferingSettings(const UploadArguments& editor,
                                                 const UploadArguments& tester);

// "Current" .. "Fail", as a program file names the setting.
QString SettingKey(ProgramSetting setting);
// A compared value in the operator's words: "20 mA", "150 Hz", "200 us", "Single Measure",
// "3725 s", "150 ohms"; a list index outside its list as "index 9".
QString SettingValueText(ProgramSetting setting, qint32 value);
