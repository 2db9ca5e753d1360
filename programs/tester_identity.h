#pragma once

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class ctlVELD32UsbComm;

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

// Whether a tester is past its next calibration on `today`: its calibration date plus
// `intervalMonths` (a 31st into a shorter month falls on that month's last day) lies before
// `today`. A calibration date that is no real date counts as overdue, since nothing shows the
// tester calibrated. No interval (0 or less) never makes a tester overdue.
bool CalibrationOverdue(const TesterIdentity& identity, int intervalMonths, const QDate& today);

// One line naming the tester for the operator, with the USB serial number of its bridge when
// known: "Tester 00042 · USB FT6X9ABC · firmware 01.02 · calibrated 2024-01-15".
QString IdentityLine(const TesterIdentity& identity, const QString& usbSerialNumber);

// One request of the tester's identity over the link: Ask sends the firmware, serial number and
// calibration date requests, and the replies that follow fill a fresh identity until it is
// complete. Replies are not paired with requests: any identity reply counts while asking, none
// after completion, Cancel or before the first Ask.
class TesterIdentityRequest : public QObject {
  Q_OBJECT

 public:
  explicit TesterIdentityRequest(ctlVELD32UsbComm& link, QObject* parent = nullptr);

  void Ask();
  void Cancel() { asking_ = false; }
  // What the replies since the last Ask told.
  const TesterIdentity& Identity() const { return identity_; }

 signals:
  // A reply filled in part of the identity.
  void Received(const TesterIdentity& identity);
  // The identity is complete; the request ends.
  void Completed(const TesterIdentity& identity);

 private:
  void Store(const std::function<void(TesterIdentity&)>& store);

  ctlVELD32UsbComm& link_;
  TesterIdentity identity_;
  bool asking_ = false;
};
