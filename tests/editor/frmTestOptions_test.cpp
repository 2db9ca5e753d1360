#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>

#include "ctlVELD32UsbComm.h"
#include "frmTestOptions.h"
#include "modMain.h"
#include "scripted_d2xx.h"
#include "scripted_prompts.h"
#include "test_programs_model.h"

namespace {

// The editor window over a scripted driver, with an empty log and frame logging off. The full
// download and the upload with their log lines, and the unplug and replug through the real
// windows, are the main window's tests; these are the editor's own.
class EditorWindow : public ::testing::Test {
 protected:
  EditorWindow() {
    modMain::StatusLogText.clear();
    modMain::ShowVerbose = false;
    driver->replies["(MP11)"] = "(MP11,5,3,09,0030,1,000,100,100,0100,0000,1000)";
    driver->replies["(MP12)"] = "(MP12,4,8,29,0600,2,004,500,150,0150,0003,0900)";
    driver->replies["(MP13)"] = "(MP13,1,1,19,0015,1,000,002,010,0150,0000,1000)";
  }
  template <typename Widget>
  Widget* Control(const QString& name) {
    return form->findChild<Widget*>(name);
  }
  QLineEdit* Box(const QString& name) { return Control<QLineEdit>(name); }
  QScrollBar* Slider(const QString& name) { return Control<QScrollBar>(name); }
  static QString Decimal(QString text) { return text.replace('.', QLocale().decimalPoint()); }
  static QStringList LogLines() {
    return modMain::StatusLogText.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  }
  ctlVELD32UsbComm& Link() { return form->ctlVELD32UsbComm1(); }
  void Tick(int count) {
    for (int i = 0; i < count; ++i) Link().PollingTimer_Timer();
  }

  std::shared_ptr<ScriptedD2xx> driver = std::make_shared<ScriptedD2xx>();
  ScriptedPrompts prompts;
  std::unique_ptr<frmTestOptions> form = std::make_unique<frmTestOptions>(driver, prompts);
};

TEST_F(EditorWindow, ShowsTheDefaultsOnAllThreeTabs) {
  auto* tabs = Control<QTabWidget>("SSTab1");
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->currentIndex(), 0);
  for (int i = 0; i < 3; ++i) {
    const QString n = QString::number(i);
    EXPECT_EQ(tabs->tabText(i), "Test Program " + QString::number(i + 1));
    QStringList shown{Control<QComboBox>("cmbCurrent" + n)->currentText(),
                      Control<QComboBox>("cmbFrequency" + n)->currentText()};
    for (const char* box : {"txtPulseWidth", "txtDuration", "txtDurationHr", "txtPassOhms",
                            "txtFailOhms", "txtPulseCharge", "txtAverageCurrent"})
      shown << Box(box + n)->text();
    EXPECT_EQ(shown, (QStringList{"5", "2", "200", "00:30", "0", "150", "1000", Decimal("01.0"),
                                  Decimal("000.002")}));
    EXPECT_TRUE(Control<QRadioButton>("optSingleMeasure" + n)->isChecked());
    EXPECT_FALSE(Slider("hsDuration" + n)->isEnabled());
  }
}

TEST_F(EditorWindow, PickingOneHundredMilliampsWithTheKeyboardNarrowsThePulseWidth) {
  Control<QTabWidget>("SSTab1")->setCurrentIndex(1);
  Slider("hsPulseWidth1")->setValue(400);  // as the operator's arrow keys would
  ASSERT_EQ(Box("txtPulseWidth1")->text(), "400");
  QTest::keyClick(Control<QComboBox>("cmbCurrent1"), Qt::Key_End);
  EXPECT_EQ(Control<QComboBox>("cmbCurrent1")->currentText(), "100");
  EXPECT_EQ(Slider("hsPulseWidth1")->maximum(), 300);
  EXPECT_EQ(Slider("hsPulseWidth1")->value(), 300);
  EXPECT_EQ(Box("txtAverageCurrent1")->text(), Decimal("000.060"));
  EXPECT_EQ(Box("txtPulseCharge1")->text(), Decimal("30.0"));
}

TEST_F(EditorWindow, SingleMeasureDisablesTheFourDurationControls) {
  QTest::mouseClick(Control<QRadioButton>("optDuration2"), Qt::LeftButton);
  Slider("hsDurationHr2")->setValue(2);
  Slider("hsDuration2")->setValue(45 * 60);
  ASSERT_EQ(Box("txtDuration2")->text(), "45:00");
  QTest::mouseClick(Control<QRadioButton>("optSingleMeasure2"), Qt::LeftButton);
  for (QWidget* control :
       std::initializer_list<QWidget*>{Slider("hsDuration2"), Box("txtDuration2"),
                                       Slider("hsDurationHr2"), Box("txtDurationHr2")})
    EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
}

TEST_F(EditorWindow, TypedLimitsAreValidatedKeystrokeByKeystroke) {
  QLineEdit* pass = Box("txtPassOhms0");
  pass->selectAll();
  QTest::keyClicks(pass, "007");
  EXPECT_EQ(pass->text(), "7");
  EXPECT_EQ(Slider("hsPassOhms0")->value(), 7);
}

// The hours follow the thumb while it is dragged; the seconds' minimum settles once it is let go.
TEST_F(EditorWindow, DraggingTheHoursThumbSettlesTheSecondsOnlyWhenLetGo) {
  QTest::mouseClick(Control<QRadioButton>("optDuration0"), Qt::LeftButton);
  QScrollBar* hours = Slider("hsDurationHr0");
  hours->setValue(1);
  Slider("hsDuration0")->setValue(10);
  hours->setSliderDown(true);
  hours->setSliderPosition(0);
  EXPECT_EQ(Box("txtDurationHr0")->text(), "0");
  EXPECT_EQ(Box("txtDuration0")->text(), "00:10");
  hours->setSliderDown(false);
  EXPECT_EQ(Box("txtDuration0")->text(), "00:30");
}

TEST_F(EditorWindow, DownloadButtonReloadsItsOwnProgramOnlyWhileConnected) {
  Control<QPushButton>("cmdReload1")->click();
  EXPECT_TRUE(LogLines().isEmpty());
  Link().OpenDevice();
  Tick(7);
  // The full download is followed by the window's identity requests; a reload asks only its own.
  EXPECT_EQ(driver->writes, (std::vector<std::string>{"(*)", "(MP11)", "(MP12)", "(MP13)", "(MV1)",
                                                      "(MS1)", "(MD1)"}));
  modMain::StatusLogText.clear();
  Control<QPushButton>("cmdReload1")->click();
  EXPECT_EQ(LogLines(), QStringList{"Reloading Program 2 data from VELD32."});
  Tick(2);
  EXPECT_EQ(driver->writes.back(), "(MP12)");
  EXPECT_EQ(LogLines(),
            (QStringList{"Reloading Program 2 data from VELD32.", "Program data load complete."}));
}

TEST_F(EditorWindow, UploadChecksTheLimitsBeforeTheConnection) {
  form->Model().SetSliderValue(2, ProgramSlider::PassOhms, 999);
  form->Model().SetSliderValue(2, ProgramSlider::FailOhms, 999);
  Control<QPushButton>("cmdSave")->click();
  form->Model().SetSliderValue(2, ProgramSlider::FailOhms, 1000);
  Control<QPushButton>("cmdSave")->click();
  EXPECT_EQ(prompts.shown,
            (QStringList{"ERROR - Pass(ohms) value must be less than Fail(ohms) value!  Save to "
                         "VELD32 aborted.",
                         "ERROR - VELD32 not connected!  Save to VELD32 aborted."}));
  EXPECT_TRUE(LogLines().isEmpty());
  EXPECT_TRUE(driver->writes.empty());
}

}  // namespace
