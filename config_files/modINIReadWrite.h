#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "config_files/ini_document.h"

// Reading and writing the program configuration files one key at a time, with the rules of
// IniDocument. Files are 8-bit text, read whole in one bounded pass and replaced whole (see
// file_access.h).
namespace modINIReadWrite {

// The longest value ReadINIString gives back; a longer one is cut to its first 49 characters.
inline constexpr qsizetype kMaxValueChars = 49;

// The value of `key` in `section` of `fileName`; empty when the file, the section or the key
// is missing or the file cannot be read.
QString ReadINIString(const QString& section, const QString& key, const QString& fileName);

// Sets `key` in `section` of `fileName` to `value`, creating the file, the section or the key
// as needed and keeping every other byte of the file, under the file's lock. True when the new
// content reached the disk; on false the file is as it was.
bool WriteINIString(const QString& section, const QString& key, const QString& value,
                    const QString& fileName);

struct IniLoad {
  std::optional<IniDocument> document;  // nothing when the file is missing or cannot be used
  bool missing = false;                 // the file does not exist, and that alone
  QString error;                        // why there is no document, for the operator
};

// The whole content of `fileName` ("-" for standard input). 8-bit text only: UTF-16 text is
// refused with its own message.
IniLoad LoadIniFile(const QString& fileName);

// Puts `document` in the place of `fileName` (file_access::ReplaceFile). Empty on success, else
// the reason; the old file is then untouched. What of its rights the file could not keep is added
// to `notes`.
QString SaveIniFile(const IniDocument& document, const QString& fileName,
                    QStringList* notes = nullptr);

// The read-modify-write of one file under its lock: `change` edits the document as loaded (an
// empty one when the file does not exist) and returns false to leave the file alone. Empty on
// success, else the reason; `notes` as for SaveIniFile.
QString ChangeIniFile(const QString& fileName, const std::function<bool(IniDocument&)>& change,
                      QStringList* notes = nullptr);

}  // namespace modINIReadWrite
