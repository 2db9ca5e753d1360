#include <QLocale>
#include <QTabWidget>
#include <QTest>

#include "editor_window_fixture.h"

namespace {

using EditorControls = EditorWindowTest;

QString Decimal(QString text) { return text.replace('.', QLocale().decimalPoint()); }

TEST_F(EditorControls, ShowsTheDefaultsOnAllThreeTabs) {
  auto* tabs = Control<QTabWidget>("SSTab1");
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->currentIndex(), 0);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const QString n = QString::number(i);
    EXPECT_EQ(tabs->tabText(i), "Test Program " + QString::number(i + 1));
    EXPECT_EQ(Control<QComboBox>("cmbCurrent" + n)->currentText(), "5");
    EXPECT_EQ(Control<QComboBox>("cmbFrequency" + n)->currentText(), "2");
    EXPECT_EQ(Slider("hsPulseWidth", i)->minimum(), 200);
    EXPECT_EQ(Box("txtPulseWidth", i)->text(), "200");
    EXPECT_TRUE(Control<QRadioButton>("optSingleMeasure" + n)->isChecked());
    EXPECT_FALSE(Slider("hsDuration", i)->isEnabled());
    EXPECT_EQ(Box("txtDuration", i)->text(), "00:30");
    EXPECT_EQ(Box("txtDurationHr", i)->text(), "0");
    EXPECT_EQ(Slider("hsPassOhms", i)->value(), 150);
    EXPECT_EQ(Box("txtFailOhms", i)->text(), "1000");
    EXPECT_EQ(Box("txtPulseCharge", i)->text(), Decimal("01.0"));
    EXPECT_EQ(Box("txtAverageCurrent", i)->text(), Decimal("000.002"));
  }
}

TEST_F(EditorControls, PickingOneHundredMilliampsWithTheKeyboardNarrowsThePulseWidth) {
  Control<QTabWidget>("SSTab1")->setCurrentIndex(1);
  Slider("hsPulseWidth", 1)->setValue(400);  // as the operator's arrow keys would
  ASSERT_EQ(Box("txtPulseWidth", 1)->text(), "400");
  QTest::keyClick(Control<QComboBox>("cmbCurrent1"), Qt::Key_End);
  EXPECT_EQ(Control<QComboBox>("cmbCurrent1")->currentText(), "100");
  EXPECT_EQ(Slider("hsPulseWidth", 1)->maximum(), 300);
  EXPECT_EQ(Slider("hsPulseWidth", 1)->value(), 300);
  EXPECT_EQ(Box("txtPulseWidth", 1)->text(), "300");
  EXPECT_EQ(Box("txtAverageCurrent", 1)->text(), Decimal("000.060"));
  EXPECT_EQ(Box("txtPulseCharge", 1)->text(), Decimal("30.0"));
}

TEST_F(EditorControls, SingleMeasureDisablesTheFourDurationControls) {
  QTest::mouseClick(Control<QRadioButton>("optDuration2"), Qt::LeftButton);
  ASSERT_TRUE(Slider("hsDurationHr", 2)->isEnabled());
  ASSERT_TRUE(Box("txtDuration", 2)->isEnabled());
  Slider("hsDurationHr", 2)->setValue(2);
  Slider("hsDuration", 2)->setValue(45 * 60);
  ASSERT_EQ(Box("txtDuration", 2)->text(), "45:00");

  QTest::mouseClick(Control<QRadioButton>("optSingleMeasure2"), Qt::LeftButton);
  EXPECT_FALSE(Control<QRadioButton>("optDuration2")->isChecked());
  for (QWidget* control :
       std::initializer_list<QWidget*>{Slider("hsDuration", 2), Box("txtDuration", 2),
                                       Slider("hsDurationHr", 2), Box("txtDurationHr", 2)}) {
    EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
  }
  EXPECT_EQ(Box("txtDuration", 2)->text(), "00:30");
  EXPECT_EQ(Slider("hsDuration", 2)->value(), 30);
  EXPECT_EQ(Box("txtDurationHr", 2)->text(), "0");
}

TEST_F(EditorControls, TypedLimitsAreValidatedKeystrokeByKeystroke) {
  QLineEdit* pass = Box("txtPassOhms", 0);
  pass->selectAll();
  QTest::keyClicks(pass, "007");
  EXPECT_EQ(pass->text(), "7");
  EXPECT_EQ(Slider("hsPassOhms", 0)->value(), 7);
  pass->selectAll();
  QTest::keyClick(pass, Qt::Key_Backspace);
  EXPECT_EQ(pass->text(), "0");
  EXPECT_EQ(Slider("hsPassOhms", 0)->value(), 7);
}

TEST_F(EditorControls, DraggingTheHoursThumbSettlesTheSecondsOnlyWhenLetGo) {
  QTest::mouseClick(Control<QRadioButton>("optDuration0"), Qt::LeftButton);
  QScrollBar* hours = Slider("hsDurationHr", 0);
  hours->setValue(1);
  Slider("hsDuration", 0)->setValue(10);
  hours->setSliderDown(true);
  hours->setSliderPosition(0);
  EXPECT_EQ(Box("txtDurationHr", 0)->text(), "0");
  EXPECT_EQ(Box("txtDuration", 0)->text(), "00:10");
  hours->setSliderDown(false);
  EXPECT_EQ(hours->value(), 0);
  EXPECT_EQ(Slider("hsDuration", 0)->minimum(), 30);
  EXPECT_EQ(Box("txtDuration", 0)->text(), "00:30");
}

}  // namespace
