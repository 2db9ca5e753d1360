#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <memory>

#include "StatusWindowForm.h"
#include "modMain.h"
#include "shared_state.h"

namespace {

using modMain::AddStatusMessage;

// The log text as the box displays it: every line end is one paragraph break.
QString AsShown(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

class StatusWindow : public SharedStateTest {
 protected:
  StatusWindowForm& Load() {
    window_ = std::make_unique<StatusWindowForm>();
    return *window_;
  }
  // The box once the event loop has turned.
  QString Shown() const { return ShownBy(*window_); }
  static QString ShownBy(StatusWindowForm& window) {
    QCoreApplication::sendPostedEvents(&window, QEvent::MetaCall);
    return window.txtComm->toPlainText();
  }
  std::unique_ptr<StatusWindowForm> window_;
};

TEST_F(StatusWindow, LinesLoggedBeforeLoadingAppearInOrder) {
  AddStatusMessage(QStringLiteral("* VELD32 Connected"));
  AddStatusMessage(QStringLiteral("Loading program data..."));
  EXPECT_FALSE(modMain::StatusWindowLoaded);
  Load();
  EXPECT_TRUE(modMain::StatusWindowLoaded);
  EXPECT_EQ(Shown(), QStringLiteral("* VELD32 Connected\nLoading program data...\n"));
  AddStatusMessage(QStringLiteral("Program data load complete."));
  EXPECT_EQ(Shown(), AsShown(modMain::StatusLogText));
}

TEST_F(StatusWindow, CaretStaysAtTheEnd) {
  AddStatusMessage(QStringLiteral("before"));
  StatusWindowForm& window = Load();
  window.show();
  for (int i = 0; i < 200; ++i) AddStatusMessage(QStringLiteral("line %1").arg(i));
  Shown();
  const QTextCursor caret = window.txtComm->textCursor();
  EXPECT_EQ(caret.position(), window.txtComm->document()->characterCount() - 1);
  EXPECT_FALSE(caret.hasSelection());
  const QScrollBar* bar = window.txtComm->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(StatusWindow, PausedLinesStayOutOfTheBoxOnly) {
  StatusWindowForm& window = Load();
  AddStatusMessage(QStringLiteral("one"));
  window.cmdPause->click();
  EXPECT_TRUE(modMain::StatusPaused);
  EXPECT_EQ(window.cmdPause->text(), QStringLiteral("Resume"));
  for (const char* line : {"p1", "p2", "p3"}) AddStatusMessage(QString::fromLatin1(line));
  window.cmdPause->click();
  EXPECT_FALSE(modMain::StatusPaused);
  EXPECT_EQ(window.cmdPause->text(), QStringLiteral("Pause"));
  AddStatusMessage(QStringLiteral("two"));
  EXPECT_EQ(Shown(), QStringLiteral("one\ntwo\n"));
  EXPECT_EQ(modMain::StatusLogText, QStringLiteral("one\r\np1\r\np2\r\np3\r\ntwo\r\n"));
}

TEST_F(StatusWindow, UnloadedWindowTakesNoLines) {
  Load();
  window_.reset();
  EXPECT_FALSE(modMain::StatusWindowLoaded);
  AddStatusMessage(QStringLiteral("after"));
  EXPECT_EQ(modMain::StatusLogText, QStringLiteral("after\r\n"));
}

// The box at exactly the cap, built of a repeated pattern behind `shift` fillers, so that the
// cut before its 50000th character walks across every position of the pattern.
class BoxCut : public StatusWindow, public ::testing::WithParamInterface<int> {};

TEST_P(BoxCut, AtTheCapCutsTo50001ThenAppends) {
  const QString unit = QStringLiteral("ab\rc\nd\r\n");  // lone CR and LF inside lines too
  QString full = QString(GetParam(), u'x');
  while (full.size() < 100000) full.append(unit);
  full.truncate(100000);
  modMain::StatusLogText = full;
  Load();
  modMain::StatusLogText.clear();
  AddStatusMessage(QStringLiteral("next"));
  EXPECT_EQ(Shown(), AsShown(full.mid(49999) + QStringLiteral("next\r\n")));
  AddStatusMessage(QStringLiteral("after"));
  EXPECT_EQ(Shown(), AsShown(full.mid(49999) + QStringLiteral("next\r\nafter\r\n")));
}

// 49999 = 6249 * 8 + 7: shift 0 puts the cut between CR and LF, 7 right after a line end,
// 4 after a lone CR, 2 after a lone LF, the others inside a line.
INSTANTIATE_TEST_SUITE_P(Shifts, BoxCut, ::testing::Values(0, 1, 2, 3, 4, 5, 6, 7));

TEST_F(StatusWindow, BurstBeyondTheCapShowsTheBoxRule) {
  // 3000 lines reach the box before it catches up: more than the cap, so the cut falls into
  // lines it has not shown yet.
  Load();
  status_log::BoxText expected;
  for (int i = 0; i < 3000; ++i) {
    const QString line =
        QStringLiteral("RX <- (MP1%1,5,3,09,0030,1,000,100,100,0100,0000,1000)").arg(i % 3 + 1);
    AddStatusMessage(line);
    expected.AddLine(line);
  }
  EXPECT_EQ(Shown(), AsShown(expected.Text()));
}

TEST_F(StatusWindow, LongRunShowsTheBoxRule) {
  // About 300000 characters in turns of a few lines each, through several cuts.
  Load();
  status_log::BoxText expected;
  for (int i = 0; i < 12000; ++i) {
    const QString line = QStringLiteral("line %1 of the long run").arg(i);
    AddStatusMessage(line);
    expected.AddLine(line);
    if (i % 7 == 0) Shown();
  }
  EXPECT_EQ(Shown(), AsShown(expected.Text()));
}

TEST_F(StatusWindow, BoxBelowTheCapKeepsEverything) {
  const QString full = QString(99999, u'y');
  modMain::StatusLogText = full;
  Load();
  AddStatusMessage(QStringLiteral("next"));
  EXPECT_EQ(Shown(), full + QStringLiteral("next\n"));
}

TEST_F(StatusWindow, WithoutTheSwitchTheFiltersAreHiddenAndOff) {
  StatusWindowForm& window = Load();
  EXPECT_TRUE(window.calTabCommFrame->isHidden());
  EXPECT_FALSE(window.chkShowVerbose->isChecked());
  EXPECT_FALSE(window.chkShowBuffer->isChecked());
  EXPECT_FALSE(modMain::ShowVerbose);
  EXPECT_FALSE(modMain::ShowRXBuffer);
}

TEST_F(StatusWindow, WithTheSwitchTheFiltersShowTicked) {
  Reset(QStringLiteral("veld32.exe /KOVDA"));
  StatusWindowForm& window = Load();
  EXPECT_FALSE(window.calTabCommFrame->isHidden());
  EXPECT_TRUE(window.chkShowVerbose->isChecked());
  EXPECT_TRUE(window.chkShowBuffer->isChecked());
}

TEST_F(StatusWindow, LoadShowsTheFlagsAsTheyStand) {
  Reset(QStringLiteral("veld32.exe /kovda"));
  modMain::ShowRXBuffer = false;
  StatusWindowForm& window = Load();
  EXPECT_TRUE(window.chkShowVerbose->isChecked());
  EXPECT_FALSE(window.chkShowBuffer->isChecked());
  EXPECT_FALSE(modMain::ShowRXBuffer);
}

struct FilterBox {
  const char* name;
  QCheckBox* StatusWindowForm::*box;
  bool* flag;
  bool* other;
};

void PrintTo(const FilterBox& c, std::ostream* os) { *os << c.name; }

class FilterClick : public StatusWindow, public ::testing::WithParamInterface<FilterBox> {};

TEST_P(FilterClick, SetsItsFlagOnly) {
  Reset(QStringLiteral("veld32.exe /kovda"));
  StatusWindowForm& window = Load();
  QCheckBox* box = window.*GetParam().box;
  box->click();
  EXPECT_FALSE(*GetParam().flag);
  EXPECT_TRUE(*GetParam().other);
  box->click();
  EXPECT_TRUE(*GetParam().flag);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, FilterClick,
    ::testing::Values(FilterBox{"ShowVerbose", &StatusWindowForm::chkShowVerbose,
                                &modMain::ShowVerbose, &modMain::ShowRXBuffer},
                      FilterBox{"ShowBuffer", &StatusWindowForm::chkShowBuffer,
                                &modMain::ShowRXBuffer, &modMain::ShowVerbose}),
    [](const auto& info) { return std::string(info.param.name); });

struct Placement {
  const char* name;
  QRect pixels;
  QString text;
};

void PrintTo(const Placement& c, std::ostream* os) { *os << c.name; }

class Layout : public StatusWindow, public ::testing::WithParamInterface<Placement> {};

TEST_P(Layout, FollowsTheTwipsAt15APixel) {
  StatusWindowForm& window = Load();
  const auto* control = window.findChild<QWidget*>(QString::fromLatin1(GetParam().name));
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->geometry(), GetParam().pixels);
  if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
    EXPECT_EQ(button->text(), GetParam().text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Layout,
    ::testing::Values(Placement{"txtComm", QRect(0, 0, 333, 277), {}},
                      Placement{"calTabCommFrame", QRect(4, 280, 209, 29), {}},
                      Placement{"chkShowVerbose", QRect(4, 8, 113, 17), "Show Verbose"},
                      Placement{"chkShowBuffer", QRect(104, 8, 101, 17), "Show RX Buffer"},
                      Placement{"cmdPause", QRect(248, 284, 81, 25), "Pause"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StatusWindow, IsTheFixedSizeStatusWindow) {
  StatusWindowForm& window = Load();
  EXPECT_EQ(window.objectName(), QStringLiteral("StatusWindowForm"));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Status"));
  EXPECT_EQ(window.size(), QSize(334, 321));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_TRUE(window.txtComm->isReadOnly());
}

TEST_F(StatusWindow, RefusesToCloseOnItsOwn) {
  StatusWindowForm& window = Load();
  window.show();
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(modMain::StatusWindowLoaded);
}

}  // namespace
