#pragma once

#include <QString>

// What the window keeps between sessions for this user (QSettings): the bench's name as its
// records carry it, the testers' calibration interval and the tester chosen last on a bench of
// several, with the tester serial each USB serial number last answered with.
namespace window_settings {

// The host name unless a name was set.
QString Station();
// An empty or blank name goes back to the host name.
void SetStation(const QString& station);

// Where the records go (a file or postgresql://USER@HOST[:PORT]/DB); empty: VELD32_RECORDS or
// the default file.
QString RecordsLocation();
void SetRecordsLocation(const QString& location);

// 0: no interval, no tester overdue.
int CalibrationIntervalMonths();
void SetCalibrationIntervalMonths(int months);

// The USB serial number of the tester chosen last; empty when none was.
QString ChosenTester();
void SetChosenTester(const QString& usbSerialNumber);

// The tester serial number the tester behind `usbSerialNumber` last reported; empty if unknown.
QString TesterSerialOf(const QString& usbSerialNumber);
void RememberTesterSerial(const QString& usbSerialNumber, const QString& testerSerial);

}  // namespace window_settings
