#include "shell/frmSettings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

#include "ui_core/window_settings.h"

namespace {
constexpr std::array<int, 6> kIntervalMonths = {0, 3, 6, 12, 24, 36};
}  // namespace

frmSettings::frmSettings(QWidget* parent)
    : QDialog(parent),
      txtStation(new QLineEdit(this)),
      cmbCalibrationInterval(new QComboBox(this)),
      txtRecords(new QLineEdit(this)),
      cmdOK(new QPushButton(QStringLiteral("OK"), this)),
      cmdCancel(new QPushButton(QStringLiteral("Cancel"), this)) {
  setObjectName(QStringLiteral("frmSettings"));
  setWindowTitle(QStringLiteral("Settings"));
  txtStation->setObjectName(QStringLiteral("txtStation"));
  txtStation->setPlaceholderText(QSysInfo::machineHostName());
  txtStation->setToolTip(
      QStringLiteral("The name of this bench in the records; empty for the "
                     "computer's host name"));
  cmbCalibrationInterval->setObjectName(QStringLiteral("cmbCalibrationInterval"));
  for (const int months : kIntervalMonths) {
    cmbCalibrationInterval->addItem(
        months == 0 ? QStringLiteral("Off") : QStringLiteral("%1 months").arg(months), months);
  }
  cmbCalibrationInterval->setToolTip(
      QStringLiteral("A tester whose calibration is older than this is shown as overdue"));
  txtRecords->setObjectName(QStringLiteral("txtRecords"));
  txtRecords->setPlaceholderText(QStringLiteral("VELD32_RECORDS or the default file"));
  txtRecords->setToolTip(QStringLiteral(
      "Where the records go: a file, or postgresql://USER@HOST[:PORT]/DB shared by several "
      "benches; empty for VELD32_RECORDS or the default file.  Takes effect at the next start"));
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdOK->setToolTip(QStringLiteral("Keep these settings"));
  cmdCancel->setToolTip(QStringLiteral("Keep the settings as they were"));
  cmdOK->setDefault(true);
  connect(cmdOK, &QPushButton::clicked, this, &frmSettings::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Station:"), txtStation);
  form->addRow(QStringLiteral("&Calibration interval:"), cmbCalibrationInterval);
  form->addRow(QStringLiteral("&Records:"), txtRecords);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(cmdOK, QDialogButtonBox::AcceptRole);
  buttons->addButton(cmdCancel, QDialogButtonBox::RejectRole);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  Reload();
}

void frmSettings::Reload() {
  const QString station = window_settings::Station();
  txtStation->setText(station == QSysInfo::machineHostName() ? QString() : station);
  const int index = cmbCalibrationInterval->findData(window_settings::CalibrationIntervalMonths());
  cmbCalibrationInterval->setCurrentIndex(std::max(0, index));
  txtRecords->setText(window_settings::RecordsLocation());
}

void frmSettings::cmdOK_Click() {
  window_settings::SetStation(txtStation->text());
  window_settings::SetCalibrationIntervalMonths(cmbCalibrationInterval->currentData().toInt());
  window_settings::SetRecordsLocation(txtRecords->text());
  emit Changed();
  accept();
}
