#include "tools/upload_confirmation.h"

#include <QString>

#include "programs/program_comparison.h"

QStringList UnconfirmedPrograms(const std::array<ProgramSettings, kProgramCount>& sent,
                                const RepliesByProgram& replies) {
  QStringList unconfirmed;
  for (const ProgramSettings& program : sent) {
    const QString name = QStringLiteral("Program%1").arg(program.number);
    const auto reply = replies.find(program.number);
    if (reply == replies.end()) {
      unconfirmed << QStringLiteral("%1 not confirmed: the tester sent no values for it").arg(name);
      continue;
    }
    QStringList differences;
    for (const SettingDifference& d : DifferingSettings(program, UploadForm(reply->second))) {
      differences << QStringLiteral("%1 sent %2, held %3")
                         .arg(SettingKey(d.setting), SettingValueText(d.setting, d.editor),
                              SettingValueText(d.setting, d.tester));
    }
    if (!differences.isEmpty()) {
      unconfirmed << QStringLiteral("%1 not confirmed: %2")
                         .arg(name, differences.join(QLatin1String(", ")));
    }
  }
  return unconfirmed;
}
