// Run with "/KOVDA" among the process's arguments (CTest passes it), so that the switch is
// read from the real command line rather than a replaced one.
#include <gtest/gtest.h>

#include <QtCore>

#include <utility>

#include "ui_core/modMain.h"

TEST(CommandLineSwitch, ProcessStartedWithTheSwitchIsDiagnostic) {
  modMain::SetCommandLine(QString());
  EXPECT_TRUE(modMain::IsDiagnosticMode());
  // Read afresh at every call: a replaced command line counts until it is dropped again.
  modMain::SetCommandLine(QStringLiteral("veld32.exe"));
  EXPECT_FALSE(modMain::IsDiagnosticMode());
  modMain::SetCommandLine(QString());
  EXPECT_TRUE(modMain::IsDiagnosticMode());
}

// Only the arguments count, anywhere in them and in any case: the program's own path may pass
// through a folder named like the switch.
TEST(CommandLineSwitch, OnlyAnArgumentHoldingTheSwitchCounts) {
  for (const auto& [commandLine, diagnostic] : {std::pair{"/kovda", false},
                                                {"/home/kovdaline/veld32 --simulate", false},
                                                {"/opt/kovda/veld32 /kovda", true},
                                                {"veld32.exe x/KoVdAx", true},
                                                {"veld32.exe /kovd", false},
                                                {"veld32.exe -kovda", false}}) {
    modMain::SetCommandLine(QString::fromLatin1(commandLine));
    EXPECT_EQ(modMain::IsDiagnosticMode(), diagnostic) << commandLine;
  }
  modMain::SetCommandLine(QString());
  // This very test program, started again from a folder named "kovda", without the switch.
  QTemporaryDir dir;
  ASSERT_TRUE(QDir().mkdir(dir.filePath("kovda")));
#ifdef _WIN32
  // A link is a shortcut there, which starts no process: a copy instead.
  const QString program = dir.filePath("kovda/switch_test.exe");
  ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), program));
#else
  const QString program = dir.filePath("kovda/switch_test");
  ASSERT_TRUE(QFile::link(QCoreApplication::applicationFilePath(), program));
#endif
  for (const auto& [arguments, status] :
       {std::pair{QStringList(), 1}, std::pair{QStringList{"/kovda"}, 0}}) {
    QProcess process;
    process.start(program,
                  QStringList{"--gtest_filter=CommandLineSwitch.ProcessStarted*"} + arguments);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), status) << arguments.join(' ').toStdString();
  }
}
