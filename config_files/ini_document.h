#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// One INI file held in memory, with the private-profile rules: section and key names match
// without regard to letter case (the first match counts); setting an existing key replaces
// its line in place, a new key goes after the last non-blank line of its section, a new
// section goes at the end behind a blank line. Every other byte stays as loaded, so ToBytes()
// of an unchanged document gives back exactly what was loaded. Names and values are 8-bit
// (Latin-1) text; lines end in CR LF, LF or CR alone, and new lines are written with CR LF. A
// UTF-8 byte-order mark before the first line is skipped and kept.
class IniDocument {
 public:
  static IniDocument FromBytes(const QByteArray& bytes);
  QByteArray ToBytes() const;

  // The value of `key` in `section`, blanks around it and then one pair of matching double or
  // single quotes removed; nothing when either is missing.
  std::optional<QString> Value(const QString& section, const QString& key) const;
  // How often `section` stands in the document, and `key` in the first such section: a name
  // given twice is read from its first place only, which the operator may not expect.
  int SectionCount(const QString& section) const;
  int KeyCount(const QString& section, const QString& key) const;
  // Sets `key` in `section` to `value`, adding the key or the section as needed. False, with
  // the document unchanged, for an empty name or for text that would break the line structure
  // (a line end anywhere, "=" or "]" in a name) or that 8-bit text cannot hold.
  bool SetValue(const QString& section, const QString& key, const QString& value);

 private:
  struct Line {
    QByteArray text;  // without its line end
    QByteArray end;   // "\r\n", "\n", "\r", or empty for a last line without one
  };
  struct SectionSpan {
    std::size_t header;
    std::size_t end;  // one past the section's last line
  };
  std::optional<SectionSpan> FindSection(const QString& section) const;
  std::optional<std::size_t> FindKey(const SectionSpan& span, const QString& key) const;
  void InsertLine(std::size_t at, QByteArray text);

  QByteArray byteOrderMark_;
  std::vector<Line> lines_;
};
