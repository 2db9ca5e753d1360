#include "resources/version.h"
#include "tests/shell/window_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/program_description.h"

namespace {

class MainWindow : public WindowTest {};

// A window of fixed size, the editor at the top left, the log beside it, the background where
// the layout put it. The log's first line tells a new user to press Connect, and whether the
// tester is simulated.
TEST_F(MainWindow, StartsWithItsChildrenInPlaceAndTheLogWithWhatToDoFirst) {
  EXPECT_EQ(Text("VELD32VersionLabel"), "VELD32 v" VELD32_VERSION_TEXT);
  EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  const QMdiSubWindow* editor = window_->ChildWindow(window_->TestOptions());
  const QMdiSubWindow* log = window_->ChildWindow(window_->StatusWindow());
  const QMdiSubWindow* background = window_->ChildWindow(window_->Background());
  ASSERT_TRUE(editor && log && background);
  EXPECT_EQ(editor->pos(), QPoint(0, 0));
  EXPECT_EQ(log->pos(), QPoint(editor->width(), 0));
  // In twips (15 to a pixel), as the layout was drawn.
  const std::pair<int, int> twips[] = {{window_->width(), 11000},
                                       {window_->height(), 10000},
                                       {background->x(), 7275},
                                       {background->y(), 6175}};
  for (const auto& [pixels, drawn] : twips) EXPECT_NEAR(pixels * 15, drawn, 15) << drawn;
  EXPECT_EQ(background->size(), QSize(215, 135));
  // The status bar right under the child windows, its labels side by side within it, the
  // operator's text at its right end.
  Show();
  const QWidget* bar = Find("StatusBarPictureBox");
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->y(), Find("mdiArea")->geometry().bottom() + 1);
  int left = 0;
  for (const char* label : {"VELD32VersionLabel", "lblTesterIdentity", "lblOperator"}) {
    const QRect at = Find(label)->geometry();
    EXPECT_TRUE(at.left() >= left && at.right() < bar->width()) << label;
    left = at.right() + 1;
  }
  EXPECT_TRUE(Find<QLabel>("lblOperator")->alignment() & Qt::AlignRight);
  EXPECT_EQ(QStringList({window_->windowTitle(), window_->StatusWindow().windowTitle(),
                         window_->TestOptions().windowTitle()}),
            QStringList({"VELD32 Configurator", "Status", "Test Options"}));
  for (const bool simulated : {true, false}) {
    Open(QStringLiteral("veld32"), simulated);
    ASSERT_EQ(startLines_.size(), 1) << simulated;
    EXPECT_TRUE(startLines_[0].startsWith("Press Connect") &&
                startLines_[0].contains("simulated") == simulated)
        << startLines_[0];
  }
}

// Once the programs are in, the window asks who the tester is. An upload leaves the tester
// holding what was sent.
TEST_F(MainWindow, ConnectDownloadsTheThreeProgramsLogsEveryFrameAndUploadSendsThemBack) {
  ASSERT_TRUE(tester_->SetProgram({2, 4, 8, 100, 125, 1, TestMode::Duration, 12, 14}));
  Connect();
  ASSERT_TRUE(WaitUntil([&] { return !Text("lblTesterIdentity").isEmpty(); }));
  const QStringList lines = LogLines();
  const QStringList requests = lines.filter(QRegularExpression("^TX -> "));
  EXPECT_EQ(lines.mid(0, 4), QStringList({"TX -> (*)", "RX <- (*)", "* VELD32 Connected",
                                          "Loading program data..."}));
  EXPECT_EQ(requests, QStringList({"TX -> (*)", "TX -> (MP11)", "TX -> (MP12)", "TX -> (MP13)",
                                   "TX -> (MV1)", "TX -> (MS1)", "TX -> (MD1)"}));
  EXPECT_LT(lines.indexOf("Program data load complete."), lines.indexOf("TX -> (MV1)"));
  EXPECT_EQ(lines.filter(QRegularExpression("^RX <- \\(")).size(), requests.size());
  EXPECT_EQ(DescribeProgram(Model(), 1),
            "50mA 150Hz 100us(100) duration 1h 125s(02:05) pass 12(12) fail 14(14)");

  Model().PickListPosition(0, ProgramList::Current, 4);
  Model().SetSliderValue(0, ProgramSlider::PulseWidth, 300);
  Model().SetSliderValue(2, ProgramSlider::FailOhms, 500);
  Find<QPushButton>("cmdSave")->click();
  ASSERT_TRUE(Logged("Program data save complete."));
  const ProgramSettings sent[] = {{1, 5, 1, 300, 0, 0, TestMode::SingleMeasure, 150, 1000},
                                  {2, 4, 8, 100, 125, 1, TestMode::Duration, 12, 14},
                                  {3, 1, 1, 200, 0, 0, TestMode::SingleMeasure, 150, 500}};
  for (const ProgramSettings& program : sent) EXPECT_EQ(tester_->Program(program.number), program);

  // A lost link takes the tester's identity off the status bar before the replug question.
  QString identity = QStringLiteral("not asked");
  prompts_.answerOkCancel = [&] {
    identity = Text("lblTesterIdentity");
    return false;
  };
  tester_->Unplug();
  ASSERT_TRUE(WaitUntil([&] { return identity != "not asked"; }));
  EXPECT_EQ(identity, "");
}

// Unplugged during the download, the window asks for a replug, the strip already showing the
// link down: OK downloads again; Cancel leaves the link down with the tester
// back (the failed tick's queued frame may ask once more).
TEST_F(MainWindow, UnplugDuringADownloadAsksToReplugAndOnlyOkReconnects) {
  const QString replug =
      "There is an error communicating with the VELD32 device. \r\n\r\n"
      "Please disconnect and reconnect the VELD32 device, and then click 'OK'";
  for (const bool ok : {true, false}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    Reopen();
    QStringList seen;
    prompts_.answerOkCancel = [this, ok, &seen] {
      const QImage lamp = Find("shpStatus")->grab().toImage();
      if (seen.isEmpty())
        seen << StatusCaption() << lamp.pixelColor(lamp.rect().center()).name()
             << ConnectButton().text();
      if (ok) tester_->Replug();
      return ok;
    };
    // The tester goes away as soon as the link is up, before the download's replies.
    int connections = 0;
    QObject::connect(&Link(), &ctlVELD32UsbComm::UsbConnected, [&] {
      if (connections++ == 0) tester_->Unplug();
    });
    ConnectButton().click();
    ASSERT_TRUE(!ok || Logged("Program data load complete."));
    ASSERT_TRUE(WaitUntil([&] { return !prompts_.shown.isEmpty(); }));
    if (!ok) tester_->Replug();
    WaitUntil([] { return false; }, ok ? 0 : 200);
    EXPECT_EQ(Link().Connected(), ok);
    EXPECT_EQ(LogLines().count("* VELD32 Connected"), ok ? 2 : 1);
    EXPECT_EQ(prompts_.shown,
              ok ? QStringList{replug} : QStringList(prompts_.shown.size(), replug));
    EXPECT_EQ(seen, QStringList({"VELD32", "#ff0000", "Connect"}));
    window_.reset();
  }
}

// Each file menu logs around its operation; a cancelled choice does nothing; a failure is logged
// and shown in a message box, both with its cause; a refused key is logged before the completion
// line. (The dialogs' filters are the desktop's tests.) What was loaded is work the tester does
// not have, which Connect does not replace without asking.
TEST_F(MainWindow, FileMenusLogAroundEachOperationAndReportFailuresWithTheirCause) {
  QTemporaryDir dir;
  const QString all = dir.filePath("programs.vap");
  const QString one = dir.filePath("program.vsp");
  const QString nowhere = dir.filePath("no/such/folder/all.vap");
  const QString absent = dir.filePath("absent.vsp");
  const QString refused = dir.filePath("refused.vsp");
  WriteAll(refused,
           "[Program]\r\nCurrent=5\r\nFrequency=2\r\nPulseWidth=200\r\nMode=2\r\n"
           "Duration=30\r\nPass=5000\r\nFail=900\r\n");
  prompts_.fileNames = {QString(), all, all, one, one, nowhere, absent, refused};
  // Program 2 is saved as it stands, with a warning that the tester refuses it.
  Model().SetSliderValue(1, ProgramSlider::PassOhms, 700);
  Model().SetSliderValue(1, ProgramSlider::FailOhms, 14);
  const QString warning =
      "Program 2: Pass 700 ohms is not below Fail 14 ohms: an upload refuses this program";
  const QStringList causes = {"Cannot save " + nowhere + ": the folder " +
                                  dir.filePath("no/such/folder") + " does not exist.",
                              "The file " + absent + " does not exist."};
  window_->menuSaveAll_Click();  // cancelled
  window_->menuSaveAll_Click();
  window_->menuLoadAll_Click();
  window_->menuSaveProgram_Click(1);
  window_->menuLoadProgram_Click(2);
  window_->menuSaveAll_Click();
  window_->menuLoadProgram_Click(0);
  window_->menuLoadProgram_Click(1);
  EXPECT_EQ(
      LogLines(),
      QStringList(
          {"Saving all Program configurations to file...", warning, "Save to file complete: " + all,
           "Loading all Program configurations from file...", "Load from file complete: " + all,
           "Saving Program 2 configuration to file...", warning, "Save to file complete: " + one,
           "Loading Program 3 configuration from file...", "Load from file complete: " + one,
           "Saving all Program configurations to file...", "Save to file failed. " + causes[0],
           "Loading Program 1 configuration from file...", "Load from file failed. " + causes[1],
           "Loading Program 2 configuration from file...",
           "Program 2: Pass=5000 not applied (1 to 999 ohms)",
           "Load from file complete: " + refused}));
  EXPECT_EQ(prompts_.shown, causes);
  EXPECT_EQ(Text("txtPassOhms1") + ' ' + Text("txtFailOhms1"), "700 900");
  ConnectButton().click();
  ASSERT_TRUE(Logged("Edited programs kept: nothing was downloaded from VELD32."));
  // Program 3 differs from its start by the load alone.
  EXPECT_TRUE(prompts_.shown.last().startsWith("Test Program 2, Test Program 3 hold changes"));
}

}  // namespace
