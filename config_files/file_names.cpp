#include "config_files/file_names.h"

#include <QCoreApplication>

namespace file_names {
namespace {

constexpr char16_t kKeptByteBase = 0xDC00;

bool IsKeptByte(QChar c) { return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF; }

// The length of the valid UTF-8 sequence at `at` (no overlong form, no surrogate, nothing above
// U+10FFFF), or 0.
qsizetype ValidSequence(const QByteArray& bytes, qsizetype at) {
  const auto byte = [&bytes](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  qsizetype length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > bytes.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (qsizetype i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

QString FromBytes(const QByteArray& bytes) {
  QString text;
  qsizetype at = 0;
  while (at < bytes.size()) {
    if (const qsizetype length = ValidSequence(bytes, at); length > 0) {
      text += QString::fromUtf8(bytes.constData() + at, length);
      at += length;
    } else {
      text += QChar(static_cast<char16_t>(kKeptByteBase + static_cast<unsigned char>(bytes[at])));
      ++at;
    }
  }
  return text;
}

QByteArray ToBytes(const QString& name) {
  QByteArray bytes;
  qsizetype start = 0;  // of the run of ordinary text not yet encoded
  for (qsizetype i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !IsKeptByte(name[i])) continue;
    bytes += QStringView(name).mid(start, i - start).toUtf8();
    if (i < name.size()) bytes += static_cast<char>(name[i].unicode() - kKeptByteBase);
    start = i + 1;
  }
  return bytes;
}

QString Readable(const QString& text) {
  QString readable;
  for (const QChar c : text) {
    if (IsKeptByte(c)) {
      readable +=
          QStringLiteral("\\x") + QString::number(c.unicode() - kKeptByteBase, 16).toUpper();
    } else {
      readable += c;
    }
  }
  return readable;
}

QStringList CommandLineArguments([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
  return QCoreApplication::arguments().mid(1);
#else
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << FromBytes(QByteArray(argv[i]));
  return arguments;
#endif
}

}  // namespace file_names
