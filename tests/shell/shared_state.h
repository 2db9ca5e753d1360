#pragma once

#include <gtest/gtest.h>

#include "modMain.h"

// Every test starts from the shared state of a plain start without the diagnostic switch, and
// leaves it so.
class SharedStateTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(QStringLiteral("veld32.exe")); }
  void TearDown() override { Reset(QStringLiteral("veld32.exe")); }

  static void Reset(const QString& commandLine) {
    modMain::SetCommandLine(commandLine);
    modMain::StatusLogText.clear();
    modMain::StatusPaused = false;
    modMain::SetStatusLogView(nullptr);
    modMain::InitSharedFlags();
  }
};
