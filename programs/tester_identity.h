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

// The current set-points come after the identity and are optional: which request draws a reply is
// the tester's business. They are awaited this long after the identity (or three polling
// intervals, which a reply needs at the most, where that is longer), then shown as not reported.
inline constexpr int kSetpointsWaitMs = 1500;
inline const QString kNotReported = QStringLiteral("not reported");

// The calibration date of a complete identity as year-month-day ("2024-01-15").
QString CalibrationDateText(const TesterIdentity& identity);

// One line naming the tester for the operator, with the USB serial number of its bridge when
// known: "Tester 00042 · USB FT6X9ABC · firmware 01.02 · calibrated 2024-01-15".
QString IdentityLine(const TesterIdentity& identity, const QString& usbSerialNumber);
