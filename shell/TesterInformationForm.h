#pragma once

#include <QDialog>
#include <QTimer>

#include <array>

class QLabel;
class TesterIdentityRequest;
class ctlVELD32UsbComm;

// The window "Tester Information": the tester's firmware version, serial number, calibration
// date and the set-points of its five current levels, asked for each time Refresh runs (when
// the window opens) and filled in as the replies arrive; set-points the tester does not report
// soon after its identity are shown as not reported. It only reads; it never writes. A
// dialog owned by the main window, it opens over it; Escape closes it.
class TesterInformationForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kLevels = 5;

  explicit TesterInformationForm(ctlVELD32UsbComm& link, QWidget* parent = nullptr);

  // Blanks every value and asks the tester for all of them.
  void Refresh();

 private:
  ctlVELD32UsbComm& link_;
  TesterIdentityRequest* identity_;
  QLabel* lblFirmwareVersion;
  QLabel* lblSerialNumber;
  QLabel* lblCalibrationDate;
  std::array<QLabel*, kLevels> lblSetpoint{};
  QTimer setpointsWait_;
};
