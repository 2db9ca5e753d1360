#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

// The window "Settings": this bench's station name, as its records carry it (empty: the host
// name), and how often the testers are calibrated (off, or a number of months), after which a
// tester counts as overdue; and where the records go (from the next start). OK keeps them for this
// and later sessions; Cancel keeps the old.
class frmSettings : public QDialog {
  Q_OBJECT

 public:
  explicit frmSettings(QWidget* parent = nullptr);

  // Shows what is kept now.
  void Reload();
  void cmdOK_Click();

 signals:
  void Changed();

 private:
  QLineEdit* txtStation;
  QComboBox* cmbCalibrationInterval;
  QLineEdit* txtRecords;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
};
