#pragma once

#include <QByteArray>
#include <QList>

#include <utility>

// The lines of CSV text and the cells of each, as a spreadsheet reads them back (quotes undone,
// line breaks inside quotes kept).
inline QList<QList<QByteArray>> CsvCells(const QByteArray& text) {
  QList<QList<QByteArray>> lines;
  bool quoted = false, fresh = true;  // fresh: the next character starts a line
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (std::exchange(fresh, false)) lines.push_back({QByteArray()});
    const char c = text[i];
    if (quoted && c == '"' && text.mid(i + 1, 1) == "\"")
      lines.back().back() += text[++i];
    else if (c == '"')
      quoted = !quoted;
    else if (c == ',' && !quoted)
      lines.back().push_back({});
    else if (c == '\n' && !quoted)
      fresh = true;
    else
      lines.back().back() += c;
  }
  return lines;
}
