#include "ui_core/window_settings.h"

#include <QSettings>
#include <QSysInfo>

#include <algorithm>

namespace {
const QString kStation = QStringLiteral("records/station");
const QString kCalibrationInterval = QStringLiteral("testers/calibration_interval_months");
const QString kRecords = QStringLiteral("records/location");
const QString kChosenTester = QStringLiteral("testers/chosen_usb_serial");
const QString kTesterSerials = QStringLiteral("testers/serial_of/");

QSettings Settings() { return QSettings(QStringLiteral("veld32"), QStringLiteral("veld32")); }

// A text kept trimmed; an empty one removes the key, so that the default applies again.
void SetText(const QString& key, const QString& text) {
  QSettings settings = Settings();
  if (text.trimmed().isEmpty()) {
    settings.remove(key);
  } else {
    settings.setValue(key, text.trimmed());
  }
}
}  // namespace

namespace window_settings {

QString Station() {
  const QString station = Settings().value(kStation).toString().trimmed();
  return station.isEmpty() ? QSysInfo::machineHostName() : station;
}

void SetStation(const QString& station) { SetText(kStation, station); }

QString RecordsLocation() { return Settings().value(kRecords).toString().trimmed(); }

void SetRecordsLocation(const QString& location) { SetText(kRecords, location); }

int CalibrationIntervalMonths() {
  return std::max(0, Settings().value(kCalibrationInterval, 0).toInt());
}

void SetCalibrationIntervalMonths(int months) {
  Settings().setValue(kCalibrationInterval, std::max(0, months));
}

QString ChosenTester() { return Settings().value(kChosenTester).toString(); }

void SetChosenTester(const QString& usbSerialNumber) {
  Settings().setValue(kChosenTester, usbSerialNumber);
}

QString TesterSerialOf(const QString& usbSerialNumber) {
  if (usbSerialNumber.isEmpty()) return {};
  return Settings().value(kTesterSerials + usbSerialNumber).toString();
}

void RememberTesterSerial(const QString& usbSerialNumber, const QString& testerSerial) {
  if (!usbSerialNumber.isEmpty())
    Settings().setValue(kTesterSerials + usbSerialNumber, testerSerial);
}

}  // namespace window_settings
