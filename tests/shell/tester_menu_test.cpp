#include <QtSql>

#include "shell/TesterInformationForm.h"
#include "tests/shell/window_fixture.h"
#include "tests/support/faulty_d2xx.h"
#include "tests/support/file_bytes.h"

namespace {

// Program 1 as a one-hour timed test.
const ProgramSettings kOneHourProgram1{1, 1, 1, 200, 0, 1, TestMode::Duration, 150, 1000};

class TesterMenuTest : public WindowTest {
 protected:
  void SetUp() override { Reopen(); }
  // Connected, program 1 a one-hour test, and running.
  void RunOneHour() {
    ASSERT_TRUE(tester_->SetProgram(kOneHourProgram1));
    Connect();
    Action("menuRunTest0").trigger();
  }
};

TEST_F(TesterMenuTest, RunsAreLoggedKeptInTheResultsWindowAndSavedAsCsv) {
  EXPECT_FALSE(Action("menuRunTest1").isEnabled());
  EXPECT_FALSE(Find("menuTester")->isEnabled());
  Connect();
  EXPECT_TRUE(Find("menuTester")->isEnabled());
  tester_->Tester().speed = 100;
  const std::tuple<int, std::int16_t, QString> runs[] = {
      {1, 100, "Test program 2: 100 ohms, below the pass limit 150"},
      {0, 150, "Test program 1: 150 ohms, between the pass limit 150 and the fail limit 1000"},
      {2, 1000, "Test program 3: 1000 ohms, at or above the fail limit 1000"}};
  for (const auto& [index, ohms, line] : runs) {
    tester_->Tester().impedanceOhms = ohms;
    QAction& run = Action(QStringLiteral("menuRunTest%1").arg(index));
    ASSERT_TRUE(run.isEnabled());
    EXPECT_TRUE(run.text().remove('&').endsWith(QString::number(index + 1))) << run.text();
    run.trigger();
    ASSERT_TRUE(Logged(line));
    EXPECT_EQ(StatusCaption(), "VELD32 Connected");
  }
  // The runs read their programs for the limits: no transfer of the editor's, no completion line.
  EXPECT_EQ(LogLines().count("Program data load complete."), 1);
  // The window shows the records, newest first.
  TestResultsForm& results = window_->Tester().Results();
  EXPECT_TRUE(results.isVisible());
  const auto* table = results.findChild<QTableWidget*>("tblResults");
  ASSERT_TRUE(WaitUntil([&] { return table->rowCount() == 3; }));
  QStringList cells;
  for (int cell = 0; cell < 9; ++cell) cells << table->item(cell / 3, 1 + cell % 3)->text();
  EXPECT_EQ(cells,
            QStringList({"3", "1000", "fail", "1", "150", "between limits", "2", "100", "pass"}));

  QTemporaryDir dir;
  prompts_.fileNames = {dir.filePath("session.csv")};
  bool saved = false;
  QObject::connect(&results, &TestResultsForm::Saved, [&saved] { saved = true; });
  results.findChild<QPushButton*>("cmdSaveCsv")->click();
  ASSERT_TRUE(WaitUntil([&] { return saved; }));
  // Every record, newest first (each cell's place is the records' own test).
  const QList<QByteArray> lines = ReadAll(dir.filePath("session.csv")).split('\n');
  ASSERT_EQ(lines.size(), 5);
  EXPECT_TRUE(lines[1].contains(",3,") && lines[1].contains(",fail,")) << lines[1].toStdString();
  EXPECT_TRUE(prompts_.shown.isEmpty());
}

// A run the records cannot take says why; one kept for a server out of reach says where it waits.
TEST_F(TesterMenuTest, ARunNotRecordedOrKeptLocallySaysSo) {
  const std::pair<QString, QString> cases[] = {
      {RecordsFile(), "The run was not recorded: "},
      {"postgresql://veld32@127.0.0.1:1/line", "not sent"}};
  const QTemporaryDir waiting;  // where the unsent record waits
  qputenv("XDG_DATA_HOME", waiting.path().toLocal8Bit());
  for (const auto& [records, line] : cases) {
    if (records.startsWith("postgresql") && !QSqlDatabase::isDriverAvailable("QPSQL")) continue;
    qputenv("VELD32_RECORDS", records.toLocal8Bit());
    Reopen();
    if (records == RecordsFile()) {
      {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "spoil");
        db.setDatabaseName(records);
        ASSERT_TRUE(db.open() && QSqlQuery(db).exec("DROP TABLE runs"));
      }
      QSqlDatabase::removeDatabase("spoil");
    }
    Connect();
    Action("menuRunTest0").trigger();
    EXPECT_TRUE(WaitUntil([&] { return !LogLines().filter(line).isEmpty(); })) << line;
  }
  qunsetenv("XDG_DATA_HOME");
}

// Each question before a run replaces the operator's edits or before the window ends a run:
// Cancel leaves everything as it was, OK goes ahead. (A download's own question is the editor's.)
TEST_F(TesterMenuTest, AsksBeforeReplacingEditsOrEndingARun) {
  const QString stopped = "Test program 1 stopped before its result.";
  const auto edit = [&] {
    Connect();
    Model().SetSliderValue(0, ProgramSlider::PassOhms, 120);
  };
  const auto ended = [&] { return !Link().Connected() && !window_->Tester().Running(); };
  // what is asked, how, the question, whether it went ahead (checked at once after the answer),
  // the log line Cancel leaves before a run, or OK leaves when it ends one
  const std::tuple<std::function<void()>, std::function<void()>, QString, std::function<bool()>,
                   QString>
      cases[] = {
          {edit, [&] { Action("menuRunTest0").trigger(); },
           "Test Program 1 holds changes that the VELD32 does not have.\r\n\r\nClick 'OK' to "
           "replace them with the programs of the VELD32, or 'Cancel' to keep them.",
           [&] { return window_->Tester().Running(); },
           "Edited programs kept: test program 1 was not run."},
          {[&] { RunOneHour(); }, [&] { window_->close(); },
           "Test program 1 is running: stop it and close?", ended, stopped},
          {[&] { RunOneHour(); }, [&] { ConnectButton().click(); },
           "Test program 1 is running: stop it and disconnect?", ended, stopped},
      };
  for (const auto& [prepare, act, question, wentAhead, line] : cases) {
    for (const bool ok : {false, true}) {
      Reopen();
      prompts_.answerOkCancel = [ok] { return ok; };
      prepare();
      act();
      EXPECT_EQ(prompts_.shown, QStringList{question}) << ok;
      EXPECT_EQ(wentAhead(), ok) << question << ok;
      EXPECT_EQ(LogLines().contains(line), line == stopped ? ok : !ok) << question << ok;
      const auto pass = [&] { return Model().Slider(0, ProgramSlider::PassOhms).value; };
      EXPECT_TRUE(line == stopped || WaitUntil([&] { return pass() == (ok ? 150 : 120); }));
    }
  }
}

// While programs move or a test runs, nothing else that talks to the tester can start.
TEST_F(TesterMenuTest, TransfersAndRunsDisableWhatWouldInterfere) {
  // Run, Information, Stop, Load, Download, Upload: each group all on (1) or all off (0).
  const QStringList groups[] = {
      {"menuRunTest0", "menuRunTest1", "menuRunTest2"},
      {"menuTesterInformation"},
      {"menuStopTest"},
      {"menuLoadAll", "menuLoadProgram0", "menuLoadProgram1", "menuLoadProgram2"},
      {"cmdReload0", "cmdReload1", "cmdReload2"},
      {"cmdSave"}};
  const auto controls = [&] {
    QString shown;
    for (const QStringList& group : groups) {
      QSet<bool> on;
      for (const QString& name : group)
        on << (name.startsWith("cmd") ? Find(name)->isEnabled() : Action(name).isEnabled());
      shown += on.size() > 1 ? '?' : on.contains(true) ? '1' : '0';
    }
    return shown;
  };
  ConnectButton().click();
  EXPECT_EQ(controls(), "000000") << "a download";
  ASSERT_TRUE(Logged("Program data load complete."));
  EXPECT_EQ(controls(), "110111") << "nothing";
  Find<QPushButton>("cmdSave")->click();
  EXPECT_EQ(controls(), "000000") << "an upload";
  ASSERT_TRUE(Logged("Program data save complete."));
  Action("menuRunTest1").trigger();
  EXPECT_EQ(controls(), "001000") << "a test";
  Action("menuStopTest").trigger();
  EXPECT_TRUE(WaitUntil([&] { return controls() == "110111"; })) << "after the test";
}

// The strip counts the time of a test against the program's duration, with the clock and
// without any reply. Stop ends the run with a log line and no result; an unplug leaves the
// window idle. Either way the run is on record with its outcome.
TEST_F(TesterMenuTest, ARunShowsItsTimeAndAStopOrAnUnplugEndsItWithoutAResult) {
  const QString lost = "Link failure: FT_GetQueueStatus - General IO Error";
  // how the run ends, its log line, the caption afterwards, whether another can start, outcome
  const std::tuple<bool, QString, QString, bool, RunOutcome> cases[] = {
      {true, "Test program 1 stopped before its result.", "VELD32 Connected", true,
       RunOutcome::Stopped},
      {false, "Test program 1 not completed: " + lost, "VELD32", false, RunOutcome::Error}};
  for (const auto& [stop, line, caption, again, outcome] : cases) {
    Reopen();
    const std::size_t recorded = window_->Records()->Runs({}).items.size();
    RunOneHour();
    const QRegularExpression counting("^Running test 1… \\d\\d:\\d\\d of 60:00$");
    ASSERT_TRUE(WaitUntil([&] { return counting.match(StatusCaption()).hasMatch(); }));
    const QString first = StatusCaption();
    ASSERT_TRUE(WaitUntil(
        [&] { return StatusCaption() != first && counting.match(StatusCaption()).hasMatch(); }));
    if (stop) Action("menuStopTest").trigger();
    if (!stop) tester_->Unplug();
    EXPECT_TRUE(Logged(line));
    EXPECT_FALSE(window_->Tester().Running());
    EXPECT_EQ(StatusCaption(), caption);
    EXPECT_EQ(Action("menuRunTest0").isEnabled(), again);
    EXPECT_FALSE(Action("menuStopTest").isEnabled());
    const Fetched<RunRecord> ended = window_->Records()->Runs({});
    ASSERT_EQ(ended.items.size(), recorded + 1);
    EXPECT_EQ(ended.items[0].outcome, outcome);
    EXPECT_EQ(ended.items[0].impedanceOhms, std::nullopt);
    EXPECT_EQ(ended.items[0].errorText, stop ? QString() : lost);
  }
}

// The information shows what the tester reports; one that does not answer the set-point request
// still shows who it is.
TEST_F(TesterMenuTest, InformationShowsWhatTheTesterReports) {
  for (const bool reported : {true, false}) {
    Reopen();
    tester_->Tester().setpoints = {7, 11, 23, 52, 104};
    if (!reported) {
      // The set-point request reaches the tester as one it does not know, which draws no reply.
      auto driver = std::make_shared<FaultyD2xx>(tester_);
      driver->alterWrites = [](std::string& bytes) {
        if (bytes == "(I?)") bytes = "(Z)";
      };
      driver_ = driver;
      Open(QStringLiteral("veld32 --simulate"));
    }
    Connect();
    Action("menuTesterInformation").trigger();
    EXPECT_EQ(Text("lblSerialNumber"), "…");
    EXPECT_TRUE(window_->Tester().Information().isVisible());
    ASSERT_TRUE(WaitUntil([&] { return Text("lblSetpoint4") != "…"; }));
    QStringList shown;
    QList<QPoint> at;
    for (const char* label : {"lblFirmwareVersion", "lblSerialNumber", "lblCalibrationDate",
                              "lblSetpoint0", "lblSetpoint4"}) {
      shown << Text(label);
      at << Find(label)->pos();
    }
    EXPECT_EQ(shown, QStringList({"01.02", "00001", "2024-01-15", reported ? "7" : kNotReported,
                                  reported ? "104" : kNotReported}));
    // The values in one column, each in a row of its own under the one before.
    for (int i = 1; i < at.size(); ++i)
      EXPECT_TRUE(at[i].x() == at[0].x() && at[i].y() > at[i - 1].y()) << i;
    const auto* form = qobject_cast<QFormLayout*>(window_->Tester().Information().layout());
    EXPECT_EQ(qobject_cast<QLabel*>(form->labelForField(Find("lblSetpoint4")))->text(),
              "Set-point 100 mA:");
    // Asked again, it shows nothing old while the tester answers anew.
    Action("menuTesterInformation").trigger();
    EXPECT_EQ(Text("lblSetpoint4"), "…");
  }
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
      Action(menu).trigger();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(form)) << menu;
      EXPECT_TRUE(client.contains(form->geometry())) << menu;
      QTest::keyClick(form, Qt::Key_Escape);
      EXPECT_FALSE(form->isVisible()) << menu << " stays open after Escape";
    }
  }
}

}  // namespace
