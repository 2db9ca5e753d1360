// The main window as a desktop user works it: keyboard only, menus, a small screen, the help
// it gives, its file dialogs and the log box's menu. Under the look the utility uses on Linux.
#include <cmath>

#include "backends/backend_options.h"
#include "resources/version.h"
#include "shell/desktop_help.h"
#include "tests/shell/window_fixture.h"
#include "tests/support/program_description.h"

namespace {

class Desktop : public WindowTest {
 protected:
  void SetUp() override { Open(QStringLiteral("veld32 --simulate")); }
  // Tabs forward until `name` has the focus.
  bool TabTo(const QString& name) {
    for (int presses = 0; presses < 40 && FocusName() != name; ++presses)
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    return FocusName() == name;
  }
  QMdiSubWindow* Child(QWidget& form) { return window_->ChildWindow(form); }
};

TEST_F(Desktop, EverySettingOfAProgramChangesFromTheKeyboardAlone) {
  Show();
  Find("cmbCurrent0")->setFocus();
  const std::pair<const char*, std::vector<Qt::Key>> steps[] = {
      {"cmbCurrent0", {Qt::Key_Down}},                     // 10 mA
      {"cmbFrequency0", {Qt::Key_Down, Qt::Key_Down}},     // 10 Hz
      {"hsPulseWidth0", {Qt::Key_Right, Qt::Key_PageUp}},  // 200 + 10 + 10
      {"optDuration0", {Qt::Key_Space}},
      {"hsDurationHr0", {Qt::Key_Right}},                 // 1 h
      {"hsDuration0", {Qt::Key_PageUp, Qt::Key_Left}},    // 30 + 10 - 1 s
      {"hsPassOhms0", {Qt::Key_Left}},                    // 149
      {"hsFailOhms0", {Qt::Key_PageDown, Qt::Key_Left}},  // 1000 - 10 - 1
      {"txtPassOhms0",
       {Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_1, Qt::Key_2, Qt::Key_0}},
  };
  for (const auto& [name, keys] : steps) {
    ASSERT_TRUE(TabTo(QString::fromLatin1(name))) << name << " is not reached by Tab";
    for (const Qt::Key key : keys) QTest::keyClick(QApplication::focusWidget(), key);
    // The next control may lie before this one in the tab order.
    Find("cmbCurrent0")->setFocus();
  }
  EXPECT_EQ(DescribeProgram(Model(), 0),
            "10mA 10Hz 220us(220) duration 1h 39s(00:39) pass 120(120) fail 989(989)");
}

// The editor has the focus at start; Tab visits every control of every child window and comes
// back to where it began, through a program's rows, then Download, Upload and the strip.
TEST_F(Desktop, TheEditorStartsWithTheFocusAndTabCyclesThroughEveryControl) {
  Show();
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  EXPECT_TRUE(window_->TestOptions().isAncestorOf(QApplication::focusWidget()))
      << FocusName().toStdString();
  QSet<QString> expected;
  for (const QWidget* control : window_->findChildren<QWidget*>()) {
    // The frames that hand the focus on to their controls are no stops of their own.
    const bool frame = qobject_cast<const QMdiSubWindow*>(control) ||
                       qobject_cast<const QScrollArea*>(control) ||
                       qobject_cast<const QTabWidget*>(control);
    if (!frame && control->isVisible() && control->isEnabled() &&
        (control->focusPolicy() & Qt::TabFocus) && !control->objectName().isEmpty() &&
        !control->objectName().startsWith("qt_"))
      expected << control->objectName();
  }
  const QString start = FocusName();
  QStringList visited;
  for (int presses = 0; presses < 60; ++presses) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << FocusName();
    if (FocusName() == start) break;
  }
  const QStringList twice = visited + visited;
  // Single Measure leaves the duration sliders disabled, so they are skipped.
  EXPECT_EQ(
      twice.mid(twice.indexOf("cmbCurrent0"), 13),
      QStringList({"cmbCurrent0", "cmbFrequency0", "hsPulseWidth0", "optSingleMeasure0",
                   "optDuration0", "hsPassOhms0", "txtPassOhms0", "hsFailOhms0", "txtFailOhms0",
                   "cmdReload0", "cmdSave", "chkConnect", "qt_tabwidget_tabbar"}));
  EXPECT_EQ(FocusName(), start) << "Tab does not come back";
  for (const QString& name : expected)
    EXPECT_TRUE(visited.contains(name)) << name.toStdString() << " is not reached by Tab";
  EXPECT_TRUE(visited.contains("cmdPause") && visited.contains("qt_tabwidget_tabbar"));
}

TEST_F(Desktop, CtrlPageKeysAndCtrlDigitsSwitchProgramTabsFromEveryChildWindow) {
  Show();
  auto* tabs = Find<QTabWidget>("SSTab1");
  const std::pair<QKeyCombination, int> presses[] = {
      {Qt::CTRL | Qt::Key_PageDown, 1}, {Qt::CTRL | Qt::Key_3, 2}, {Qt::CTRL | Qt::Key_PageDown, 0},
      {Qt::CTRL | Qt::Key_PageUp, 2},   {Qt::CTRL | Qt::Key_1, 0}, {Qt::CTRL | Qt::Key_2, 1},
  };
  for (const char* focus : {"txtPassOhms0", "cmdPause"}) {
    tabs->setCurrentIndex(0);
    QWidget* start = Find(QString::fromLatin1(focus));
    start->setFocus();
    for (const auto& [keys, tab] : presses) {
      QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers());
      EXPECT_EQ(tabs->currentIndex(), tab)
          << QKeySequence(keys).toString().toStdString() << " from " << focus;
    }
  }
}

TEST_F(Desktop, MenusAndTheirItemsHaveDistinctMnemonics) {
  const auto mnemonics = [](const QList<QAction*>& actions) {
    QStringList letters;
    for (const QAction* action : actions) {
      if (action->isSeparator()) continue;
      const qsizetype amp = action->text().indexOf(u'&');
      letters << (amp < 0 ? QString() : action->text().mid(amp + 1, 1).toLower());
    }
    return letters;
  };
  QList<QAction*> bar;
  for (QAction* menu : window_->menuBar()->actions()) {
    bar << menu;
    const QStringList items = mnemonics(menu->menu()->actions());
    EXPECT_EQ(QSet<QString>(items.begin(), items.end()).size(), items.size())
        << items.join(u',').toStdString();
    EXPECT_FALSE(items.contains(QString())) << menu->text().toStdString();
  }
  const QStringList letters = mnemonics(bar);
  EXPECT_EQ(QSet<QString>(letters.begin(), letters.end()).size(), letters.size())
      << letters.join(u',').toStdString();
  EXPECT_FALSE(letters.contains(QString()));
}

TEST_F(Desktop, EveryControlHasATooltipAndSettingsNameTheirUnitAndRange) {
  for (const QWidget* control : window_->findChildren<QWidget*>()) {
    const bool isControl =
        qobject_cast<const QAbstractButton*>(control) ||
        qobject_cast<const QAbstractSlider*>(control) || qobject_cast<const QLineEdit*>(control) ||
        qobject_cast<const QComboBox*>(control) || qobject_cast<const QPlainTextEdit*>(control);
    // The toolkit's own parts: unnamed scroll bars, hidden tab scroll buttons.
    if (!isControl || control->isHidden() || control->objectName().isEmpty() ||
        control->objectName().startsWith("qt_"))
      continue;
    EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
  }
  const std::pair<const char*, QStringList> settings[] = {
      {"cmbCurrent1", {"mA", "5", "100"}},
      {"cmbFrequency1", {"Hz", "2", "150"}},
      {"hsPulseWidth1", {"uSec", "20", "500"}},
      {"hsDurationHr1", {"hours", "0", "99"}},
      {"hsDuration1", {"seconds", "00:30", "59:59"}},
      {"hsPassOhms1", {"ohms", "1", "999"}},
      {"hsFailOhms1", {"ohms", "2", "1000"}},
      {"txtAverageCurrent1", {"mA"}},
      {"txtPulseCharge1", {"uC"}},
      {"txtPulseWidth1", {"uSec", "20", "500", "slider"}},
      {"txtDurationHr1", {"hours", "0", "99", "slider"}},
      {"txtDuration1", {"seconds", "00:30", "59:59", "slider"}},
  };
  for (const auto& [name, parts] : settings) {
    const QString tip = Find(QString::fromLatin1(name))->toolTip();
    for (const QString& part : parts)
      EXPECT_TRUE(tip.contains(part)) << name << ": " << tip.toStdString();
  }
}

// The boxes a slider sets take neither focus nor typing, and look unlike the boxes that do.
TEST_F(Desktop, BoxesSetBySlidersLookReadOnly) {
  const QColor editable = Find<QLineEdit>("txtPassOhms0")->palette().color(QPalette::Base);
  for (const char* name : {"txtPulseWidth0", "txtDurationHr0", "txtDuration0"}) {
    const auto* box = Find<QLineEdit>(QString::fromLatin1(name));
    EXPECT_TRUE(box->isReadOnly()) << name;
    EXPECT_EQ(box->focusPolicy(), Qt::NoFocus) << name;
    EXPECT_NE(box->palette().color(QPalette::Base), editable) << name << " looks editable";
  }
}

// A dark desktop theme (its palette for the application and for classes of widgets, as a
// platform theme sets them) gives way to the window's own look: every caption, the strip's
// "VELD32 Connected" among them, stays readable on the background it is drawn on.
TEST_F(Desktop, ADarkDesktopThemeLeavesEveryCaptionReadable) {
#ifndef Q_OS_LINUX
  GTEST_SKIP()
      << "the window draws in its own look (Fusion, its palette, focus rings) on Linux only";
#endif
  const auto luminance = [](const QColor& colour) {
    const auto linear = [](double c) {
      return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
  };
  const auto contrast = [&](const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
  };
  QPalette dark(QColor(53, 53, 53), QColor(35, 35, 35));
  for (const QPalette::ColorRole role :
       {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    dark.setColor(role, Qt::white);
  QApplication::setPalette(dark);
  for (const char* className : {"QLabel", "QAbstractButton", "QLineEdit", "QGroupBox"})
    QApplication::setPalette(dark, className);
  Open(QStringLiteral("veld32 --simulate"));
  Show();
  Connect();
  ASSERT_EQ(Find<QLabel>("lblStatus")->text(), "VELD32 Connected");
  for (const QLabel* label : window_->findChildren<QLabel*>()) {
    if (!label->isVisible() || label->text().isEmpty() || label->parentWidget() == nullptr)
      continue;
    const QWidget& ground =
        label->autoFillBackground() ? static_cast<const QWidget&>(*label) : *label->parentWidget();
    EXPECT_GE(contrast(label->palette().color(label->foregroundRole()),
                       ground.palette().color(ground.backgroundRole())),
              4.5)
        << label->objectName().toStdString() << " \"" << label->text().toStdString() << "\"";
  }
}

TEST_F(Desktop, FocusIsVisibleOnSlidersAndTheStripButton) {
#ifndef Q_OS_LINUX
  GTEST_SKIP()
      << "the window draws in its own look (Fusion, its palette, focus rings) on Linux only";
#endif
  Show();
  for (const char* name : {"hsPassOhms0", "chkConnect", "cmdSave"}) {
    QWidget* control = Find(QString::fromLatin1(name));
    Find("txtPassOhms0")->setFocus(Qt::TabFocusReason);
    const QImage before = control->grab().toImage();
    control->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(control->hasFocus()) << name;
    EXPECT_NE(control->grab().toImage(), before) << name << " looks the same with the focus";
  }
}

TEST_F(Desktop, AFrameLargerThanTheScreenScrollsAndOneThatFitsStaysAsSpecified) {
  const QSize specified = window_->size();
  window_->FitInto(QRect(0, 0, 1920, 1080));
  Show();
  auto* area = Find<QScrollArea>("scrollArea");
  EXPECT_EQ(window_->size(), specified);
  EXPECT_FALSE(area->horizontalScrollBar()->isVisible() || area->verticalScrollBar()->isVisible());

  const QRect screen(0, 0, 640, 512);  // a 1280 x 1024 screen at twice the scale
  window_->FitInto(screen);
  QCoreApplication::processEvents();
  EXPECT_LE(window_->frameGeometry().width(), screen.width());
  EXPECT_LE(window_->frameGeometry().height(), screen.height());
  for (const char* name : {"cmdSave", "cmdPause", "VELD32VersionLabel"}) {
    QWidget* control = Find(QString::fromLatin1(name));
    area->ensureWidgetVisible(control);
    const QRect shown(control->mapTo(area->viewport(), QPoint(0, 0)), control->size());
    EXPECT_TRUE(area->viewport()->rect().contains(shown)) << name << " cannot be scrolled to";
  }
}

TEST_F(Desktop, ChildWindowsStayInsideTheFrameAndArrangeWindowsPutsThemBack) {
  Show();
  QMdiSubWindow* editor = Child(window_->TestOptions());
  QMdiSubWindow* log = Child(window_->StatusWindow());
  QMdiSubWindow* background = Child(window_->Background());
  const QPoint starts[] = {editor->pos(), log->pos(), background->pos()};
  const QSize room = Find<QMdiArea>("mdiArea")->viewport()->size();
  editor->move(-300, 5000);
  log->move(5000, -40);
  background->move(100, 80);
  EXPECT_EQ(editor->pos(), QPoint(0, room.height() - editor->height()));
  EXPECT_EQ(log->pos(), QPoint(room.width() - log->width(), 0));
  EXPECT_EQ(background->pos(), QPoint(100, 80));
  window_->menuArrangeWindows_Click();
  EXPECT_EQ(editor->pos(), starts[0]);
  EXPECT_EQ(log->pos(), starts[1]);
  EXPECT_EQ(background->pos(), starts[2]);
}

TEST_F(Desktop, AboutNamesTheVersionsTheBackendAndTheUdevRule) {
  window_->SetBackendDescription(QStringLiteral("libftdi1"));
  const QString about = window_->AboutText();
  const QString rule = InstalledUdevRule();
  for (const QString& part :
       {QStringLiteral("VELD32 Configurator " VELD32_VERSION_TEXT),
        QStringLiteral("Qt ") + qVersion(), QStringLiteral("libftdi1 ") + LibftdiVersionText(),
        QStringLiteral("Driver: libftdi1"),
        QStringLiteral("udev rule: ") +
            (rule.isEmpty() ? QStringLiteral("not installed") : rule)}) {
    EXPECT_TRUE(about.contains(part)) << part.toStdString() << " not in " << about.toStdString();
  }
  window_->menuAbout_Click();
  auto* box = Find<QMessageBox>("frmAbout");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->windowTitle(), "About VELD32 Configurator");
  EXPECT_EQ(box->text(), about);
}

TEST_F(Desktop, TheUdevRuleIsFoundInTheFirstPlaceThatHoldsIt) {
  QTemporaryDir dir;
  const QString absent = dir.filePath("absent.rules");
  const QString first = dir.filePath("first.rules");
  const QString second = dir.filePath("second.rules");
  for (const QString& name : {first, second}) QFile(name).open(QIODevice::WriteOnly);
  const std::pair<QStringList, QString> cases[] = {
      {{absent, first, second}, first},
      {{second, first}, second},
      {{absent}, QString()},
      {{dir.path()}, QString()},  // a folder is no rule
  };
  for (const auto& [candidates, found] : cases) EXPECT_EQ(InstalledUdevRule(candidates), found);
  const QString prefix = QFileInfo(QCoreApplication::applicationDirPath()).path();
  EXPECT_EQ(UdevRuleCandidates(), QStringList({"/etc/udev/rules.d/60-veld32.rules",
                                               "/usr/lib/udev/rules.d/60-veld32.rules",
                                               "/lib/udev/rules.d/60-veld32.rules",
                                               prefix + "/lib/udev/rules.d/60-veld32.rules"}));
}

TEST_F(Desktop, ConnectWithoutATesterLogsOneLineOnWhatToCheck) {
  tester_->Unplug();
  auto* connect = Find<QCheckBox>("chkConnect");
  for (int attempt = 0; attempt < 2; ++attempt) {
    connect->click();
    ASSERT_TRUE(WaitUntil([&] { return !connect->isChecked(); }));
  }
  const QStringList hints =
      modMain::StatusLogText.split(QStringLiteral("\r\n")).filter("No VELD32");
  ASSERT_EQ(hints.size(), 1) << modMain::StatusLogText.toStdString();
  EXPECT_EQ(hints[0], NoTesterHint(InstalledUdevRule()));
  EXPECT_EQ(window_->TestOptions().findChild<QLabel*>("lblErrorMessage")->text(),
            "No devices found");
}

// The advice names the rule once, where it is or where the package puts it; never the source
// tree's copy, which an installed utility's user does not have.
TEST_F(Desktop, TheUdevAdviceNamesTheRulesPlaceOnce) {
  for (const QString& rule : {QString(), QStringLiteral("/etc/udev/rules.d/60-veld32.rules")}) {
    const QString about = AboutText(QStringLiteral("libftdi1"), rule);
    const QString ruleLine = about.mid(about.indexOf("udev rule: "));
    const QString place =
        rule.isEmpty() ? QStringLiteral("/usr/lib/udev/rules.d/60-veld32.rules") : rule;
    for (const QString& text : {ruleLine, NoTesterHint(rule)}) {
      EXPECT_EQ(text.count("udev rule"), 1) << text.toStdString();
      EXPECT_TRUE(text.contains(place)) << text.toStdString();
      EXPECT_FALSE(text.contains("packaging/")) << text.toStdString();
    }
    EXPECT_TRUE(NoTesterHint(rule).contains("--simulate") &&
                NoTesterHint(rule).contains("USB cable"));
  }
}

// Every file dialog starts in the folder of the file last chosen in any of them; before that,
// or once that folder is gone, on the desktop when it exists, else at home. The save dialogs
// get the filter whose extension they add.
TEST_F(Desktop, FileDialogsStartInTheLastFolderUsedElseOnTheDesktopElseAtHome) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows names the desktop folder itself; HOME does not move it";
#endif
  QTemporaryDir home;
  QTemporaryDir chosen;
  const QByteArray savedHome = qgetenv("HOME");
  qputenv("HOME", home.path().toLocal8Bit());
  const std::pair<QString, std::function<void()>> dialogs[] = {
      {"VELD32 All Programs (*.vap)", [&] { window_->menuSaveAll_Click(); }},
      {"VELD32 Single Program (*.vsp)", [&] { window_->menuSaveProgram_Click(0); }},
      {"Comma-separated values (*.csv)", [&] { window_->Tester().Results().cmdSaveCsv_Click(); }},
      {"Text files (*.txt)",
       [&] {
         std::unique_ptr<QMenu> menu(window_->StatusWindow().CreateLogMenu());
         menu->actions().last()->trigger();
       }},
      {"VELD32 All Programs (*.vap)", [&] { window_->menuLoadAll_Click(); }},
      {"VELD32 Single Program (*.vsp)", [&] { window_->menuLoadProgram_Click(0); }},
  };
  dialogs[0].second();  // cancelled
  QDir(home.path()).mkdir(QStringLiteral("Desktop"));
  QStringList expected{home.path(), home.filePath("Desktop")};
  QStringList filters{dialogs[0].first};
  for (int i = 0; i < std::ssize(dialogs); ++i) {
    const QString folder = chosen.filePath(QString::number(i));
    ASSERT_TRUE(QDir().mkpath(folder));
    prompts_.fileNames = {folder + "/file"};
    dialogs[i].second();
    filters << dialogs[i].first;
    if (i > 0) expected << chosen.filePath(QString::number(i - 1));
  }
  ASSERT_TRUE(QDir(chosen.filePath(QString::number(std::ssize(dialogs) - 1))).removeRecursively());
  dialogs[0].second();  // cancelled
  qputenv("HOME", savedHome);
  expected << home.filePath("Desktop");
  filters << dialogs[0].first;
  EXPECT_EQ(prompts_.folders, expected);
  EXPECT_EQ(prompts_.filters, filters);
}

TEST_F(Desktop, TheSaveDialogStartsWithAnEmptyNameAndAddsTheExtension) {
  QTemporaryDir dir;
  const std::pair<QString, QString> cases[] = {
      {"line3", "line3.vsp"}, {"probe.vsp", "probe.vsp"}, {"v1.2", "v1.2"}};
  for (const auto& [typed, saved] : cases) {
    QString startName = QStringLiteral("unset");
    QString startFolder;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      startFolder = dialog->directory().absolutePath();
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      startName = name->text();
      name->setText(typed);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QtOperatorPrompts prompts;
    EXPECT_EQ(prompts.SaveFileName(QStringLiteral("VELD32 Single Program (*.vsp)"), dir.path()),
              dir.filePath(saved));
    EXPECT_EQ(startFolder, dir.path());
    EXPECT_EQ(startName, QString());
  }
}

TEST_F(Desktop, TheLogBoxMenuCopiesClearsAndSavesTheLog) {
  modMain::AddStatusMessage(QStringLiteral("first line"));
  modMain::AddStatusMessage(QStringLiteral("second line"));
  StatusWindowForm& log = window_->StatusWindow();
  WaitUntil([&] { return log.txtComm->toPlainText().contains("second line"); });
  std::unique_ptr<QMenu> menu(log.CreateLogMenu());
  EXPECT_FALSE(menu->actions()[0]->isEnabled()) << "Copy without a selection";
  menu->actions()[1]->trigger();  // Select All
  menu.reset(log.CreateLogMenu());
  menu->actions()[0]->trigger();  // Copy
  EXPECT_EQ(QApplication::clipboard()->text(), log.txtComm->toPlainText());
  EXPECT_TRUE(log.txtComm->toPlainText().contains("second line"));

  QTemporaryDir dir;
  EXPECT_EQ(log.SaveLogAs(dir.filePath("log.txt")), QString());
  QFile saved(dir.filePath("log.txt"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(saved.readAll()), modMain::StatusLogText);
  EXPECT_NE(log.SaveLogAs(dir.filePath("no/such/folder/log.txt")), QString());

  menu->actions()[3]->trigger();
  EXPECT_EQ(log.txtComm->toPlainText(), QString());
  EXPECT_TRUE(modMain::StatusLogText.contains("second line"));
  modMain::AddStatusMessage(QStringLiteral("third line"));
  EXPECT_TRUE(WaitUntil([&] { return log.txtComm->toPlainText() == "third line\n"; }))
      << log.txtComm->toPlainText().toStdString();
}

}  // namespace
