#include "programs/tester_identity.h"

#include <QStringList>

QString CalibrationDateText(const TesterIdentity& identity) {
  return QStringList{identity.calibrationYear.value_or(QString()),
                     identity.calibrationMonth.value_or(QString()),
                     identity.calibrationDay.value_or(QString())}
      .join(u'-');
}

QString IdentityLine(const TesterIdentity& identity, const QString& usbSerialNumber) {
  QStringList parts{QStringLiteral("Tester ") + identity.serial.value_or(QString())};
  if (!usbSerialNumber.isEmpty()) parts << QStringLiteral("USB ") + usbSerialNumber;
  parts << QStringLiteral("firmware ") + identity.firmware.value_or(QString())
        << QStringLiteral("calibrated ") + CalibrationDateText(identity);
  return parts.join(QStringLiteral(" \u00B7 "));
}
