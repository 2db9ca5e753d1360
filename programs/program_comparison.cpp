#include "programs/program_comparison.h"

#include "programs/program_values.h"

namespace {

constexpr qint32 kSecondsPerHour = 3600;

qint32 TotalSeconds(const ProgramSettings& program) {
  return qint32{program.durationHours} * kSecondsPerHour + program.durationSeconds;
}

QString ListValueText(const QStringList& items, qint32 index, const char* unit) {
  if (index < 1 || index > items.size()) return QStringLiteral("index %1").arg(index);
  return items.at(index - 1) + QLatin1Char(' ') + QLatin1String(unit);
}

}  // namespace

ProgramSettings UploadForm(const ProgramSettings& program) {
  ProgramSettings upload = program;
  if (program.mode != TestMode::Duration) {
    upload.mode = TestMode::SingleMeasure;
    upload.durationSeconds = 0;
    upload.durationHours = 0;
  }
  return upload;
}

std::vector<SettingDifference> DifferingSettings(const ProgramSettings& editor,
                                                 const ProgramSettings& tester) {
  const SettingDifference all[] = {
      {ProgramSetting::Current, editor.currentIndex, tester.currentIndex},
      {ProgramSetting::Frequency, editor.frequencyIndex, tester.frequencyIndex},
      {ProgramSetting::PulseWidth, editor.pulseWidthUs, tester.pulseWidthUs},
      {ProgramSetting::Mode, static_cast<qint32>(editor.mode), static_cast<qint32>(tester.mode)},
      {ProgramSetting::Duration, TotalSeconds(editor), TotalSeconds(tester)},
      {ProgramSetting::Pass, editor.passOhms, tester.passOhms},
      {ProgramSetting::Fail, editor.failOhms, tester.failOhms}};
  std::vector<SettingDifference> differing;
  for (const SettingDifference& difference : all) {
    if (difference.editor != difference.tester) differing.push_back(difference);
  }
  return differing;
}

QString SettingKey(ProgramSetting setting) {
  static const char* const keys[] = {"Current",  "Frequency", "PulseWidth", "Mode",
                                     "Duration", "Pass",      "Fail"};
  return QLatin1String(keys[static_cast<int>(setting)]);
}

QString SettingValueText(ProgramSetting setting, qint32 value) {
  switch (setting) {
    case ProgramSetting::Current:
      return ListValueText(CurrentListItems(), value, "mA");
    case ProgramSetting::Frequency:
      return ListValueText(FrequencyListItems(), value, "Hz");
    case ProgramSetting::PulseWidth:
      return QStringLiteral("%1 us").arg(value);
    case ProgramSetting::Mode:
      return value == 1 ? QStringLiteral("Duration") : QStringLiteral("Single Measure");
    case ProgramSetting::Duration:
      return QStringLiteral("%1 s").arg(value);
    default:
      return QStringLiteral("%1 ohms").arg(value);
  }
}
