#include <gtest/gtest.h>

#include <stdexcept>

#include "modMain.h"
#include "shared_state.h"
#include "status_log_text.h"

namespace {

// Text whose every position can be told from its neighbours.
QString Filler(qsizetype length) {
  QString text;
  text.reserve(length);
  for (qsizetype i = 0; i < length; ++i) text.append(QChar(static_cast<char16_t>(u'A' + i % 26)));
  return text;
}

struct CutCase {
  qsizetype length;
  qsizetype cut;
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.length; }

class CharsToCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(CharsToCut, DropsWhatTheCapRequires) {
  EXPECT_EQ(status_log::CharsToCut(GetParam().length), GetParam().cut);
}

INSTANTIATE_TEST_SUITE_P(Lengths, CharsToCut,
                         ::testing::Values(CutCase{0, 0}, CutCase{99999, 0}, CutCase{100000, 49999},
                                           CutCase{100010, 49999}, CutCase{149998, 49999},
                                           CutCase{149999, 99998}, CutCase{250000, 199996}));

struct PositionsCase {
  const char16_t* text;
  qsizetype chars;
  qsizetype positions;
};

void PrintTo(const PositionsCase& c, std::ostream* os) {
  QString text = QStringView(c.text).toString();
  text.replace(u'\r', QStringLiteral("<CR>")).replace(u'\n', QStringLiteral("<LF>"));
  *os << text.toStdString() << " cut at " << c.chars;
}

class DocumentPositions : public ::testing::TestWithParam<PositionsCase> {};

TEST_P(DocumentPositions, CountLineEndsAsOne) {
  const PositionsCase& c = GetParam();
  EXPECT_EQ(status_log::DocumentPositions(QStringView(c.text), c.chars), c.positions);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DocumentPositions,
    ::testing::Values(PositionsCase{u"ab\r\ncd", 2, 2},
                      PositionsCase{u"ab\r\ncd", 3, 2},  // inside CR LF
                      PositionsCase{u"ab\r\ncd", 4, 3}, PositionsCase{u"ab\r\ncd", 6, 5},
                      PositionsCase{u"a\rb", 2, 2}, PositionsCase{u"a\nb", 2, 2},
                      PositionsCase{u"\r\r\n", 2, 1}, PositionsCase{u"\r\r\n", 3, 2}));

class StatusLogText : public SharedStateTest {};

TEST_F(StatusLogText, LineBelowTheCapIsAppended) {
  modMain::StatusLogText = Filler(99990);
  modMain::AddStatusMessage(QStringLiteral("12345"));
  EXPECT_EQ(modMain::StatusLogText, Filler(99990) + QStringLiteral("12345\r\n"));
}

TEST_F(StatusLogText, ReachingTheCapKeepsFromThe50000thCharacterOn) {
  const QString before = Filler(99990);
  const QString line = QStringLiteral("0123456789abcdefgh");
  modMain::StatusLogText = before;
  modMain::AddStatusMessage(line);
  EXPECT_EQ(modMain::StatusLogText.size(), 50011);
  EXPECT_EQ(modMain::StatusLogText, (before + line + QStringLiteral("\r\n")).mid(49999));
}

TEST_F(StatusLogText, OverlongLineLeavesTheLogBelowTheCap) {
  const QString line = Filler(160000);
  modMain::AddStatusMessage(line);
  EXPECT_EQ(modMain::StatusLogText, (line + QStringLiteral("\r\n")).mid(99998));
}

TEST_F(StatusLogText, LinesAreKeptAsGivenInTheirOrder) {
  modMain::AddStatusMessage(QStringLiteral("RX <- (*)"));
  modMain::AddStatusMessage(QString());
  modMain::AddStatusMessage(QStringLiteral("TX -> (MP11)"));
  EXPECT_EQ(modMain::StatusLogText, QStringLiteral("RX <- (*)\r\n\r\nTX -> (MP11)\r\n"));
}

class ThrowingView : public modMain::StatusLogView {
 public:
  void ShowStatusLine(const QString&) override { throw std::runtime_error("window gone"); }
};

TEST_F(StatusLogText, FailingWindowDoesNotReachTheCaller) {
  ThrowingView view;
  modMain::SetStatusLogView(&view);
  modMain::StatusWindowLoaded = true;
  EXPECT_NO_THROW(modMain::AddStatusMessage(QStringLiteral("kept")));
  EXPECT_EQ(modMain::StatusLogText, QStringLiteral("kept\r\n"));
}

}  // namespace
