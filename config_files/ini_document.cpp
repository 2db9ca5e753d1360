#include "config_files/ini_document.h"

#include <algorithm>

namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");
const QByteArray kUtf8ByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");

// What the platform's private-profile read does: one pair of matching quotes around a value
// goes.
QByteArray WithoutQuotes(const QByteArray& value) {
  const bool quoted = value.size() >= 2 && value.front() == value.back() &&
                      (value.front() == '"' || value.front() == '\'');
  return quoted ? value.mid(1, value.size() - 2) : value;
}

// The name in "[name]", or nothing when the line is no section header.
std::optional<QByteArray> SectionName(const QByteArray& line) {
  const QByteArray trimmed = line.trimmed();
  const qsizetype close = trimmed.indexOf(']');
  if (!trimmed.startsWith('[') || close < 0) return std::nullopt;
  return trimmed.mid(1, close - 1).trimmed();
}

bool IsComment(const QByteArray& trimmed) {
  return trimmed.startsWith(';') || trimmed.startsWith('#');
}

// The key and the value of "key=value", or nothing when the line holds no key.
std::optional<std::pair<QByteArray, QByteArray>> KeyAndValue(const QByteArray& line) {
  const QByteArray trimmed = line.trimmed();
  const qsizetype equals = trimmed.indexOf('=');
  if (equals <= 0 || IsComment(trimmed)) return std::nullopt;
  return std::pair{trimmed.left(equals).trimmed(), trimmed.mid(equals + 1).trimmed()};
}

bool SameName(const QByteArray& inFile, const QString& asked) {
  return QString::fromLatin1(inFile).compare(asked.trimmed(), Qt::CaseInsensitive) == 0;
}

bool IsLatin1(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() > 0xFF) return false;
  return true;
}

bool HoldsLineEnd(const QString& text) { return text.contains(u'\r') || text.contains(u'\n'); }

bool IsWritableName(const QString& name, QStringView forbidden) {
  const QString trimmed = name.trimmed();
  if (trimmed.isEmpty() || HoldsLineEnd(name) || !IsLatin1(name)) return false;
  for (const QChar c : forbidden)
    if (trimmed.contains(c)) return false;
  return true;
}

bool IsWritableKey(const QString& key) {
  const QString trimmed = key.trimmed();
  // A key that began like a header or a comment would not read back as a key.
  return IsWritableName(key, u"=") && !trimmed.startsWith(u'[') && !trimmed.startsWith(u';') &&
         !trimmed.startsWith(u'#');
}

}  // namespace

IniDocument IniDocument::FromBytes(const QByteArray& bytes) {
  IniDocument document;
  qsizetype start = 0;
  if (bytes.startsWith(kUtf8ByteOrderMark)) {
    document.byteOrderMark_ = kUtf8ByteOrderMark;
    start = kUtf8ByteOrderMark.size();
  }
  while (start < bytes.size()) {
    qsizetype end = start;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
    if (end == bytes.size()) {
      document.lines_.push_back({bytes.mid(start), QByteArray()});
      break;
    }
    const qsizetype endLength =
        bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1;
    document.lines_.push_back({bytes.mid(start, end - start), bytes.mid(end, endLength)});
    start = end + endLength;
  }
  return document;
}

QByteArray IniDocument::ToBytes() const {
  QByteArray bytes = byteOrderMark_;
  for (const Line& line : lines_) bytes.append(line.text).append(line.end);
  return bytes;
}

std::optional<IniDocument::SectionSpan> IniDocument::FindSection(const QString& section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(lines_[i].text);
    if (!name || !SameName(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end].text)) ++end;
    return SectionSpan{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> IniDocument::FindKey(const SectionSpan& span, const QString& key) const {
  for (std::size_t i = span.header + 1; i < span.end; ++i) {
    const auto pair = KeyAndValue(lines_[i].text);
    if (pair && SameName(pair->first, key)) return i;
  }
  return std::nullopt;
}

std::optional<QString> IniDocument::Value(const QString& section, const QString& key) const {
  const auto span = FindSection(section);
  if (!span) return std::nullopt;
  const auto at = FindKey(*span, key);
  if (!at) return std::nullopt;
  return QString::fromLatin1(WithoutQuotes(KeyAndValue(lines_[*at].text)->second));
}

int IniDocument::SectionCount(const QString& section) const {
  return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const Line& line) {
    const auto name = SectionName(line.text);
    return name && SameName(*name, section);
  }));
}

int IniDocument::KeyCount(const QString& section, const QString& key) const {
  const auto span = FindSection(section);
  if (!span) return 0;
  int count = 0;
  for (std::size_t i = span->header + 1; i < span->end; ++i) {
    const auto pair = KeyAndValue(lines_[i].text);
    if (pair && SameName(pair->first, key)) ++count;
  }
  return count;
}

void IniDocument::InsertLine(std::size_t at, QByteArray text) {
  // The line before may be the file's last one, written without a line end.
  if (at > 0 && lines_[at - 1].end.isEmpty()) lines_[at - 1].end = kCrLf;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), kCrLf});
}

bool IniDocument::SetValue(const QString& section, const QString& key, const QString& value) {
  if (!IsWritableName(section, u"]") || !IsWritableKey(key) || HoldsLineEnd(value) ||
      !IsLatin1(value))
    return false;
  const QByteArray valueBytes = value.toLatin1();
  const auto span = FindSection(section);
  if (!span) {
    if (!lines_.empty() && !lines_.back().text.trimmed().isEmpty())
      InsertLine(lines_.size(), QByteArray());
    InsertLine(lines_.size(), '[' + section.trimmed().toLatin1() + ']');
    InsertLine(lines_.size(), key.trimmed().toLatin1() + '=' + valueBytes);
    return true;
  }
  if (const auto at = FindKey(*span, key)) {
    // The key keeps the spelling the file gave it; only its value changes.
    lines_[*at].text = KeyAndValue(lines_[*at].text)->first + '=' + valueBytes;
    return true;
  }
  std::size_t after = span->header + 1;
  for (std::size_t i = span->header + 1; i < span->end; ++i)
    if (!lines_[i].text.trimmed().isEmpty()) after = i + 1;
  InsertLine(after, key.trimmed().toLatin1() + '=' + valueBytes);
  return true;
}
