#pragma once

#include <QWidget>

#include "modMain.h"
#include "status_log_text.h"

class QCheckBox;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;

// The communication log window "Status": the log as it grows, a Pause button and, in
// diagnostic mode only, the two filters of frame logging. Building it loads it (Form_Load) and
// destroying it unloads it (Form_Unload); while loaded it takes the log's lines through
// AddStatusMessage. It cannot be closed on its own.
class StatusWindowForm : public QWidget, private modMain::StatusLogView {
  Q_OBJECT
 public:
  explicit StatusWindowForm(QWidget* parent = nullptr);
  ~StatusWindowForm() override;

  void Form_Load();
  void Form_Unload();
  void chkShowVerbose_Click();
  void chkShowBuffer_Click();
  void cmdPause_Click();

  QPlainTextEdit* txtComm;
  QGroupBox* calTabCommFrame;
  QCheckBox* chkShowVerbose;
  QCheckBox* chkShowBuffer;
  QPushButton* cmdPause;

 private:
  void ShowStatusLine(const QString& line) override;
  void ShowWholeLog();
  void CaretToEnd();
  status_log::BoxText box_;
};
