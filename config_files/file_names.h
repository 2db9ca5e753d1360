#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// File names as bytes and as text. On POSIX systems a name is any bytes, not always UTF-8, and
// a command-line argument too. Such a name is held in a QString without loss: UTF-8 decodes as
// usual, and each byte that is not part of valid UTF-8 becomes the lone surrogate U+DC80..U+DCFF
// (U+DC00 + the byte), which no valid UTF-8 decodes to. Encoding for the file system turns those
// back into their bytes. Windows names are UTF-16 already and pass unchanged.
namespace file_names {

// The text of a name or an argument given as bytes.
QString FromBytes(const QByteArray& bytes);
// The bytes of `name` for the file system: the inverse of FromBytes.
QByteArray ToBytes(const QString& name);
// `text` (a message, a name) with each byte kept from a name shown as \xHH, so that it reads
// unambiguously where the terminal would show a replacement character.
QString Readable(const QString& text);

// The program's arguments after its name: from argv by FromBytes on POSIX systems, as Qt has
// them on Windows. Call after the QCoreApplication exists.
QStringList CommandLineArguments(int argc, char** argv);

}  // namespace file_names
