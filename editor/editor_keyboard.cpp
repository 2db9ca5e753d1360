#include "editor/editor_keyboard.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>

#include <utility>

namespace {

// Each control of a tab by its name without the program's index, in tab order, with its tip.
constexpr std::pair<const char*, const char*> kControls[] = {
    {"cmbCurrent", "Test current in mA: 5, 10, 20, 50 or 100"},
    {"cmbFrequency", "Pulse frequency in Hz: 2, 5, 10, 20, 50, 100, 120 or 150"},
    {"hsPulseWidth",
     "Pulse width in uSec, 20 to 500 in steps of 10; the current narrows it: 5 mA 200 to 500, "
     "10 mA 100 to 500, 20 mA 50 to 500, 50 mA 20 to 500, 100 mA 20 to 300"},
    {"txtPulseWidth", "Pulse width in uSec: 20 to 500 (set with the slider above)"},
    {"optSingleMeasure", "One measurement, without a duration"},
    {"optDuration", "A timed test of the duration set below"},
    {"hsDurationHr", "Duration, whole hours: 0 to 99"},
    {"txtDurationHr", "Duration, whole hours: 0 to 99 (set with the slider beside it)"},
    {"hsDuration",
     "Duration, minutes and seconds: 00:30 to 59:59, from 00:00 when the hours are 1 or more"},
    {"txtDuration",
     "Duration, minutes and seconds: 00:30 to 59:59, from 00:00 when the hours are 1 or more "
     "(set with the slider beside it)"},
    {"hsPassOhms", "Pass limit in ohms: 1 to 999, below the fail limit"},
    {"txtPassOhms", "Pass limit in ohms: 1 to 999, below the fail limit"},
    {"hsFailOhms", "Fail limit in ohms: 2 to 1000, above the pass limit"},
    {"txtFailOhms", "Fail limit in ohms: 2 to 1000, above the pass limit"},
    {"txtPulseCharge", "Pulse charge in uC: current times pulse width"},
    {"txtAverageCurrent", "Average current in mA: current times pulse width times frequency"},
    {"cmdReload", "Replace this program with the one the tester holds"},
};

QString Suffix(const QWidget& tab) { return tab.objectName().right(1); }

}  // namespace

void PrepareProgramTab(QWidget& tab) {
  for (const auto& [name, tip] : kControls) {
    auto* control = tab.findChild<QWidget*>(QLatin1String(name) + Suffix(tab));
    if (control == nullptr) continue;
    control->setToolTip(QString::fromUtf8(tip));
    if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
      slider->setFocusPolicy(Qt::StrongFocus);
      // Right and Page Up raise the value (a scroll bar's keys run the other way by default).
      slider->setInvertedControls(false);
    }
    const auto* box = qobject_cast<QLineEdit*>(control);
    if (box != nullptr && box->isReadOnly()) control->setFocusPolicy(Qt::NoFocus);
  }
}

void PrepareEditorKeys(QWidget& window, QTabWidget& tabs) {
  QWidget* previous = nullptr;
  const auto follow = [&previous](QWidget* next) {
    if (previous != nullptr) QWidget::setTabOrder(previous, next);
    previous = next;
  };
  for (int i = 0; i < tabs.count(); ++i) {
    for (const auto& [name, tip] : kControls) {
      auto* control = tabs.widget(i)->findChild<QWidget*>(QLatin1String(name) + QString::number(i));
      if (control != nullptr && control->focusPolicy() != Qt::NoFocus) follow(control);
    }
  }
  follow(window.findChild<QAbstractButton*>(QStringLiteral("cmdSave")));
  follow(window.findChild<QAbstractButton*>(QStringLiteral("chkConnect")));
  follow(tabs.tabBar());

  const auto switchTo = [&tabs](int index) {
    tabs.setCurrentIndex((index + tabs.count()) % tabs.count());
  };
  const auto shortcut = [&window](const QKeySequence& keys, auto action) {
    auto* key = new QShortcut(keys, &window);  // owned by the window
    // The editor is one child window of the frame among others: a window shortcut would act
    // only while the editor is the active child, and not from the log beside it.
    key->setContext(Qt::ApplicationShortcut);
    QObject::connect(key, &QShortcut::activated, &window, action);
  };
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown),
           [&tabs, switchTo] { switchTo(tabs.currentIndex() + 1); });
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp),
           [&tabs, switchTo] { switchTo(tabs.currentIndex() - 1); });
  for (int i = 0; i < tabs.count(); ++i) {
    shortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + i)),
             [switchTo, i] { switchTo(i); });
  }
}
