#include "ui_core/operator_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace {
QWidget* DialogParent() { return QApplication::activeWindow(); }

QMessageBox::StandardButton Show(const QString& text, QMessageBox::StandardButtons buttons) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("VELD32"), text, buttons, DialogParent());
  return static_cast<QMessageBox::StandardButton>(box.exec());
}
}  // namespace

void QtOperatorPrompts::Inform(const QString& text) { Show(text, QMessageBox::Ok); }

bool QtOperatorPrompts::AskOkCancel(const QString& text) {
  return Show(text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

QString QtOperatorPrompts::OpenFileName(const QString& filter, const QString& startFolder) {
  return QFileDialog::getOpenFileName(DialogParent(), QString(), startFolder, filter);
}

QString QtOperatorPrompts::SaveFileName(const QString& filter, const QString& startFolder) {
  // The dialog adds the filter's extension to a name typed without one, before it confirms an
  // overwrite, so that the file is both found by the Open dialog's filter and never replaced
  // unasked.
  QFileDialog dialog(DialogParent(), QString(), startFolder, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  static const QRegularExpression kExtension(QStringLiteral("\\(\\*\\.(\\w+)\\)"));
  dialog.setDefaultSuffix(kExtension.match(filter).captured(1));
  dialog.selectFile(QString());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

QString QtOperatorPrompts::AskText(const QString& question, const QString& current) {
  bool ok = false;
  const QString text = QInputDialog::getText(DialogParent(), QStringLiteral("VELD32"), question,
                                             QLineEdit::Normal, current, &ok);
  return ok ? text : QString();
}

int QtOperatorPrompts::Choose(const QString& question, const QStringList& items, int current) {
  bool ok = false;
  const QString item = QInputDialog::getItem(DialogParent(), QStringLiteral("VELD32"), question,
                                             items, current, false, &ok);
  return ok ? static_cast<int>(items.indexOf(item)) : -1;
}
