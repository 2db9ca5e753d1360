#include "programs/tester_identity.h"

#include <QStringList>

#include "device_link/ctlVELD32UsbComm.h"

QString CalibrationDateText(const TesterIdentity& identity) {
  return QStringList{identity.calibrationYear.value_or(QString()),
                     identity.calibrationMonth.value_or(QString()),
                     identity.calibrationDay.value_or(QString())}
      .join(u'-');
}

bool CalibrationOverdue(const TesterIdentity& identity, int intervalMonths, const QDate& today) {
  if (intervalMonths <= 0) return false;
  const QDate calibrated = QDate::fromString(CalibrationDateText(identity), Qt::ISODate);
  return !calibrated.isValid() || calibrated.addMonths(intervalMonths) < today;
}

QString IdentityLine(const TesterIdentity& identity, const QString& usbSerialNumber) {
  QStringList parts{QStringLiteral("Tester ") + identity.serial.value_or(QString())};
  if (!usbSerialNumber.isEmpty()) parts << QStringLiteral("USB ") + usbSerialNumber;
  parts << QStringLiteral("firmware ") + identity.firmware.value_or(QString())
        << QStringLiteral("calibrated ") + CalibrationDateText(identity);
  return parts.join(QStringLiteral(" \u00B7 "));
}

TesterIdentityRequest::TesterIdentityRequest(ctlVELD32UsbComm& link, QObject* parent)
    : QObject(parent), link_(link) {
  connect(&link_, &ctlVELD32UsbComm::RXFirmwareVersion, this, [this](const QString& version) {
    Store([&version](TesterIdentity& identity) { identity.firmware = version; });
  });
  connect(&link_, &ctlVELD32UsbComm::RXSerialNumber, this, [this](const QString& serial) {
    Store([&serial](TesterIdentity& identity) { identity.serial = serial; });
  });
  connect(&link_, &ctlVELD32UsbComm::RXCalibrationDate, this,
          [this](const QString& year, const QString& month, const QString& day) {
            Store([&](TesterIdentity& identity) {
              identity.calibrationYear = year;
              identity.calibrationMonth = month;
              identity.calibrationDay = day;
            });
          });
}

void TesterIdentityRequest::Ask() {
  identity_ = {};
  asking_ = true;
  link_.TXGetFirmwareVersion();
  link_.TXGetSerialNumber();
  link_.TXGetCalibrationDate();
}

void TesterIdentityRequest::Store(const std::function<void(TesterIdentity&)>& store) {
  if (!asking_) return;
  store(identity_);
  emit Received(identity_);
  if (!identity_.Complete()) return;
  asking_ = false;
  emit Completed(identity_);
}
