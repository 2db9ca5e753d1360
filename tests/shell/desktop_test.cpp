// The main window as a desktop user works it: keyboard only, menus, a small screen, the help
// it gives, its file dialogs and the log box's menu. Under the look the utility uses on Linux.
#include <cmath>

#include "backends/backend_options.h"
#include "resources/version.h"
#include "shell/desktop_help.h"
#include "tests/shell/window_fixture.h"
#include "tests/support/program_description.h"

namespace {

#ifdef Q_OS_LINUX
constexpr bool kOwnLook = true;
#else
constexpr bool kOwnLook = false;  // Windows keeps its native style, palette and focus rings
#endif

class Desktop : public WindowTest {
 protected:
  void SetUp() override { Open(QStringLiteral("veld32 --simulate")); }
  void Press(QKeyCombination keys) {
    QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers());
  }
};

// The editor has the focus at start; Tab visits every control of every child window (each with
// a tooltip) and comes back to where it began, through a program's rows, then Download, Upload and
// the strip. Ctrl with PageUp, PageDown or a digit switches programs from every child window; every
// setting changes from the keyboard alone; menus and their items have distinct mnemonics.
TEST_F(Desktop, TheKeyboardAloneReachesEveryControlProgramAndSettingAndEachHasItsTooltip) {
  Show();
  ASSERT_TRUE(window_->TestOptions().isAncestorOf(QApplication::focusWidget())) << FocusName();
  const QString start = FocusName();
  QStringList visited;
  for (int presses = 0; presses < 60 && (visited.isEmpty() || FocusName() != start); ++presses) {
    Press(Qt::Key_Tab);
    visited << FocusName();
  }
  EXPECT_EQ(FocusName(), start) << "Tab does not come back";
  const QStringList twice = visited + visited;
  // Single Measure leaves the duration sliders disabled, so they are skipped.
  EXPECT_EQ(
      twice.mid(twice.indexOf("cmbCurrent0"), 13),
      QStringList({"cmbCurrent0", "cmbFrequency0", "hsPulseWidth0", "optSingleMeasure0",
                   "optDuration0", "hsPassOhms0", "txtPassOhms0", "hsFailOhms0", "txtFailOhms0",
                   "cmdReload0", "cmdSave", "chkConnect", "qt_tabwidget_tabbar"}));
  for (const QWidget* control : window_->findChildren<QWidget*>()) {
    // The toolkit's own parts (unnamed scroll bars, hidden tab scroll buttons) aside, every
    // control has a tooltip. The frames that hand the focus on to their controls are no stops of
    // their own.
    const QString name = control->objectName();
    if (name.isEmpty() || name.startsWith("qt_") || control->isHidden()) continue;
    const bool tipped = control->inherits("QAbstractButton") ||
                        control->inherits("QAbstractSlider") || control->inherits("QLineEdit") ||
                        control->inherits("QComboBox") || control->inherits("QPlainTextEdit");
    EXPECT_TRUE(!tipped || !control->toolTip().isEmpty()) << name << " has no tooltip";
    if (!control->inherits("QMdiSubWindow") && !control->inherits("QScrollArea") &&
        !control->inherits("QTabWidget") && control->isVisible() && control->isEnabled() &&
        (control->focusPolicy() & Qt::TabFocus)) {
      EXPECT_TRUE(visited.contains(name)) << name << " skipped";
    }
  }

  auto* tabs = Find<QTabWidget>("SSTab1");
  const std::pair<QKeyCombination, int> presses[] = {
      {Qt::CTRL | Qt::Key_PageDown, 1}, {Qt::CTRL | Qt::Key_3, 2}, {Qt::CTRL | Qt::Key_PageDown, 0},
      {Qt::CTRL | Qt::Key_PageUp, 2},   {Qt::CTRL | Qt::Key_1, 0}, {Qt::CTRL | Qt::Key_2, 1},
  };
  for (const char* focus : {"txtPassOhms0", "cmdPause"}) {
    tabs->setCurrentIndex(0);
    Find(focus)->setFocus();
    for (const auto& [keys, tab] : presses) {
      Press(keys);
      EXPECT_EQ(tabs->currentIndex(), tab) << QKeySequence(keys).toString() << " from " << focus;
    }
  }

  tabs->setCurrentIndex(0);
  using enum Qt::Key;
  const std::pair<const char*, std::vector<Qt::Key>> steps[] = {
      {"cmbCurrent0", {Key_Down}},                 // 10 mA
      {"cmbFrequency0", {Key_Down, Key_Down}},     // 10 Hz
      {"hsPulseWidth0", {Key_Right, Key_PageUp}},  // 200 + 10 + 10
      {"optDuration0", {Key_Space}},               //
      {"hsDurationHr0", {Key_Right}},              // 1 h
      {"hsDuration0", {Key_PageUp, Key_Left}},     // 30 + 10 - 1 s
      {"hsPassOhms0", {Key_Left}},                 // 149
      {"hsFailOhms0", {Key_PageDown, Key_Left}},   // 1000 - 10 - 1
      {"txtPassOhms0", {Key_Backspace, Key_Backspace, Key_Backspace, Key_1, Key_2, Key_0}},
  };
  for (const auto& [name, keys] : steps) {
    // The next control may lie before this one in the tab order.
    Find("cmbCurrent0")->setFocus();
    for (int presses = 0; presses < 40 && FocusName() != name; ++presses) Press(Qt::Key_Tab);
    ASSERT_EQ(FocusName(), name) << " is not reached by Tab";
    for (const Qt::Key key : keys) Press(key);
  }
  EXPECT_EQ(DescribeProgram(Model(), 0),
            "10mA 10Hz 220us(220) duration 1h 39s(00:39) pass 120(120) fail 989(989)");

  const auto expectDistinct = [](const QList<QAction*>& actions) {
    QStringList letters;
    for (const QAction* action : actions) {
      const qsizetype amp = action->text().indexOf(u'&');
      if (!action->isSeparator())
        letters << (amp < 0 ? "none" : action->text().mid(amp + 1, 1).toLower());
    }
    EXPECT_EQ(QSet<QString>(letters.begin(), letters.end()).size(), letters.size()) << letters;
    EXPECT_FALSE(letters.contains("none")) << letters;
  };
  expectDistinct(window_->menuBar()->actions());
  for (QAction* menu : window_->menuBar()->actions()) expectDistinct(menu->menu()->actions());

  // The settings' tooltips name their unit and range. The boxes a slider sets take neither focus
  // nor typing, and look unlike the boxes that do.
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
    for (const QString& part : parts)
      EXPECT_TRUE(Find(name)->toolTip().contains(part)) << name << ": " << Find(name)->toolTip();
  }
  const QColor editable = Find<QLineEdit>("txtPassOhms0")->palette().color(QPalette::Base);
  for (const char* name : {"txtPulseWidth0", "txtDurationHr0", "txtDuration0"}) {
    const auto* box = Find<QLineEdit>(name);
    EXPECT_TRUE(box->isReadOnly() && box->focusPolicy() == Qt::NoFocus) << name;
    EXPECT_NE(box->palette().color(QPalette::Base), editable) << name << " looks editable";
  }
}

// A dark desktop theme (its palette for the application and for classes of widgets, as a
// platform theme sets them) gives way to the window's own look: every caption, the strip's
// "VELD32 Connected" among them, stays readable on the background it is drawn on. The focus
// shows on sliders and the strip's button.
TEST_F(Desktop, ADarkDesktopThemeLeavesEveryCaptionReadableAndTheFocusVisible) {
  if (!kOwnLook) GTEST_SKIP() << "the window draws in its own look on Linux only";
  const auto luminance = [](const QColor& colour) {
    double sum = 0;
    for (const auto& [c, weight] :
         {std::pair{colour.redF(), 0.2126}, {colour.greenF(), 0.7152}, {colour.blueF(), 0.0722}})
      sum += weight * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    return sum + 0.05;
  };
  QPalette dark(QColor(53, 53, 53), QColor(35, 35, 35));
  for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    dark.setColor(role, Qt::white);
  QApplication::setPalette(dark);
  for (const char* className : {"QLabel", "QAbstractButton", "QLineEdit", "QGroupBox"})
    QApplication::setPalette(dark, className);
  Open(QStringLiteral("veld32 --simulate"));
  Show();
  Connect();
  ASSERT_EQ(StatusCaption(), "VELD32 Connected");
  for (const QLabel* label : window_->findChildren<QLabel*>()) {
    if (!label->isVisible() || label->text().isEmpty() || label->parentWidget() == nullptr)
      continue;
    const QWidget& ground =
        label->autoFillBackground() ? static_cast<const QWidget&>(*label) : *label->parentWidget();
    const double fore = luminance(label->palette().color(label->foregroundRole()));
    const double back = luminance(ground.palette().color(ground.backgroundRole()));
    EXPECT_GE(std::max(fore, back) / std::min(fore, back), 4.5)
        << label->objectName() << " \"" << label->text() << "\"";
  }
  // A slider's thumb is solid: a run of pixels across it far darker than its groove.
  const QImage slider = Find("hsPassOhms0")->grab().toImage();
  int lightest = 0, run = 0, longest = 0;
  for (int x = 0; x < slider.width(); ++x)
    lightest = std::max(lightest, slider.pixelColor(x, slider.height() / 2).lightness());
  for (int x = 0; x < slider.width(); ++x) {
    run = slider.pixelColor(x, slider.height() / 2).lightness() < lightest - 80 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  EXPECT_GE(longest, 6) << "a hollow thumb";
  const auto shows = [](QWidget* widget, const QColor& colour) {
    const QImage shot = widget->grab().toImage();
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x)
        if (shot.pixelColor(x, y) == colour) return true;
    return false;
  };
  for (const char* name : {"chkConnect", "cmdSave"})  // the caption drawn, in its colour
    EXPECT_TRUE(shows(Find(name), Find(name)->palette().color(Find(name)->foregroundRole())))
        << name;
  // The focus shows as a ring in the highlight colour.
  for (const char* name : {"hsPassOhms0", "chkConnect", "cmdSave"}) {
    Find("txtPassOhms0")->setFocus(Qt::TabFocusReason);
    const QColor ring = Find(name)->palette().color(QPalette::Highlight);
    EXPECT_FALSE(shows(Find(name), ring)) << name;
    Find(name)->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(Find(name)->hasFocus()) << name;
    EXPECT_TRUE(shows(Find(name), ring)) << name << " looks the same with the focus";
  }
}

// A frame larger than the screen scrolls to every control, one that fits stays as it opened;
// child windows stay inside the frame and Arrange Windows puts them back.
TEST_F(Desktop, TheFrameFitsTheScreenAndChildWindowsStayInsideIt) {
  const QSize specified = window_->size();
  window_->FitInto(QRect(0, 0, 1920, 1080));
  Show();
  auto* area = Find<QScrollArea>("scrollArea");
  EXPECT_EQ(window_->size(), specified);
  EXPECT_FALSE(area->horizontalScrollBar()->isVisible() || area->verticalScrollBar()->isVisible());
  QMdiSubWindow* children[] = {window_->ChildWindow(window_->TestOptions()),
                               window_->ChildWindow(window_->StatusWindow()),
                               window_->ChildWindow(window_->Background())};
  const QPoint starts[] = {children[0]->pos(), children[1]->pos(), children[2]->pos()};
  const QSize room = Find<QMdiArea>("mdiArea")->viewport()->size();
  children[0]->move(-300, 5000);
  children[1]->move(5000, -40);
  children[2]->move(100, 80);
  EXPECT_EQ(children[0]->pos(), QPoint(0, room.height() - children[0]->height()));
  EXPECT_EQ(children[1]->pos(), QPoint(room.width() - children[1]->width(), 0));
  EXPECT_EQ(children[2]->pos(), QPoint(100, 80));
  window_->menuArrangeWindows_Click();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(children[i]->pos(), starts[i]) << i;

  const QRect screen(0, 0, 640, 512);  // a 1280 x 1024 screen at twice the scale
  window_->FitInto(screen);
  QCoreApplication::processEvents();
  EXPECT_LE(window_->frameGeometry().width(), screen.width());
  EXPECT_LE(window_->frameGeometry().height(), screen.height());
  for (const char* name : {"cmdSave", "cmdPause", "VELD32VersionLabel"}) {
    area->ensureWidgetVisible(Find(name));
    const QRect shown(Find(name)->mapTo(area->viewport(), QPoint(0, 0)), Find(name)->size());
    EXPECT_TRUE(area->viewport()->rect().contains(shown)) << name << " cannot be scrolled to";
  }
}

// About names the versions, the backend and the udev rule, found in the first place that holds
// it. Connect without a tester logs one line on what to check. The advice names the rule once,
// where it is or where the package puts it; never the source tree's copy, which an installed
// utility's user does not have.
TEST_F(Desktop, AboutAndTheNoTesterHintNameTheUdevRulesPlace) {
  tester_->Unplug();
  for (int attempt = 0; attempt < 2; ++attempt) {
    ConnectButton().click();
    ASSERT_TRUE(WaitUntil([&] { return !ConnectButton().isChecked(); }));
  }
  EXPECT_EQ(LogLines().filter("No VELD32"), QStringList{NoTesterHint(InstalledUdevRule())});
  EXPECT_EQ(Text("lblErrorMessage"), "No devices found");

  window_->menuAbout_Click();  // naming the backend the window was assembled with
  auto* box = Find<QMessageBox>("frmAbout");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->windowTitle(), "About VELD32 Configurator");
  EXPECT_EQ(box->text(), AboutText(QStringLiteral("simulated"), InstalledUdevRule()));

  for (const QString& rule : {QString(), QStringLiteral("/etc/udev/rules.d/60-veld32.rules")}) {
    const QString about = AboutText(QStringLiteral("libftdi1"), rule);
    for (const QString& part : QStringList{
             "VELD32 Configurator " VELD32_VERSION_TEXT, "Qt " + QString(qVersion()),
             QStringLiteral("libftdi1 ") + LibftdiVersionText(), QStringLiteral("Driver: libftdi1"),
             "udev rule: " + (rule.isEmpty() ? "not installed" : rule)})
      EXPECT_TRUE(about.contains(part)) << part << " not in " << about;
    const QString place = rule.isEmpty() ? "/usr/lib/udev/rules.d/60-veld32.rules" : rule;
    for (const QString& text : {about.mid(about.indexOf("udev rule: ")), NoTesterHint(rule)}) {
      EXPECT_EQ(text.count("udev rule"), 1) << text;
      EXPECT_TRUE(text.contains(place) && !text.contains("packaging/")) << text;
    }
    EXPECT_TRUE(NoTesterHint(rule).contains("--simulate") &&
                NoTesterHint(rule).contains("USB cable"));
  }

  QTemporaryDir dir;
  const QString absent = dir.filePath("absent.rules");
  const QString first = dir.filePath("first.rules");
  const QString second = dir.filePath("second.rules");
  for (const QString& name : {first, second}) ASSERT_TRUE(QFile(name).open(QIODevice::WriteOnly));
  const std::pair<QStringList, QString> cases[] = {{{absent, first, second}, first},
                                                   {{second, first}, second},
                                                   {{absent}, QString()},
                                                   {{dir.path()}, QString()}};  // no folder
  for (const auto& [candidates, found] : cases) EXPECT_EQ(InstalledUdevRule(candidates), found);
  const QString prefix = QFileInfo(QCoreApplication::applicationDirPath()).path();
  EXPECT_EQ(UdevRuleCandidates(), QStringList({"/etc/udev/rules.d/60-veld32.rules",
                                               "/usr/lib/udev/rules.d/60-veld32.rules",
                                               "/lib/udev/rules.d/60-veld32.rules",
                                               prefix + "/lib/udev/rules.d/60-veld32.rules"}));
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
  EXPECT_EQ(prompts_.folders, expected << home.filePath("Desktop"));
  EXPECT_EQ(prompts_.filters, filters << dialogs[0].first);
}

// The save dialog starts in the folder it is given, with an empty name, and adds the filter's
// extension to a name typed without one (what counts as one is the toolkit's rule).
TEST_F(Desktop, TheSaveDialogStartsWithAnEmptyNameAndAddsTheExtension) {
  QTemporaryDir dir;
  QString startName = QStringLiteral("unset");
  QString startFolder;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    startFolder = dialog->directory().absolutePath();
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    startName = name->text();
    name->setText(QStringLiteral("line3"));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  QtOperatorPrompts prompts;
  EXPECT_EQ(prompts.SaveFileName(QStringLiteral("VELD32 Single Program (*.vsp)"), dir.path()),
            dir.filePath("line3.vsp"));
  EXPECT_EQ(startFolder, dir.path());
  EXPECT_EQ(startName, QString());
}

}  // namespace
