#include "ui_core/dialog_folder.h"

#include <QDir>
#include <QFileInfo>

#include "ui_core/modMain.h"

namespace {
QString& LastFolder() {
  static QString folder;
  return folder;
}

bool IsFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }
}  // namespace

QString DialogStartFolder() {
  if (IsFolder(LastFolder())) return LastFolder();
  const QString desktop = modMain::GetDesktopFolder();
  return IsFolder(desktop) ? desktop : QDir::homePath();
}

void RememberDialogFolder(const QString& fileName) {
  if (!fileName.isEmpty()) LastFolder() = QFileInfo(fileName).absolutePath();
}
