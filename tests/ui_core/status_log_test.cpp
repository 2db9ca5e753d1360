#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>

#include <memory>
#include <stdexcept>

#include "tests/support/file_bytes.h"
#include "tests/support/scripted_prompts.h"
#include "ui_core/StatusWindowForm.h"
#include "ui_core/modMain.h"
#include "ui_core/status_log_text.h"

namespace {

using modMain::AddStatusMessage;

// Text whose every position can be told from its neighbours.
QString Filler(qsizetype length) {
  return QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(length / 26 + 1).left(length);
}

// The log text as the box displays it: every line end is one paragraph break.
QString AsShown(QString text) {
  return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
}

// Every test starts from the shared state of a plain start without the diagnostic switch, and
// leaves it so.
class StatusLog : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset(const QString& commandLine = QStringLiteral("veld32.exe")) {
    modMain::SetCommandLine(commandLine);
    modMain::StatusLogText.clear();
    modMain::StatusPaused = false;
    modMain::SetStatusLogView(nullptr);
    modMain::InitSharedFlags();
  }
  StatusWindowForm& Load() {
    window_.reset();
    window_ = std::make_unique<StatusWindowForm>(prompts_);
    return *window_;
  }
  // The box once it has caught up with the lines that wait for it.
  QString Shown() const {
    auto* timer = window_->findChild<QTimer*>(QStringLiteral("updateTimer"));
    if (timer->isActive()) {
      QSignalSpy caughtUp(timer, &QTimer::timeout);
      EXPECT_TRUE(caughtUp.wait());
    }
    return window_->txtComm->toPlainText();
  }
  ScriptedPrompts prompts_;
  std::unique_ptr<StatusWindowForm> window_;
};

// The line and CR LF go on first; at 100000 characters or more the log then keeps everything
// from its 50000th character on, and cuts again while still at the cap. The box cuts before it
// appends, so below the cap it takes the line whole.
TEST_F(StatusLog, LogKeepsFromTheCutOnAndTheBoxCutsFirst) {
  // characters in the log before, characters of the line, where the log keeps from after it
  const std::tuple<qsizetype, qsizetype, qsizetype> cases[] = {
      {0, 0, 0},          {99990, 7, 0},      {99990, 8, 49999},
      {99990, 18, 49999}, {0, 149996, 49999}, {0, 149997, 99998}};
  for (const auto& [beforeLength, lineLength, keptFrom] : cases) {
    modMain::StatusLogText = Filler(beforeLength);
    const QString all = Filler(beforeLength) + Filler(lineLength).toLower() + "\r\n";
    Load();
    AddStatusMessage(Filler(lineLength).toLower());
    EXPECT_EQ(modMain::StatusLogText, all.mid(keptFrom)) << beforeLength << " + " << lineLength;
    EXPECT_EQ(Shown(), AsShown(all)) << beforeLength << " + " << lineLength;
  }
}

TEST_F(StatusLog, FailingWindowDoesNotReachTheCaller) {
  struct : modMain::StatusLogView {
    void ShowStatusLine(const QString&) override { throw std::runtime_error("window gone"); }
  } view;
  modMain::SetStatusLogView(&view);
  modMain::StatusWindowLoaded = true;
  EXPECT_NO_THROW(AddStatusMessage(QStringLiteral("kept")));
  EXPECT_EQ(modMain::StatusLogText, QStringLiteral("kept\r\n"));
}

// The box shows the log as it stood when the window loaded, then every line not logged while
// paused; the log itself keeps them all.
TEST_F(StatusLog, LinesReachTheBoxFromLoadToUnloadExceptWhilePaused) {
  AddStatusMessage(QStringLiteral("* VELD32 Connected"));
  AddStatusMessage(QString());
  EXPECT_FALSE(modMain::StatusWindowLoaded);
  StatusWindowForm& window = Load();
  EXPECT_TRUE(modMain::StatusWindowLoaded);
  EXPECT_TRUE(window.txtComm->isReadOnly());
  EXPECT_EQ(Shown(), QStringLiteral("* VELD32 Connected\n\n"));
  for (const auto& [line, paused, caption] :
       {std::tuple{"paused", true, "Resume"}, {"resumed", false, "Pause"}}) {
    window.cmdPause->click();
    EXPECT_EQ(modMain::StatusPaused, paused);
    EXPECT_EQ(window.cmdPause->text(), caption);
    AddStatusMessage(line);
  }
  EXPECT_EQ(Shown(), QStringLiteral("* VELD32 Connected\n\nresumed\n"));
  EXPECT_EQ(modMain::StatusLogText,
            QStringLiteral("* VELD32 Connected\r\n\r\npaused\r\nresumed\r\n"));
  // The operator cannot close it; once unloaded it takes no lines.
  window.show();
  EXPECT_FALSE(window.close());
  window_.reset();
  EXPECT_FALSE(modMain::StatusWindowLoaded);
  AddStatusMessage(QStringLiteral("unloaded"));
  EXPECT_TRUE(modMain::StatusLogText.endsWith(QStringLiteral("resumed\r\nunloaded\r\n")));
}

// The box at exactly the cap, built of a repeated pattern behind `shift` fillers, so that the
// cut before its 50000th character walks across every position of the pattern: 49999 =
// 6249 * 8 + 7, so shift 0 puts the cut between CR and LF, 7 right after a line end, 4 after a
// lone CR, 2 after a lone LF, the others inside a line.
TEST_F(StatusLog, TheBoxAtTheCapCutsTo50001ThenAppends) {
  const QString unit = QStringLiteral("ab\rc\nd\r\n");  // lone CR and LF inside lines too
  for (int shift = 0; shift < 8; ++shift) {
    const QString full = (QString(shift, u'x') + unit.repeated(12500)).left(100000);
    modMain::StatusLogText = full;
    EXPECT_TRUE(Load().txtComm->textCursor().atEnd());  // the newest line in view
    AddStatusMessage(QStringLiteral("next"));
    EXPECT_EQ(Shown(), AsShown(full.mid(49999) + "next\r\n")) << shift;
    AddStatusMessage(QStringLiteral("after"));
    EXPECT_EQ(Shown(), AsShown(full.mid(49999) + "next\r\nafter\r\n")) << shift;
  }
}

// Many cuts, with the box catching up every few lines, or all at once after a burst that goes
// beyond the cap into lines it has not shown yet; the newest line stays in view. Lines that
// arrive one per turn of the event loop (-1: frames at a fast polling rate) reach the box in
// batches, not one document edit, layout and repaint each.
TEST_F(StatusLog, ALongRunShowsTheBoxRule) {
  for (const int catchUpEvery : {0, 7, -1}) {
    modMain::StatusLogText.clear();
    Load().show();
    int edits = 0;
    QObject::connect(window_->txtComm->document(), &QTextDocument::contentsChanged,
                     [&] { ++edits; });
    const int lines = catchUpEvery < 0 ? 200 : 6000;
    status_log::BoxText expected;
    for (int i = 0; i < lines; ++i) {
      const QString line =
          QStringLiteral("RX <- (MP1%1,5,3,09,0030,1,000,100,100,0100,0000)").arg(i);
      AddStatusMessage(line);
      expected.AddLine(line);
      if (catchUpEvery < 0) QCoreApplication::processEvents();
      if (catchUpEvery > 0 && i % catchUpEvery == 0) Shown();
    }
    EXPECT_EQ(Shown(), AsShown(expected.Text())) << catchUpEvery;
    // Announced to the view, which repaints on each announcement.
    EXPECT_TRUE(edits > 0 && edits < (catchUpEvery < 0 ? lines / 5 : lines)) << edits;
    const QScrollBar* bar = window_->txtComm->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
  }
}

TEST_F(StatusLog, TheLogBoxMenuCopiesClearsAndSavesTheLog) {
  AddStatusMessage(QStringLiteral("first line"));
  StatusWindowForm& log = Load();
  AddStatusMessage(QStringLiteral("second line"));
  Shown();
  std::unique_ptr<QMenu> menu(log.CreateLogMenu());
  EXPECT_FALSE(menu->actions()[0]->isEnabled()) << "Copy without a selection";
  menu->actions()[1]->trigger();  // Select All
  menu.reset(log.CreateLogMenu());
  menu->actions()[0]->trigger();  // Copy
  EXPECT_EQ(QApplication::clipboard()->text(), "first line\nsecond line\n");

  QTemporaryDir dir;
  EXPECT_EQ(log.SaveLogAs(dir.filePath("log.txt")), QString());
  EXPECT_EQ(ReadAll(dir.filePath("log.txt")), modMain::StatusLogText.toUtf8());
  EXPECT_NE(log.SaveLogAs(dir.filePath("no/such/folder/log.txt")), QString());

  menu->actions()[3]->trigger();  // Clear
  EXPECT_EQ(log.txtComm->toPlainText(), QString());
  EXPECT_TRUE(modMain::StatusLogText.contains("second line"));
  AddStatusMessage(QStringLiteral("third line"));
  EXPECT_EQ(Shown(), "third line\n");
}

// The switch's own rule is pinned where the command line is read; here, what the start-up and
// the log window make of it: the flags and the filters shown and on, or hidden and off, and each
// box sets its own flag.
TEST_F(StatusLog, TheDiagnosticSwitchShowsTheFiltersAndEachSetsItsOwnFlag) {
  for (const bool on : {false, true}) {
    Reset(on ? QStringLiteral("veld32.exe /kovda") : QStringLiteral("veld32.exe"));
    StatusWindowForm& window = Load();
    EXPECT_EQ(
        std::tuple(window.calTabCommFrame->isHidden(), window.chkShowVerbose->isChecked(),
                   window.chkShowBuffer->isChecked(), modMain::ShowVerbose, modMain::ShowRXBuffer),
        std::tuple(!on, on, on, on, on));
  }
  modMain::ShowRXBuffer = false;
  StatusWindowForm& window = Load();
  EXPECT_FALSE(window.chkShowBuffer->isChecked());
  window.chkShowVerbose->click();
  window.chkShowBuffer->click();
  EXPECT_FALSE(modMain::ShowVerbose);
  EXPECT_TRUE(modMain::ShowRXBuffer);
}

}  // namespace
