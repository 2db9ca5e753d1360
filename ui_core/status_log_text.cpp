#include "ui_core/status_log_text.h"

namespace status_log {

namespace {
constexpr QStringView kLineEnd = u"\r\n";
}

qsizetype CharsToCut(qsizetype length) {
  if (length < kCapChars) return 0;
  return ((length - kCapChars) / kCutChars + 1) * kCutChars;
}

void AppendLine(QString& log, QStringView line) {
  log.append(line).append(kLineEnd);
  if (const qsizetype cut = CharsToCut(log.size()); cut > 0) log.remove(0, cut);
}

qsizetype DocumentPositions(QStringView text, qsizetype chars) {
  qsizetype positions = 0;
  qsizetype i = 0;
  while (i < chars) {
    const bool pair = text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
    if (pair && i + 1 == chars) break;  // the separator belongs to the LF that stays
    ++positions;
    i += pair ? 2 : 1;
  }
  return positions;
}

void BoxText::Reset(const QString& text) { text_ = text; }

qsizetype BoxText::AddLine(QStringView line) {
  qsizetype positions = 0;
  if (const qsizetype cut = CharsToCut(text_.size()); cut > 0) {
    positions = DocumentPositions(text_, cut);
    text_.remove(0, cut);
  }
  text_.append(line).append(kLineEnd);
  return positions;
}

}  // namespace status_log
