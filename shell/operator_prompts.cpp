#include "operator_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

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
  // The Save As dialog confirms an overwrite itself.
  return QFileDialog::getSaveFileName(DialogParent(), QString(), startFolder, filter);
}
