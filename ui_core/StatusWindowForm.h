#pragma once

#include <QWidget>

#include "ui_core/modMain.h"
#include "ui_core/status_log_text.h"

class OperatorPrompts;
class QCheckBox;
class QGroupBox;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The communication log window "Status": the log as it grows, a Pause button and, in
// diagnostic mode only, the two filters of frame logging. Building it loads it (Form_Load) and
// destroying it unloads it (Form_Unload); while loaded it takes the log's lines through
// AddStatusMessage; the box shows them, with its caret and view at the newest line, within a
// frame (16 ms), in batches that follow the log's cap and cut exactly. It cannot be closed on
// its own.
class StatusWindowForm : public QWidget, private modMain::StatusLogView {
  Q_OBJECT
 public:
  // The log's Save As dialog and its failures go through `prompts`.
  explicit StatusWindowForm(OperatorPrompts& prompts, QWidget* parent = nullptr);
  ~StatusWindowForm() override;

  void Form_Load();
  void Form_Unload();
  void chkShowVerbose_Click();
  void chkShowBuffer_Click();
  void cmdPause_Click();

  // The box's context menu: Copy, Select All, Clear (the box only; the log keeps its lines)
  // and Save Log As... (the whole log). The caller owns the menu.
  QMenu* CreateLogMenu();
  // Writes the whole log to `fileName`, all or nothing; the reason when it failed, else empty.
  QString SaveLogAs(const QString& fileName);

  QPlainTextEdit* txtComm;
  QGroupBox* calTabCommFrame;
  QCheckBox* chkShowVerbose;
  QCheckBox* chkShowBuffer;
  QPushButton* cmdPause;

 private:
  OperatorPrompts& prompts_;
  void ShowStatusLine(const QString& line) override;
  void ShowWholeLog();
  void CaretToEnd();
  void ClearBox();
  void menuSaveLogAs_Click();
  void UpdateBox();
  status_log::BoxText box_;
  qsizetype pendingCut_ = 0;  // document positions still to trim from the front
  QString pendingText_;       // lines still to append
  QTimer* updateTimer_;       // runs while lines wait for the box
};
