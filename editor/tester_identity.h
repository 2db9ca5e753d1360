#pragma once

#include <QString>

#include <optional>

// Who the tester is, as it answers the identity requests: texts as received.
struct TesterIdentity {
  std::optional<QString> firmware;
  std::optional<QString> serial;
  std::optional<QString> calibrationYear;
  std::optional<QString> calibrationMonth;
  std::optional<QString> calibrationDay;

  bool Complete() const { return firmware && serial && calibrationYear; }
};

// The calibration date of a complete identity as year-month-day ("2024-01-15").
QString CalibrationDateText(const TesterIdentity& identity);

// One line naming the tester for the operator, with the USB serial number of its bridge when
// known: "Tester 00042 · USB FT6X9ABC · firmware 01.02 · calibrated 2024-01-15".
QString IdentityLine(const TesterIdentity& identity, const QString& usbSerialNumber);
