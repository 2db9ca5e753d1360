#pragma once

// The main window as the utility opens it (AssembleMainWindow, the same code main runs) over a
// simulated tester, for every window test.
// The window tests' includes, once: the widgets they find and the forms they reach.
#include <QTest>
#include <QtWidgets>

#include <gtest/gtest.h>

#include "backends/simulated_tester.h"
#include "device_link/ctlVELD32UsbComm.h"
#include "editor/frmTestOptions.h"
#include "programs/programs_model.h"
#include "shell/BackgroundForm.h"
#include "shell/TestResultsForm.h"
#include "shell/assembled_window.h"
#include "shell/tester_menu.h"
#include "tests/support/qt_printers.h"
#include "tests/support/scripted_prompts.h"
#include "ui_core/StatusWindowForm.h"
#include "ui_core/modMain.h"

inline bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

// The log lines since the test began.
inline QStringList LogLines() {
  QStringList lines = modMain::StatusLogText.split(QStringLiteral("\r\n"));
  lines.removeLast();
  return lines;
}

inline QString FocusName() {
  const QWidget* focus = QApplication::focusWidget();
  return focus == nullptr ? QString() : focus->objectName();
}

class WindowTest : public ::testing::Test {
 protected:
  // The window's settings start empty in a folder of the tests' own; the records go to a file of
  // each test's own.
  WindowTest() {
    // This process's own, set before its first QSettings reads it: tests run side by side.
    static const QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QSettings(QStringLiteral("veld32"), QStringLiteral("veld32")).clear();
    qputenv("VELD32_RECORDS", RecordsFile().toLocal8Bit());
  }
  void SetUp() override { Open(QStringLiteral("veld32 --simulate /kovda")); }
  QString RecordsFile() const { return recordsDir_.filePath(QStringLiteral("records.sqlite")); }
  void TearDown() override { window_.reset(); }

  // A new window over `tester_` (as the simulated tester or as any other driver), through
  // `driver_` when one is set, started with `commandLine`.
  // `device`: --device's value.
  void Open(const QString& commandLine, bool simulated = true, const QString& device = {}) {
    window_.reset();
    modMain::SetCommandLine(commandLine);
    modMain::StatusLogText.clear();
    modMain::StatusPaused = false;
    modMain::InitSharedFlags();
    window_ = AssembleMainWindow(
        Backend{driver_ ? driver_ : tester_, simulated ? tester_ : nullptr, nullptr, {}}, prompts_,
        QStringLiteral("simulated"), device);
    // The tests read the log from here on.
    startLines_ = LogLines();
    modMain::StatusLogText.clear();
    // The protocol's own pacing is 500 ms a frame; the tests keep the same order faster.
    Link().SetPollingTimerInterval(20);
  }
  // A new window over a new bench of `testers` simulated testers, no prompt answered yet but
  // the operator's name asked at start.
  void Reopen(std::size_t testers = 1, const QString& device = {},
              const QStringList& operators = {}) {
    window_.reset();
    tester_ =
        std::make_shared<SimulatedTester>(std::vector<std::string>(testers, std::string("VELD32")));
    prompts_ = ScriptedPrompts();
    for (const QString& name : operators) prompts_.texts.push_back(name);
    Open(QStringLiteral("veld32 --simulate"), true, device);
  }
  // Shows the window as main does and waits until it is the active window.
  void Show() {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  ctlVELD32UsbComm& Link() { return window_->TestOptions().ctlVELD32UsbComm1(); }
  TestProgramsModel& Model() { return window_->TestOptions().Model(); }
  QCheckBox& ConnectButton() { return *Find<QCheckBox>(QStringLiteral("chkConnect")); }
  QString StatusCaption() { return Text(QStringLiteral("lblStatus")); }
  // The text of a label, box or button.
  QString Text(const QString& name) { return Find(name)->property("text").toString(); }
  QAction& Action(const QString& name) { return *Find<QAction>(name); }
  template <typename T = QWidget>
  T* Find(const QString& name) {
    return window_->findChild<T*>(name);
  }
  bool Logged(const QString& line, qsizetype times = 1) {
    return WaitUntil([&] { return LogLines().count(line) >= times; });
  }
  // Connects and waits for the programs' download.
  void Connect() {
    ConnectButton().click();
    ASSERT_TRUE(Logged(QStringLiteral("Program data load complete.")));
  }

  QTemporaryDir recordsDir_;
  std::shared_ptr<SimulatedTester> tester_ = std::make_shared<SimulatedTester>();
  std::shared_ptr<D2xx> driver_;
  ScriptedPrompts prompts_;
  std::unique_ptr<ParentMDIForm> window_;
  QStringList startLines_;  // the log as the window opened
};
