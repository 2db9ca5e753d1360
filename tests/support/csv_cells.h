#pragma once

#include <QByteArray>
#include <QList>

// The lines of CSV text and the cells of each, as a spreadsheet reads them back (quotes undone,
// line breaks inside quotes kept).
inline QList<QList<QByteArray>> CsvCells(const QByteArray& text) {
  QList<QList<QByteArray>> lines;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (lines.isEmpty()) lines.push_back({});
    if (lines.back().isEmpty()) lines.back().push_back({});
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      lines.back().back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      lines.back().push_back({});
    } else if (c == '\n' && !quoted) {
      lines.push_back({});
    } else {
      lines.back().back() += c;
    }
  }
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
  return lines;
}
