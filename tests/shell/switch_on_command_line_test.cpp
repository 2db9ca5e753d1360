// Run with "/KOVDA" among the process's arguments (CTest passes it), so that the switch is
// read from the real command line rather than a replaced one.
#include <gtest/gtest.h>

#include "modMain.h"

TEST(CommandLineSwitch, ProcessStartedWithTheSwitchIsDiagnostic) {
  modMain::SetCommandLine(QString());
  EXPECT_TRUE(modMain::IsDiagnosticMode());
  modMain::InitSharedFlags();
  EXPECT_TRUE(modMain::ShowVerbose);
  EXPECT_TRUE(modMain::ShowRXBuffer);
  // Read afresh at every call: a replaced command line counts until it is dropped again.
  modMain::SetCommandLine(QStringLiteral("veld32.exe"));
  EXPECT_FALSE(modMain::IsDiagnosticMode());
  modMain::SetCommandLine(QString());
  EXPECT_TRUE(modMain::IsDiagnosticMode());
}
