#include "modINIReadWrite.h"

#include <QFile>
#include <QSaveFile>

namespace modINIReadWrite {

QString ReadINIString(const QString& section, const QString& key, const QString& fileName) {
  const std::optional<IniDocument> document = LoadIniFile(fileName);
  if (!document) return QString();
  return document->Value(section, key).value_or(QString()).left(kMaxValueChars);
}

bool WriteINIString(const QString& section, const QString& key, const QString& value,
                    const QString& fileName) {
  std::optional<IniDocument> document = LoadIniFile(fileName);
  if (!document || !document->SetValue(section, key, value)) return false;
  return SaveIniFile(*document, fileName);
}

std::optional<IniDocument> LoadIniFile(const QString& fileName) {
  QFile file(fileName);
  if (!file.exists()) return IniDocument();
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  return IniDocument::FromBytes(bytes);
}

bool SaveIniFile(const IniDocument& document, const QString& fileName) {
  // Replacing the file would also go past its read-only mark, so its writability is asked
  // first, with the caller's own rights.
  if (QFile existing(fileName); existing.exists() && !existing.open(QIODevice::Append))
    return false;
  // Never written in place: a write that fails halfway must leave the old file whole, so a
  // folder that takes no temporary file fails the save.
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const QByteArray bytes = document.ToBytes();
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace modINIReadWrite
