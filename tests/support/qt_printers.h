#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

// Lets GoogleTest print Qt texts readably in failure messages, and streams take them.
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
  return out << text.toStdString();
}
inline std::ostream& operator<<(std::ostream& out, const QStringList& texts) {
  return out << texts.join(u',').toStdString();
}
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
  *out << '"' << bytes.toStdString() << '"';
}
