#pragma once

#include <QString>
#include <optional>

#include "ini_document.h"

// Reading and writing the program configuration files one key at a time, with the rules of
// IniDocument. Files are 8-bit text and are opened and closed by every call.
namespace modINIReadWrite {

// The longest value ReadINIString gives back; a longer one is cut to its first 49 characters.
inline constexpr qsizetype kMaxValueChars = 49;

// The value of `key` in `section` of `fileName`; empty when the file, the section or the key
// is missing.
QString ReadINIString(const QString& section, const QString& key, const QString& fileName);

// Sets `key` in `section` of `fileName` to `value`, creating the file, the section or the key
// as needed and keeping every other byte of the file. True when the new content reached the
// disk; on false the file is as it was.
bool WriteINIString(const QString& section, const QString& key, const QString& value,
                    const QString& fileName);

// The whole content of `fileName`; an empty document when the file does not exist, nothing
// when it exists but cannot be read.
std::optional<IniDocument> LoadIniFile(const QString& fileName);

// Puts `document` in the place of `fileName`: the new content goes to a temporary file beside
// it, which replaces the old file only once complete. False, with the old file untouched, when
// that fails or the existing file is not writable.
bool SaveIniFile(const IniDocument& document, const QString& fileName);

}  // namespace modINIReadWrite
