#include "ui_core/StatusWindowForm.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include "ui_core/dialog_folder.h"
#include "ui_core/operator_prompts.h"

namespace {

// The longest the box lags behind the log while nothing paints it: one frame at 60 Hz.
constexpr int kFrameMs = 16;

// Layouts are drawn in twips; 15 twips make one pixel at 96 dots per inch.
constexpr int Px(int twips) { return (twips + 7) / 15; }

QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(Px(left), Px(top), Px(width), Px(height));
}

}  // namespace

StatusWindowForm::StatusWindowForm(OperatorPrompts& prompts, QWidget* parent)
    : QWidget(parent),
      txtComm(new QPlainTextEdit(this)),
      calTabCommFrame(new QGroupBox(this)),
      chkShowVerbose(new QCheckBox(QStringLiteral("Show Verbose"), calTabCommFrame)),
      chkShowBuffer(new QCheckBox(QStringLiteral("Show RX Buffer"), calTabCommFrame)),
      cmdPause(new QPushButton(QStringLiteral("Pause"), this)),
      prompts_(prompts),
      updateTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("StatusWindowForm"));
  setWindowTitle(QStringLiteral("Status"));
  setFixedSize(Px(5010), Px(4815));

  txtComm->setObjectName(QStringLiteral("txtComm"));
  txtComm->setGeometry(TwipsRect(0, 0, 5000, 4155));
  txtComm->setReadOnly(true);
  // The log is rewritten line by line for the whole run; an undo history would only grow.
  txtComm->setUndoRedoEnabled(false);
  // Long lines (the advice, error texts) wrap inside the box rather than run past its edge.
  txtComm->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  txtComm->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(txtComm, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu* menu = CreateLogMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(txtComm->viewport()->mapToGlobal(at));
  });

  calTabCommFrame->setObjectName(QStringLiteral("calTabCommFrame"));
  calTabCommFrame->setGeometry(TwipsRect(60, 4200, 3135, 435));
  // The frame's twips layout was drawn for a narrow 8-point face; the wider faces of other
  // desktops need a smaller size to keep the two captions apart.
  QFont small = calTabCommFrame->font();
  small.setPointSizeF(7);
  calTabCommFrame->setFont(small);
  chkShowVerbose->setObjectName(QStringLiteral("chkShowVerbose"));
  chkShowVerbose->setGeometry(TwipsRect(60, 120, 1695, 255));
  chkShowBuffer->setObjectName(QStringLiteral("chkShowBuffer"));
  chkShowBuffer->setGeometry(TwipsRect(1560, 120, 1515, 255));

  cmdPause->setObjectName(QStringLiteral("cmdPause"));
  txtComm->setToolTip(
      QStringLiteral("The communication log; right-click to copy, clear or save it"));
  chkShowVerbose->setToolTip(
      QStringLiteral("Log every frame sent to and received from the tester"));
  chkShowBuffer->setToolTip(QStringLiteral("Log the raw receive buffer as it is read"));
  cmdPause->setToolTip(QStringLiteral("Stop or resume showing new lines (the log keeps them)"));
  cmdPause->setGeometry(TwipsRect(3720, 4260, 1215, 375));

  // A box set from the program reports its new value just as an operator's click does.
  connect(chkShowVerbose, &QCheckBox::toggled, this, &StatusWindowForm::chkShowVerbose_Click);
  connect(chkShowBuffer, &QCheckBox::toggled, this, &StatusWindowForm::chkShowBuffer_Click);
  connect(cmdPause, &QPushButton::clicked, this, &StatusWindowForm::cmdPause_Click);

  updateTimer_->setObjectName(QStringLiteral("updateTimer"));
  updateTimer_->setSingleShot(true);
  updateTimer_->setInterval(kFrameMs);
  connect(updateTimer_, &QTimer::timeout, this, &StatusWindowForm::UpdateBox);

  Form_Load();
}

StatusWindowForm::~StatusWindowForm() { Form_Unload(); }

void StatusWindowForm::Form_Load() {
  modMain::DisableCloseButton(this);
  if (modMain::IsDiagnosticMode()) {
    calTabCommFrame->setVisible(true);
    chkShowVerbose->setChecked(modMain::ShowVerbose);
    chkShowBuffer->setChecked(modMain::ShowRXBuffer);
  } else {
    calTabCommFrame->setVisible(false);
  }
  ShowWholeLog();
  modMain::SetStatusLogView(this);
  modMain::StatusWindowLoaded = true;
}

void StatusWindowForm::Form_Unload() {
  modMain::StatusWindowLoaded = false;
  modMain::SetStatusLogView(nullptr);
}

void StatusWindowForm::chkShowVerbose_Click() {
  modMain::ShowVerbose = chkShowVerbose->isChecked();
}

void StatusWindowForm::chkShowBuffer_Click() { modMain::ShowRXBuffer = chkShowBuffer->isChecked(); }

void StatusWindowForm::cmdPause_Click() {
  modMain::StatusPaused = !modMain::StatusPaused;
  cmdPause->setText(modMain::StatusPaused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
}

QMenu* StatusWindowForm::CreateLogMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("menuLog"));
  QAction* copy =
      menu->addAction(QStringLiteral("&Copy"), QKeySequence::Copy, txtComm, &QPlainTextEdit::copy);
  copy->setEnabled(txtComm->textCursor().hasSelection());
  menu->addAction(QStringLiteral("Select &All"), QKeySequence::SelectAll, txtComm,
                  &QPlainTextEdit::selectAll);
  menu->addSeparator();
  menu->addAction(QStringLiteral("C&lear"), this, &StatusWindowForm::ClearBox);
  menu->addAction(QStringLiteral("&Save Log As..."), this, &StatusWindowForm::menuSaveLogAs_Click);
  return menu;
}

void StatusWindowForm::ClearBox() {
  updateTimer_->stop();
  box_.Reset(QString());
  pendingCut_ = 0;
  pendingText_.clear();
  txtComm->clear();
}

QString StatusWindowForm::SaveLogAs(const QString& fileName) {
  QSaveFile file(fileName);
  const QByteArray bytes = modMain::StatusLogText.toUtf8();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    return file.errorString();
  return {};
}

void StatusWindowForm::menuSaveLogAs_Click() {
  const QString fileName =
      prompts_.SaveFileName(QStringLiteral("Text files (*.txt)"), DialogStartFolder());
  if (fileName.isEmpty()) return;
  RememberDialogFolder(fileName);
  const QString error = SaveLogAs(fileName);
  if (!error.isEmpty())
    prompts_.Inform(QStringLiteral("The log could not be saved to %1: %2").arg(fileName, error));
}

void StatusWindowForm::ShowWholeLog() {
  updateTimer_->stop();
  box_.Reset(modMain::StatusLogText);
  pendingCut_ = 0;
  pendingText_.clear();
  txtComm->setPlainText(modMain::StatusLogText);
  CaretToEnd();
}

void StatusWindowForm::ShowStatusLine(const QString& line) {
  // The box's content follows its rule line by line in box_; the document catches up once a
  // frame, trimming its front and appending: lines that arrive one per turn of the event loop
  // (frames at a fast polling rate) then cost one layout, scroll and repaint a frame rather than
  // one each. Whatever the box shows is the rule's text of a moment at most a frame ago.
  pendingCut_ += box_.AddLine(line);
  pendingText_.append(line).append(u"\r\n");
  if (!updateTimer_->isActive()) updateTimer_->start();
}

void StatusWindowForm::UpdateBox() {
  updateTimer_->stop();
  QTextDocument* document = txtComm->document();
  if (pendingCut_ > document->characterCount() - 1) {
    // The burst was long enough to cut into lines not yet shown.
    txtComm->setPlainText(box_.Text());
  } else {
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    if (pendingCut_ > 0) {
      cursor.setPosition(static_cast<int>(pendingCut_), QTextCursor::KeepAnchor);
      cursor.removeSelectedText();
    }
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(pendingText_);
    cursor.endEditBlock();
  }
  pendingCut_ = 0;
  pendingText_.clear();
  CaretToEnd();
}

void StatusWindowForm::CaretToEnd() { txtComm->moveCursor(QTextCursor::End); }
