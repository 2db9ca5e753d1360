// No clipped text: every caption, button text and box text of the main window fits its control
// under the look the utility uses on Linux, in each state the strip can show. The suite runs
// this at the scales 1, 1.5 and 2 (QT_SCALE_FACTOR).
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTabBar>
#include <QTabWidget>

#include <gtest/gtest.h>

#include "BackgroundForm.h"
#include "ParentMDIForm.h"
#include "StatusWindowForm.h"
#include "ctlVELD32UsbComm.h"
#include "desktop_look.h"
#include "frmTestOptions.h"
#include "modMain.h"
#include "scripted_prompts.h"
#include "simulated_tester.h"
#include "window_fixture.h"

namespace {

// How many pixels `widget` lacks to show its whole text; 0 when it fits.
int Shortfall(const QWidget& widget) {
  const QFontMetrics metrics(widget.font());
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
    if (label->text().isEmpty() || label->wordWrap()) return 0;
    return std::max(metrics.horizontalAdvance(label->text()) - label->contentsRect().width(),
                    metrics.height() - label->contentsRect().height());
  }
  if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
    if (button->text().isEmpty()) return 0;
    const QSize needed = button->sizeHint();
    return std::max(needed.width() - button->width(), needed.height() - button->height());
  }
  if (const auto* box = qobject_cast<const QLineEdit*>(&widget)) {
    const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    constexpr int kTextMargin = 2;  // QLineEdit's own margin on each side
    return metrics.horizontalAdvance(box->text()) - (box->width() - 2 * (frame + kTextMargin));
  }
  if (const auto* list = qobject_cast<const QComboBox*>(&widget)) {
    return list->sizeHint().width() - list->width();
  }
  if (const auto* frame = qobject_cast<const QGroupBox*>(&widget)) {
    return metrics.horizontalAdvance(frame->title()) + 16 - frame->width();
  }
  if (const auto* bar = qobject_cast<const QTabBar*>(&widget)) {
    int worst = 0;
    for (int i = 0; i < bar->count(); ++i)
      worst =
          std::max(worst, metrics.horizontalAdvance(bar->tabText(i)) + 8 - bar->tabRect(i).width());
    return worst;
  }
  return 0;
}

class TextFit : public WindowTest {};

TEST_F(TextFit, EveryTextFitsItsControlInEveryStripState) {
  Open(QStringLiteral("veld32 /kovda"));  // the log's filters shown too
  Show();
  ParentMDIForm& window = *window_;
  ctlVELD32UsbComm& link = Link();
  auto tester = tester_;
  auto* connect = window.findChild<QCheckBox*>(QStringLiteral("chkConnect"));
  auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("SSTab1"));

  const std::pair<const char*, std::function<bool()>> states[] = {
      {"at start", [] { return true; }},
      {"connected",
       [&] {
         connect->click();
         return WaitUntil(
             [&] { return modMain::StatusLogText.contains("Program data load complete."); });
       }},
      {"closed",
       [&] {
         connect->click();
         return WaitUntil([&] { return !link.Connected(); });
       }},
      {"no tester",
       [&] {
         tester->Unplug();
         connect->click();
         return WaitUntil([&] { return link.Strip().errorMessage == "No devices found"; });
       }},
  };
  for (const auto& [state, reach] : states) {
    ASSERT_TRUE(reach()) << state;
    for (int tab = 0; tab < tabs->count(); ++tab) {
      tabs->setCurrentIndex(tab);
      QCoreApplication::processEvents();
      for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window)) continue;
        EXPECT_LE(Shortfall(*widget), 0)
            << state << ": " << widget->objectName().toStdString() << " ("
            << widget->metaObject()->className() << ") is " << widget->width() << " x "
            << widget->height() << " at scale " << qgetenv("QT_SCALE_FACTOR").toStdString();
      }
    }
  }
}

}  // namespace
