#include "upload_confirmation.h"

#include <QString>

#include <utility>
#include <vector>

namespace {

struct Field {
  const char* name;
  qint16 sent;
  qint16 held;
};

std::vector<Field> Fields(const UploadArguments& sent, const ProgramReply& reply) {
  const ReceivedProgram& held = reply.values;
  return {{"current index", sent.vCurrentLevelIndex, held.vCurrentIndex},
          {"frequency index", sent.vFreqIndex, held.vFrequencyIndex},
          {"pulse width", sent.vPW, reply.pulseWidthUs},
          {"mode", sent.vMode, held.vMode},
          {"duration seconds", sent.vDuration, held.vDuration},
          {"duration hours", sent.vDurationHr, held.vDurationHr},
          {"pass", sent.vPass, held.vPassValue},
          {"fail", sent.vFail, held.vFailValue}};
}

}  // namespace

QStringList UnconfirmedPrograms(const std::array<UploadArguments, kProgramCount>& sent,
                                const RepliesByProgram& replies) {
  QStringList unconfirmed;
  for (const UploadArguments& program : sent) {
    const QString name = QStringLiteral("Program%1").arg(program.vProgramID);
    const auto reply = replies.find(program.vProgramID);
    if (reply == replies.end()) {
      unconfirmed << QStringLiteral("%1 not confirmed: the tester sent no values for it").arg(name);
      continue;
    }
    QStringList differences;
    for (const Field& field : Fields(program, reply->second)) {
      if (field.sent != field.held) {
        differences << QStringLiteral("%1 sent %2, held %3")
                           .arg(QLatin1String(field.name))
                           .arg(field.sent)
                           .arg(field.held);
      }
    }
    if (!differences.isEmpty()) {
      unconfirmed << QStringLiteral("%1 not confirmed: %2")
                         .arg(name, differences.join(QLatin1String(", ")));
    }
  }
  return unconfirmed;
}
