#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ParentMDIForm.h"
#include "TestResultsForm.h"
#include "TesterInformationForm.h"
#include "ctlVELD32UsbComm.h"
#include "frmTestOptions.h"
#include "modMain.h"
#include "qt_printers.h"
#include "scripted_prompts.h"
#include "simulated_tester.h"
#include "tester_menu.h"
#include "window_fixture.h"

namespace {

class TesterMenuTest : public WindowTest {
 protected:
  void SetUp() override { Open(QStringLiteral("veld32 --simulate")); }
  QAction& Action(const QString& name) { return *Find<QAction>(name); }
  QString Label(const QString& name) {
    return window_->Tester().Information().findChild<QLabel*>(name)->text();
  }
};

TEST_F(TesterMenuTest, RunsAreLoggedKeptInTheResultsWindowAndSavedAsCsv) {
  EXPECT_FALSE(Action("menuRunTest1").isEnabled());
  const auto* menu = window_->findChild<QMenu*>("menuTester");
  QStringList captions{menu->title().remove(u'&')};
  for (const QAction* action : menu->actions()) captions << action->text().remove(u'&');
  EXPECT_EQ(captions, QStringList({"Tester", "Run Test Program 1", "Run Test Program 2",
                                   "Run Test Program 3", "", "Information…"}));
  EXPECT_FALSE(menu->isEnabled());
  Connect();
  EXPECT_TRUE(menu->isEnabled());
  tester_->Tester().speed = 100;
  struct Run {
    int index;
    std::int16_t ohms;
    QString line;
  };
  const Run runs[] = {
      {1, 100, "Test program 2: 100 ohms, below the pass limit 150"},
      {0, 150, "Test program 1: 150 ohms, between the pass limit 150 and the fail limit 1000"},
      {2, 1000, "Test program 3: 1000 ohms, at or above the fail limit 1000"},
  };
  for (const Run& run : runs) {
    tester_->Tester().impedanceOhms = run.ohms;
    ASSERT_TRUE(Action(QStringLiteral("menuRunTest%1").arg(run.index)).isEnabled());
    Action(QStringLiteral("menuRunTest%1").arg(run.index)).trigger();
    EXPECT_EQ(Link().Strip().status, QStringLiteral("Running test %1…").arg(run.index + 1));
    ASSERT_TRUE(Logged(run.line));
    EXPECT_EQ(Link().Strip().status, "VELD32 Connected");
  }

  // The runs read their programs for the limits: no transfer of the editor's, no completion line.
  EXPECT_EQ(LogLines().count("Program data load complete."), 1);
  TestResultsForm& results = window_->Tester().Results();
  EXPECT_TRUE(results.isVisible());
  const auto* table = results.findChild<QTableWidget*>("tblResults");
  ASSERT_EQ(table->rowCount(), 3);
  QStringList cells;
  for (int row = 0; row < 3; ++row) {
    for (int column = 1; column < 4; ++column) cells << table->item(row, column)->text();
  }
  EXPECT_EQ(cells,
            QStringList({"2", "100", "pass", "1", "150", "between limits", "3", "1000", "fail"}));

  QTemporaryDir dir;
  prompts_.fileNames = {dir.filePath("session.csv")};
  results.findChild<QPushButton*>("cmdSaveCsv")->click();
  QFile saved(dir.filePath("session.csv"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = saved.readAll().split('\n');
  ASSERT_EQ(lines.size(), 5);
  EXPECT_TRUE(lines[3].endsWith(",00001,3,1000,150,1000,fail"));
  EXPECT_EQ(prompts_.filters, QStringList({"Comma-separated values (*.csv)"}));
  EXPECT_TRUE(prompts_.shown.isEmpty());
}

TEST_F(TesterMenuTest, RefusesToRunDuringATransferOrAnotherRun) {
  ConnectButton().click();
  Action("menuRunTest0").trigger();  // the download after connecting is still counting
  ASSERT_TRUE(Logged("Program data load complete."));
  Action("menuRunTest0").trigger();
  Action("menuRunTest1").trigger();
  EXPECT_EQ(prompts_.shown,
            QStringList({"A program transfer with the VELD32 is in progress.  Run the test when "
                         "it has finished.",
                         "A test is still running.  Run the next one when it has finished."}));
  EXPECT_EQ(Link().Strip().status, "Running test 1…");
}

TEST_F(TesterMenuTest, AnUnplugWhileRunningLeavesTheWindowIdle) {
  Connect();
  QObject::connect(&Link(), &ctlVELD32UsbComm::RXRunningTest, [this] { tester_->Unplug(); });
  Action("menuRunTest2").trigger();
  ASSERT_TRUE(
      Logged("Test program 3 not completed: Link failure: FT_GetQueueStatus - General IO Error"));
  EXPECT_EQ(Link().Strip().status, "VELD32");
  EXPECT_FALSE(Action("menuRunTest2").isEnabled());
  EXPECT_FALSE(window_->Tester().Running());
  EXPECT_EQ(window_->Tester().Results().Results().size(), 0);
}

TEST_F(TesterMenuTest, InformationShowsWhatTheTesterReports) {
  tester_->Tester().setpoints = {7, 11, 23, 52, 104};
  Connect();
  Action("menuTesterInformation").trigger();
  EXPECT_EQ(Label("lblSerialNumber"), "…");
  ASSERT_TRUE(WaitUntil([&] { return Label("lblSetpoint4") != "…"; }));
  const QStringList shown{Label("lblFirmwareVersion"), Label("lblSerialNumber"),
                          Label("lblCalibrationDate"), Label("lblSetpoint0"),
                          Label("lblSetpoint1"),       Label("lblSetpoint2"),
                          Label("lblSetpoint3"),       Label("lblSetpoint4")};
  EXPECT_EQ(shown, QStringList({"01.02", "00001", "2024-01-15", "7", "11", "23", "52", "104"}));
  EXPECT_TRUE(window_->Tester().Information().isVisible());
}

// Both open as dialogs owned by the main window, over its client area (not at the screen's
// corner over the menu bar), close with Escape and open again from their menu.
TEST_F(TesterMenuTest, ResultsAndInformationOpenOverTheWindowCloseWithEscapeAndReopen) {
  Show();
  Connect();
  const QRect client(window_->centralWidget()->mapToGlobal(QPoint(0, 0)),
                     window_->centralWidget()->size());
  const std::pair<const char*, QWidget*> windows[] = {
      {"menuTestResults", &window_->Tester().Results()},
      {"menuTesterInformation", &window_->Tester().Information()},
  };
  for (const auto& [menu, form] : windows) {
    for (int opening = 0; opening < 2; ++opening) {
      Action(QString::fromLatin1(menu)).trigger();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(form)) << menu;
      EXPECT_EQ(form->parentWidget(), window_.get()) << menu;
      EXPECT_EQ(form->windowType(), Qt::Dialog) << menu;
      EXPECT_TRUE(client.contains(form->geometry())) << menu;
      QTest::keyClick(form, Qt::Key_Escape);
      EXPECT_FALSE(form->isVisible()) << menu << " stays open after Escape";
    }
  }
}

}  // namespace
