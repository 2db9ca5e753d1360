#include "config_files/modINIReadWrite.h"

#include "config_files/file_access.h"

namespace modINIReadWrite {
namespace {

// UTF-16 text starts with its byte-order mark, or, written without one, has its first two
// characters with a NUL in the same half each ("[\0P\0" or "\0[\0P").
bool IsUtf16(const QByteArray& bytes) {
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) return true;
  if (bytes.size() < 4) return false;
  const auto nul = [&bytes](int at) { return bytes[at] == '\0'; };
  return (nul(1) && nul(3) && !nul(0) && !nul(2)) || (nul(0) && nul(2) && !nul(1) && !nul(3));
}

}  // namespace

QString ReadINIString(const QString& section, const QString& key, const QString& fileName) {
  const IniLoad load = LoadIniFile(fileName);
  if (!load.document) return QString();
  return load.document->Value(section, key).value_or(QString()).left(kMaxValueChars);
}

bool WriteINIString(const QString& section, const QString& key, const QString& value,
                    const QString& fileName) {
  return ChangeIniFile(
             fileName,
             [&](IniDocument& document) { return document.SetValue(section, key, value); })
      .isEmpty();
}

IniLoad LoadIniFile(const QString& fileName) {
  file_access::ReadResult read = file_access::ReadWholeFile(fileName);
  switch (read.status) {
    case file_access::ReadResult::Status::Missing:
      return {std::nullopt, true, read.error};
    case file_access::ReadResult::Status::Failed:
      return {std::nullopt, false, read.error};
    case file_access::ReadResult::Status::Read:
      break;
  }
  if (IsUtf16(read.bytes))
    return {std::nullopt, false,
            QStringLiteral("The file %1 is UTF-16 text: save it as 8-bit text.")
                .arg(file_access::DisplayName(fileName))};
  return {IniDocument::FromBytes(read.bytes), false, {}};
}

QString SaveIniFile(const IniDocument& document, const QString& fileName, QStringList* notes) {
  return file_access::ReplaceFile(fileName, document.ToBytes(), notes);
}

QString ChangeIniFile(const QString& fileName, const std::function<bool(IniDocument&)>& change,
                      QStringList* notes) {
  // A target that no save may replace is refused before anything of it is read.
  if (QString problem = file_access::SaveTargetProblem(fileName); !problem.isEmpty())
    return problem;
  file_access::FileLock lock(fileName);
  if (QString busy = lock.Acquire(file_access::kSaveLockWaitMs); !busy.isEmpty()) return busy;
  // Only a file that truly does not exist starts empty; one that cannot be read is no empty
  // file.
  IniLoad load = LoadIniFile(fileName);
  if (!load.document && !load.missing) return load.error;
  IniDocument document = load.document.value_or(IniDocument());
  if (!change(document))
    return QStringLiteral("Cannot save %1: a name or value cannot be written as 8-bit text.")
        .arg(fileName);
  return SaveIniFile(document, fileName, notes);
}

}  // namespace modINIReadWrite
