#include <QtTest>
#include <QtWidgets>

#include <gtest/gtest.h>

#include "device_link/ctlVELD32UsbComm.h"
#include "editor/frmTestOptions.h"
#include "programs/programs_model.h"
#include "tests/support/qt_printers.h"
#include "tests/support/scripted_d2xx.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/widget_places.h"
#include "ui_core/modMain.h"

namespace {

// The editor window over a scripted driver, with an empty log and frame logging off. The
// model's rules are its own tests'; the full download and upload through the real windows are
// the main window's. These are the editor's wiring: one case per family of rules.
class EditorWindow : public ::testing::Test {
 protected:
  EditorWindow() {
    modMain::StatusLogText.clear();
    modMain::ShowVerbose = false;
    driver->replies["(MP11)"] = "(MP11,5,3,09,0030,1,000,100,100,0100,0000,1000)";
    driver->replies["(MP12)"] = "(MP12,4,8,29,0600,2,004,500,150,0150,0003,0900)";
    driver->replies["(MP13)"] = "(MP13,1,1,19,0015,1,000,002,010,0150,0000,1000)";
  }
  template <typename Widget = QWidget>
  Widget* Control(const QString& name) {
    return form->findChild<Widget*>(name);
  }
  QLineEdit* Box(const QString& name) { return Control<QLineEdit>(name); }
  QScrollBar* Slider(const QString& name) { return Control<QScrollBar>(name); }
  void Click(const QString& button) { Control<QPushButton>(button)->click(); }
  static QStringList LogLines() {
    return modMain::StatusLogText.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  }
  ctlVELD32UsbComm& Link() { return form->ctlVELD32UsbComm1(); }
  void Tick(int count) {
    for (int i = 0; i < count; ++i) Link().PollingTimer_Timer();
  }
  // Connected, and the three programs of the script downloaded.
  void ConnectAndDownload() {
    Link().OpenDevice();
    Tick(4);
  }
  QTabWidget* Tabs() { return Control<QTabWidget>("SSTab1"); }
  QString Strip() { return Control<QLabel>("lblStatus")->text(); }
  int PassOhms(int program) { return form->Model().Slider(program, ProgramSlider::PassOhms).value; }

  std::shared_ptr<ScriptedD2xx> driver = std::make_shared<ScriptedD2xx>();
  ScriptedPrompts prompts;
  std::unique_ptr<frmTestOptions> form = std::make_unique<frmTestOptions>(driver, prompts);
};

// Laid out in the platform's own style, every caption, control and box of a tab has a place of
// its own: none covers another.
TEST_F(EditorWindow, NoControlOfATabCoversAnother) {
  form->show();
  for (int tab = 0; tab < Tabs()->count(); ++tab) {
    Tabs()->setCurrentIndex(tab);
    QWidget* page = Tabs()->widget(tab);
    page->layout()->activate();
    const QList<QWidget*> parts = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_GT(parts.size(), 8) << tab;
    EXPECT_EQ(Covering(*page, parts), QStringList()) << tab;
  }
}

// Each tab's controls show their own program and follow it: a current picked with the keyboard
// reaches the width's slider and the derived charge (the narrowing itself is the model's rule),
// Single Measure disables the four duration controls.
TEST_F(EditorWindow, EachTabShowsItsProgramAndFollowsTheModel) {
  TestProgramsModel& model = form->Model();
  // In ProgramBox's order.
  const QStringList boxes{"txtPulseWidth", "txtDuration",    "txtDurationHr",    "txtPassOhms",
                          "txtFailOhms",   "txtPulseCharge", "txtAverageCurrent"};
  for (int i = 0; i < 3; ++i) {
    model.PickListPosition(i, ProgramList::Current, i);
    model.PickListPosition(i, ProgramList::Frequency, i + 1);
    model.SetSliderValue(i, ProgramSlider::PassOhms, 100 + i);
  }
  for (int i = 0; i < 3; ++i) {
    const QString n = QString::number(i);
    EXPECT_EQ(Control<QComboBox>("cmbCurrent" + n)->currentIndex(), i);
    EXPECT_EQ(Control<QComboBox>("cmbFrequency" + n)->currentIndex(), i + 1);
    for (int box = 0; box < boxes.size(); ++box)
      EXPECT_EQ(Box(boxes[box] + n)->text(), model.BoxText(i, ProgramBox(box))) << boxes[box] << i;
    EXPECT_TRUE(Control<QRadioButton>("optSingleMeasure" + n)->isChecked());
  }

  Slider("hsPulseWidth1")->setValue(400);  // as the operator's arrow keys would
  QTest::keyClick(Control<QComboBox>("cmbCurrent1"), Qt::Key_End);
  EXPECT_EQ(Slider("hsPulseWidth1")->maximum(), 300);
  EXPECT_EQ(Slider("hsPulseWidth1")->value(), 300);
  EXPECT_EQ(Box("txtPulseCharge1")->text(), model.BoxText(1, ProgramBox::PulseCharge));

  QTest::mouseClick(Control<QRadioButton>("optDuration2"), Qt::LeftButton);
  EXPECT_TRUE(Slider("hsDuration2")->isEnabled());
  QTest::mouseClick(Control<QRadioButton>("optSingleMeasure2"), Qt::LeftButton);
  for (const char* name : {"hsDuration2", "txtDuration2", "hsDurationHr2", "txtDurationHr2"})
    EXPECT_FALSE(Control(name)->isEnabled()) << name;
}

// The thumb ends where the operator put it after a jump to a clicked position (the keys, which
// reach the model as a wheel does, are the desktop's tests).
// The hours follow the thumb while it is dragged; the seconds' minimum settles once it is let go.
TEST_F(EditorWindow, SliderGesturesReachTheModel) {
  form->show();
  QScrollBar* pass = Slider("hsPassOhms0");
  QTest::mouseClick(pass, Qt::MiddleButton, {}, QPoint(pass->width() - 20, pass->height() / 2));
  EXPECT_GT(pass->value(), 900);
  EXPECT_EQ(Box("txtPassOhms0")->text(), QString::number(pass->value()));
  EXPECT_EQ(PassOhms(0), pass->value());

  QTest::mouseClick(Control<QRadioButton>("optDuration0"), Qt::LeftButton);
  QScrollBar* hours = Slider("hsDurationHr0");
  hours->setValue(1);
  Slider("hsDuration0")->setValue(10);
  hours->setSliderDown(true);
  hours->setSliderPosition(0);
  EXPECT_EQ(Box("txtDurationHr0")->text() + ' ' + Box("txtDuration0")->text(), "0 00:10");
  hours->setSliderDown(false);
  EXPECT_EQ(Box("txtDuration0")->text(), "00:30");
}

// A text the slider refuses is marked, and leaving the box, by its own end of editing (Enter or
// the focus leaving it) or by another tab, shows the program's value: the one it had before the
// typing began, not a prefix the slider took on the way.
TEST_F(EditorWindow, RefusedTextIsMarkedUntilTheOperatorLeavesTheBox) {
  // box, typed keys, what the box keeps while marked, whether Enter or another tab leaves it
  const std::tuple<const char*, ProgramBox, const char*, const char*, bool> cases[] = {
      {"txtPassOhms0", ProgramBox::PassOhms, "2000", "2000", true},
      {"txtFailOhms0", ProgramBox::FailOhms, "1,5", "10005", false}};
  for (const auto& [name, programBox, keys, marked, enter] : cases) {
    form = std::make_unique<frmTestOptions>(driver, prompts);
    form->show();
    QLineEdit* box = Box(name);
    const QString ownTip = box->toolTip();
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, keys);
    EXPECT_EQ(box->text(), marked) << keys;
    EXPECT_EQ(box->toolTip(), form->Model().BoxRefusal(0, programBox));
    EXPECT_TRUE(box->styleSheet().contains("red"));
    const QString kept = QString::number(Slider(QString(name).replace("txt", "hs"))->value());
    if (enter) QTest::keyClick(box, Qt::Key_Return);
    if (!enter) Tabs()->setCurrentIndex(1);
    EXPECT_EQ(box->text(), kept) << keys;
    EXPECT_EQ(box->toolTip(), ownTip);
    EXPECT_TRUE(box->styleSheet().isEmpty());
  }
}

// A program whose pass limit is not below its fail limit is marked on both boxes and its tab,
// and the upload that refuses it says which programs in the log, before it looks at the link.
TEST_F(EditorWindow, UploadChecksTheLimitsBeforeTheConnection) {
  const QString problem =
      "Pass 999 ohms is not below Fail 999 ohms: an upload refuses this program";
  const QString ownTip = Box("txtPassOhms2")->toolTip();
  for (const int program : {0, 2}) {
    form->Model().SetSliderValue(program, ProgramSlider::PassOhms, 999);
    form->Model().SetSliderValue(program, ProgramSlider::FailOhms, 999);
  }
  for (const char* name : {"txtPassOhms2", "txtFailOhms2"}) {
    EXPECT_EQ(Box(name)->toolTip(), problem) << name;
    EXPECT_TRUE(Box(name)->styleSheet().contains("red")) << name;
  }
  EXPECT_TRUE(Tabs()->tabToolTip(2).startsWith(problem + "\n"));
  EXPECT_TRUE(Box("txtPassOhms1")->styleSheet().isEmpty());
  Click("cmdSave");
  EXPECT_EQ(LogLines(), QStringList{"Save to VELD32 aborted: the pass limit is not below the fail "
                                    "limit in Program 1, Program 3."});
  for (const int program : {0, 2})
    form->Model().SetSliderValue(program, ProgramSlider::FailOhms, 1000);
  EXPECT_EQ(Box("txtPassOhms2")->toolTip(), ownTip);
  EXPECT_TRUE(Box("txtFailOhms2")->styleSheet().isEmpty());
  EXPECT_FALSE(Tabs()->tabToolTip(2).contains("refuses"));
  Click("cmdSave");
  EXPECT_EQ(prompts.shown,
            (QStringList{"ERROR - Pass(ohms) value must be less than Fail(ohms) value!  Save to "
                         "VELD32 aborted.",
                         "ERROR - VELD32 not connected!  Save to VELD32 aborted."}));
  EXPECT_EQ(LogLines().size(), 1);
  EXPECT_TRUE(driver->writes.empty());
}

// Before any download a tab is unknown, not different; after it, a change is marked and named.
// A width the tester holds outside its current's range is such a difference (what the slider
// keeps is the model's test).
TEST_F(EditorWindow, TabsDifferingFromTheTesterAreMarked) {
  driver->replies["(MP13)"] = "(MP13,1,1,09,0030,1,000,002,010,0150,0000,1000)";
  form->Model().SetBoxText(1, ProgramBox::PassOhms, "20");
  EXPECT_EQ(Tabs()->tabText(1), "Test Program 2");
  prompts.answerOkCancel = [] { return true; };
  ConnectAndDownload();
  EXPECT_EQ(Tabs()->tabText(1) + ' ' + Tabs()->tabToolTip(1),
            "Test Program 2 As the VELD32 holds it.");
  EXPECT_EQ(Tabs()->tabText(2), "Test Program 3 *");
  EXPECT_EQ(Tabs()->tabToolTip(2),
            "Differs from the VELD32:\nPulseWidth: 200 us here, 100 us on the VELD32");
  form->Model().SetBoxText(1, ProgramBox::PassOhms, "20");
  EXPECT_EQ(Tabs()->tabText(1), "Test Program 2 *");
  EXPECT_EQ(Tabs()->tabText(0), "Test Program 1");
}

// Work the tester does not have is replaced only when the operator says so, once per download;
// Download reloads its own program only, and only while connected.
TEST_F(EditorWindow, DownloadsAskBeforeReplacingUnsentChanges) {
  form->cmdReload_Click(1);  // the button's handler, though the button is disabled
  EXPECT_TRUE(LogLines().isEmpty());
  form->Model().SetBoxText(0, ProgramBox::PassOhms, "20");
  form->Model().SetBoxText(2, ProgramBox::FailOhms, "200");
  ConnectAndDownload();  // answered with Cancel
  // (The question's whole text is the tester menu's test.)
  ASSERT_EQ(prompts.shown.size(), 1);
  EXPECT_TRUE(prompts.shown[0].startsWith("Test Program 1, Test Program 3 hold changes"));
  EXPECT_EQ(driver->writes, std::vector<std::string>{"(*)"});
  EXPECT_EQ(PassOhms(0), 20);
  EXPECT_EQ(LogLines().last(), "Edited programs kept: nothing was downloaded from VELD32.");
  Click("cmdReload2");
  EXPECT_EQ(prompts.shown.size(), 2);
  EXPECT_EQ(driver->writes.size(), 1u);
  modMain::StatusLogText.clear();
  Click("cmdReload1");  // program 2 holds no edits: no question
  Tick(2);
  EXPECT_EQ(prompts.shown.size(), 2);
  EXPECT_EQ(driver->writes, (std::vector<std::string>{"(*)", "(MP12)"}));
  EXPECT_EQ(LogLines(),
            (QStringList{"Reloading Program 2 data from VELD32.", "Program data load complete."}));
  prompts.answerOkCancel = [] { return true; };
  Click("cmdReload0");
  Tick(2);
  EXPECT_EQ(prompts.shown.size(), 3);
  EXPECT_EQ(PassOhms(0), 100);
}

// While replies are awaited the tabs and Upload cannot be used and the strip says what is in
// progress. Each echo of an upload that differs from what was sent is logged; one message box
// follows the third reply, and the tab shows what the tester holds.
TEST_F(EditorWindow, TransfersMakeTheTabsReadOnlyUntilTheLastReplyAndUploadsCompareTheEchoes) {
  // The tester echoes every program written, but keeps program 2's pass limit at 151.
  driver->onWrite = [this](const std::string& bytes) {
    std::string echo = bytes;
    const auto pass = echo.find(",0150,");
    if (bytes.starts_with("(MP02,") && pass != std::string::npos) echo.replace(pass, 6, ",0151,");
    if (bytes.starts_with("(MP0")) driver->rx += echo;
  };
  Link().OpenDevice();
  QStringList strip{Strip()};
  std::vector<bool> enabled{Control("tabProgram1")->isEnabled()};
  const auto step = [&] {
    Tick(1);
    strip << Strip();
    enabled.push_back(Control("tabProgram1")->isEnabled() && Control("cmdSave")->isEnabled());
  };
  for (int i = 0; i < 4; ++i) step();
  Tick(3);  // the identity requests that follow a download leave first
  form->Model().SetBoxText(1, ProgramBox::PassOhms, "150");
  Click("cmdSave");
  for (int i = 0; i < 3; ++i) step();
  EXPECT_TRUE(prompts.shown.isEmpty());
  step();
  EXPECT_EQ(strip, (QStringList{"Downloading 1 of 3…", "Downloading 1 of 3…", "Downloading 2 of 3…",
                                "Downloading 3 of 3…", Strip(), "Uploading…", "Uploading…",
                                "Uploading…", Strip()}));
  EXPECT_EQ(enabled,
            (std::vector<bool>{false, false, false, false, true, false, false, false, true}));
  const QString difference = "Program 2: Pass sent 150 ohms, VELD32 holds 151 ohms";
  const QStringList log = LogLines();
  EXPECT_EQ(log.mid(log.indexOf("Saving All Program Data to VELD32...")),
            (QStringList{"Saving All Program Data to VELD32...", difference,
                         "Program data save complete."}));
  EXPECT_EQ(prompts.shown,
            QStringList{"The VELD32 does not hold what was uploaded:\r\n\r\n" + difference});
  EXPECT_EQ(Box("txtPassOhms1")->text(), "151");
  // An upload cut short by a disconnect asks nothing and leaves the tabs editable.
  Click("cmdSave");
  Link().Disconnect();
  EXPECT_TRUE(Control("tabProgram1")->isEnabled());
  EXPECT_NE(Strip(), "Uploading…");
  EXPECT_EQ(prompts.shown.size(), 1);
}

// The raw buffer is logged by its own switch, the frames by theirs. A reply for a program
// outside 1..3 changes no tab but counts towards the three.
TEST_F(EditorWindow, BufferAndFrameLinesFollowTheirOwnSwitchesAndEveryReplyCounts) {
  driver->replies["(MP12)"] = "(MP14,4,8,29,0600,2,004,500,150,0150,0003,0900)";
  for (const bool frames : {false, true}) {
    modMain::ShowVerbose = frames;
    modMain::ShowRXBuffer = !frames;
    modMain::StatusLogText.clear();
    form = std::make_unique<frmTestOptions>(driver, prompts);
    ConnectAndDownload();
    const QString log = modMain::StatusLogText;
    EXPECT_EQ(log.contains("RX <- (MP11") && log.contains("TX -> (MP11)"), frames);
    EXPECT_EQ(log.contains("RXBuffer <- (MP11"), !frames);
    EXPECT_EQ(LogLines().count("Program data load complete."), 1);
    EXPECT_EQ(Tabs()->tabToolTip(1), "Not yet downloaded from the VELD32.");
  }
  modMain::ShowRXBuffer = false;
}

}  // namespace
