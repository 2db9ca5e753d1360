#include <QLocale>

#include <variant>

#include "device_link/ctlVELD32UsbComm.h"
#include "device_link/protocol_numbers.h"
#include "programs/programs_model.h"
#include "tools/command_context.h"
#include "tools/record_keeping.h"
#include "tools/tester_session.h"

namespace {

// The fields of a write frame between its letters and ")": what the tester should hold after
// it ("(MS012345)" -> "12345", "(MD02025,03,09)" -> "2025,03,09").
QString WrittenFields(const QString& frame) { return frame.mid(4, frame.size() - 5); }

CommandResult NotHeld(const QString& what, const QString& held, const QString& sent) {
  return CommandResult::Failure(
      ExitStatus::CheckFailed,
      QStringLiteral("The tester holds %1 %2, not %3 as sent").arg(what, held, sent));
}

class ServiceAction {
 public:
  ServiceAction(const CommandContext& context, TesterSession& session, QString frame)
      : context_(context), session_(session), frame_(std::move(frame)) {}

  CommandResult operator()(const SetSerialRequest& r) const {
    session_.Link().TXSetSerialNumber(r.serial);
    QString held;
    if (CommandResult read = session_.ReadSerialNumber(held); !read.Ok()) return read;
    const QString sent = WrittenFields(frame_);
    if (held != sent) return NotHeld(QStringLiteral("serial number"), held, sent);
    context_.out << "Serial number:     " << held << '\n';
    return {};
  }

  CommandResult operator()(const SetCalibrationDateRequest& r) const {
    session_.Link().TXSetCalibrationDate(static_cast<qint16>(r.date.year()),
                                         static_cast<qint16>(r.date.month()),
                                         static_cast<qint16>(r.date.day()));
    QString year, month, day;
    if (CommandResult read = session_.ReadCalibrationDate(year, month, day); !read.Ok()) {
      return read;
    }
    const QString held = QStringList{year, month, day}.join(u'-');
    const QString sent = WrittenFields(frame_).replace(u',', u'-');
    if (held != sent) return NotHeld(QStringLiteral("calibration date"), held, sent);
    context_.out << "Calibration date:  " << held << '\n';
    return {};
  }

  CommandResult operator()(const AdjustCurrentRequest& r) const {
    Setpoints before{};
    Setpoints after{};
    if (CommandResult read = session_.ReadSetpoints(before); !read.Ok()) return read;
    session_.Link().TXCurrentCalAdjust(r.level, r.up);
    if (CommandResult read = session_.ReadSetpoints(after); !read.Ok()) return read;
    const auto index = static_cast<std::size_t>(r.level - 1);
    const int expected = before[index] + (r.up ? 1 : -1);
    const QString what =
        QStringLiteral("the %1 mA set-point at").arg(CurrentLevelMilliamps(r.level));
    if (after[index] != expected) {
      return NotHeld(what, QString::number(after[index]), QString::number(expected));
    }
    context_.out << "Set-point " << CurrentLevelMilliamps(r.level) << " mA:  " << before[index]
                 << " -> " << after[index] << '\n';
    return {};
  }

 private:
  const CommandContext& context_;
  TesterSession& session_;
  QString frame_;
};

}  // namespace

CommandResult ServiceTester(const CommandContext& context) {
  const QString frame = ServiceFrame(context.options.service);
  if (!context.options.yes) {
    context.out << "Would send " << frame << " to the tester.\n";
    return CommandResult::Failure(ExitStatus::Usage,
                                  QStringLiteral("Nothing sent: service writes only with --yes"));
  }
  TestProgramsModel programs(QLocale::c());
  TesterSession session(context.backend.driver, context.backend.diagnostics,
                        SessionSettings(context.options), context.log, programs);
  TesterIdentity identity;
  CommandResult result = session.Open();
  if (result.Ok()) result = session.ReadIdentity(identity);
  if (!result.Ok()) return result;
  WarnIfCalibrationOverdue(context, identity);
  result = std::visit(ServiceAction(context, session, frame), context.options.service);

  // Kept whatever the tester made of it: a value not held is a change too.
  ProgramChange change;
  change.time = QDateTime::currentDateTimeUtc();
  change.operatorName = context.options.operatorName;
  change.station = context.options.station;
  change.tester = FactsOf(context.options, identity, session.UsbSerialNumber());
  change.action = QStringLiteral("service ") + ServiceWords(context.options.service);
  change.agreed = result.Ok();
  change.version = SoftwareVersion();
  const CommandResult kept = KeepChange(context, change);
  if (result.Ok()) return kept;
  if (!kept.Ok()) result.message += u'\n' + kept.message;
  return result;
}
