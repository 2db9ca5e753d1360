#include "shell/TesterInformationForm.h"

#include <QFormLayout>
#include <QLabel>

#include "device_link/ctlVELD32UsbComm.h"
#include "device_link/protocol_numbers.h"
#include "programs/tester_identity.h"

namespace {
// Shown until the tester's reply arrives.
const QString kAwaited = QStringLiteral("…");

QLabel* ValueLabel(const QString& name, QWidget* parent) {
  auto* label = new QLabel(kAwaited, parent);
  label->setObjectName(name);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}
}  // namespace

TesterInformationForm::TesterInformationForm(ctlVELD32UsbComm& link, QWidget* parent)
    : QDialog(parent),
      link_(link),
      identity_(new TesterIdentityRequest(link, this)),
      lblFirmwareVersion(ValueLabel(QStringLiteral("lblFirmwareVersion"), this)),
      lblSerialNumber(ValueLabel(QStringLiteral("lblSerialNumber"), this)),
      lblCalibrationDate(ValueLabel(QStringLiteral("lblCalibrationDate"), this)) {
  setObjectName(QStringLiteral("TesterInformationForm"));
  setWindowTitle(QStringLiteral("Tester Information"));
  auto* layout = new QFormLayout(this);
  layout->addRow(QStringLiteral("Firmware version:"), lblFirmwareVersion);
  layout->addRow(QStringLiteral("Serial number:"), lblSerialNumber);
  layout->addRow(QStringLiteral("Calibration date:"), lblCalibrationDate);
  for (int i = 0; i < kLevels; ++i) {
    lblSetpoint[i] = ValueLabel(QStringLiteral("lblSetpoint%1").arg(i), this);
    layout->addRow(QStringLiteral("Set-point %1 mA:")
                       .arg(CurrentLevelMilliamps(static_cast<std::int16_t>(i + 1))),
                   lblSetpoint[i]);
  }

  setpointsWait_.setSingleShot(true);
  setpointsWait_.setInterval(kSetpointsWaitMs);
  connect(&setpointsWait_, &QTimer::timeout, this, [this] {
    for (QLabel* label : lblSetpoint) {
      if (label->text() == kAwaited) label->setText(kNotReported);
    }
  });
  connect(identity_, &TesterIdentityRequest::Received, this,
          [this](const TesterIdentity& identity) {
            if (identity.firmware) lblFirmwareVersion->setText(*identity.firmware);
            if (identity.serial) lblSerialNumber->setText(*identity.serial);
            // The date, asked for last, ends the identity: the set-points' wait starts with it.
            if (identity.calibrationYear && lblCalibrationDate->text() == kAwaited) {
              lblCalibrationDate->setText(CalibrationDateText(identity));
              if (lblSetpoint[0]->text() == kAwaited) setpointsWait_.start();
            }
          });
  connect(&link_, &ctlVELD32UsbComm::RXAllCurrentSetpoints, this,
          [this](qint16 ma5, qint16 ma10, qint16 ma20, qint16 ma50, qint16 ma100) {
            setpointsWait_.stop();
            const std::array<qint16, kLevels> values{ma5, ma10, ma20, ma50, ma100};
            for (int i = 0; i < kLevels; ++i) lblSetpoint[i]->setText(QString::number(values[i]));
          });
}

void TesterInformationForm::Refresh() {
  setpointsWait_.stop();
  for (QLabel* label : findChildren<QLabel*>()) {
    if (!label->objectName().isEmpty()) label->setText(kAwaited);
  }
  identity_->Ask();
  link_.TXGetCalValues();
}
