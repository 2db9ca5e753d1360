#pragma once

#include <QString>
#include <QStringView>

// The size rule of the communication log, free of widgets. A text that stands at 100000
// characters or more loses its oldest 49999 characters (it keeps everything from the 50000th
// on), wherever the cut falls, even inside a line. The cut repeats while the text is still at
// the cap, so that one overlong line cannot leave the log above it.
namespace status_log {

inline constexpr qsizetype kCapChars = 100000;
inline constexpr qsizetype kCutChars = 49999;

// How many leading characters a text of `length` characters loses to the cap.
qsizetype CharsToCut(qsizetype length);

// The rule of StatusLogText: the line and CR LF go on first, then the cap applies.
void AppendLine(QString& log, QStringView line);

// How many positions the first `chars` characters of `text` take in a QTextDocument, where
// each line end (CR LF, a lone CR, a lone LF) is one block separator. When the cut at `chars`
// splits a CR LF, the separator stays, since the LF left behind still ends a line.
qsizetype DocumentPositions(QStringView text, qsizetype chars);

// The log window's copy of what it shows. Its rule runs the other way round: the cap applies
// before the line goes on. Each addition tells how far to trim the front of the document that
// displays the same text.
class BoxText {
 public:
  void Reset(const QString& text);
  // Cuts when at the cap, then appends `line` and CR LF. Returns the number of document
  // positions the cut took from the front (0 without a cut).
  qsizetype AddLine(QStringView line);
  const QString& Text() const { return text_; }

 private:
  QString text_;
};

}  // namespace status_log
