#include "tools/service_request.h"

#include "device_link/command_frames.h"
#include "tools/plain_number.h"

namespace {

constexpr qint32 kMaxSerial = 99999;
constexpr int kLevels = 5;
constexpr int kMaxYear = 9999;  // the frame has four digits for it

ParsedServiceRequest Refused(const QString& error) { return {SetSerialRequest{}, error}; }

ParsedServiceRequest SetSerial(const QStringList& arguments) {
  const auto serial = arguments.size() == 1 ? PlainNumber(arguments[0]) : std::nullopt;
  if (!serial || *serial > kMaxSerial) {
    const bool outOfRange =
        arguments.size() == 1 &&
        (serial || (arguments[0].startsWith(u'-') && PlainNumber(arguments[0].mid(1))));
    return Refused(outOfRange ? QStringLiteral("service set-serial: %1 is out of range; give a "
                                               "serial number from 0 to 99999")
                                    .arg(arguments[0])
                              : QStringLiteral("service set-serial needs a serial number from 0 "
                                               "to 99999"));
  }
  return {SetSerialRequest{static_cast<qint32>(*serial)}, {}};
}

ParsedServiceRequest SetCalibrationDate(const QStringList& arguments) {
  const QDate date = arguments.size() == 1
                         ? QDate::fromString(arguments[0], QStringLiteral("yyyy-MM-dd"))
                         : QDate();
  if (!date.isValid() || date.year() < 1 || date.year() > kMaxYear) {
    return Refused(
        QStringLiteral("service set-calibration-date needs a date that exists, as YYYY-MM-DD"));
  }
  return {SetCalibrationDateRequest{date}, {}};
}

ParsedServiceRequest AdjustCurrent(const QStringList& arguments) {
  const auto level = arguments.size() == 2 ? PlainNumber(arguments[0]) : std::nullopt;
  const QString direction = arguments.size() == 2 ? arguments[1] : QString();
  if (!level || *level < 1 || *level > kLevels ||
      (direction != QLatin1String("up") && direction != QLatin1String("down"))) {
    return Refused(
        QStringLiteral("service adjust-current needs a current level from 1 to 5 and up or down"));
  }
  return {AdjustCurrentRequest{static_cast<qint16>(*level), direction == QLatin1String("up")}, {}};
}

}  // namespace

ParsedServiceRequest ParseServiceRequest(const QStringList& words) {
  const QString action = words.value(0);
  const QStringList arguments = words.mid(1);
  if (action == QLatin1String("set-serial")) return SetSerial(arguments);
  if (action == QLatin1String("set-calibration-date")) return SetCalibrationDate(arguments);
  if (action == QLatin1String("adjust-current")) return AdjustCurrent(arguments);
  return Refused(action.isEmpty()
                     ? QStringLiteral("Command service needs set-serial, set-calibration-date or "
                                      "adjust-current")
                     : QStringLiteral("Unknown service action '%1'").arg(action));
}

QString ServiceFrame(const ServiceRequest& request) {
  struct Frame {
    std::string operator()(const SetSerialRequest& r) const {
      return frames::SetSerialNumber(r.serial);
    }
    std::string operator()(const SetCalibrationDateRequest& r) const {
      return frames::SetCalibrationDate(static_cast<std::int16_t>(r.date.year()),
                                        static_cast<std::int16_t>(r.date.month()),
                                        static_cast<std::int16_t>(r.date.day()));
    }
    std::string operator()(const AdjustCurrentRequest& r) const {
      return frames::CurrentCalAdjust(r.level, r.up);
    }
  };
  return QString::fromStdString(std::visit(Frame{}, request));
}

QString ServiceWords(const ServiceRequest& request) {
  struct Words {
    QString operator()(const SetSerialRequest& r) const {
      return QStringLiteral("set-serial %1").arg(r.serial);
    }
    QString operator()(const SetCalibrationDateRequest& r) const {
      return QStringLiteral("set-calibration-date ") + r.date.toString(Qt::ISODate);
    }
    QString operator()(const AdjustCurrentRequest& r) const {
      return QStringLiteral("adjust-current %1 %2")
          .arg(r.level)
          .arg(r.up ? QLatin1String("up") : QLatin1String("down"));
    }
  };
  return std::visit(Words{}, request);
}
