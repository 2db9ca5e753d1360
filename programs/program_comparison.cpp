#include "programs/program_comparison.h"

#include "programs/program_values.h"

namespace {

constexpr qint32 kSecondsPerHour = 3600;

qint32 TotalSeconds(const UploadArguments& program) {
  return qint32{program.vDurationHr} * kSecondsPerHour + program.vDuration;
}

QString ListValueText(const QStringList& items, qint32 index, const char* unit) {
  if (index < 1 || index > items.size()) return QStringLiteral("index %1").arg(index);
  return items.at(index - 1) + QLatin1Char(' ') + QLatin1String(unit);
}

}  // namespace

UploadArguments HeldByTester(const ReceivedProgram& reply) {
  UploadArguments held;
  held.vProgramID = reply.vProgramIndex;
  held.vCurrentLevelIndex = reply.vCurrentIndex;
  held.vFreqIndex = reply.vFrequencyIndex;
  held.vPW = static_cast<qint16>((reply.vPW + 1) * 10);
  held.vMode = reply.vMode == 1 ? 1 : 2;
  if (held.vMode == 1) {
    held.vDuration = reply.vDuration;
    held.vDurationHr = reply.vDurationHr;
  }
  held.vPass = reply.vPassValue;
  held.vFail = reply.vFailValue;
  return held;
}

std::vector<SettingDifference> DifferingSettings(const UploadArguments& editor,
                                                 const UploadArguments& tester) {
  const SettingDifference all[] = {
      {ProgramSetting::Current, editor.vCurrentLevelIndex, tester.vCurrentLevelIndex},
      {ProgramSetting::Frequency, editor.vFreqIndex, tester.vFreqIndex},
      {ProgramSetting::PulseWidth, editor.vPW, tester.vPW},
      {ProgramSetting::Mode, editor.vMode, tester.vMode},
      {ProgramSetting::Duration, TotalSeconds(editor), TotalSeconds(tester)},
      {ProgramSetting::Pass, editor.vPass, tester.vPass},
      {ProgramSetting::Fail, editor.vFail, tester.vFail}};
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
