#include <gtest/gtest.h>

#include "modMain.h"
#include "shared_state.h"

namespace {

struct SwitchCase {
  const char* name;
  const char* commandLine;
  bool diagnostic;
};

void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.commandLine; }

class DiagnosticSwitch : public SharedStateTest,
                         public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(DiagnosticSwitch, SetsTheFrameFilters) {
  Reset(QString::fromLatin1(GetParam().commandLine));
  EXPECT_EQ(modMain::IsDiagnosticMode(), GetParam().diagnostic);
  EXPECT_EQ(modMain::ShowVerbose, GetParam().diagnostic);
  EXPECT_EQ(modMain::ShowRXBuffer, GetParam().diagnostic);
  EXPECT_FALSE(modMain::StatusWindowLoaded);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, DiagnosticSwitch,
                         ::testing::Values(SwitchCase{"Absent", "veld32.exe", false},
                                           SwitchCase{"Plain", "veld32.exe /kovda", true},
                                           SwitchCase{"Capitals", "veld32.exe /KOVDA", true},
                                           SwitchCase{"MixedCase", "veld32.exe /KoVdA", true},
                                           SwitchCase{"InsideALongerWord", "veld32.exe x/kovdax",
                                                      true},
                                           SwitchCase{"AtTheStart", "/kovda", true},
                                           SwitchCase{"Shortened", "veld32.exe /kovd", false},
                                           SwitchCase{"OtherPrefix", "veld32.exe -kovda", false},
                                           SwitchCase{"Split", "veld32.exe / kovda", false}),
                         [](const auto& info) { return std::string(info.param.name); });

class DiagnosticMode : public SharedStateTest {};

TEST_F(DiagnosticMode, IsReadAfreshAtEveryCall) {
  modMain::SetCommandLine(QStringLiteral("veld32.exe /kovda"));
  EXPECT_TRUE(modMain::IsDiagnosticMode());
  modMain::SetCommandLine(QStringLiteral("veld32.exe"));
  EXPECT_FALSE(modMain::IsDiagnosticMode());
}

TEST_F(DiagnosticMode, ProcessWithoutTheSwitchIsNotDiagnostic) {
  modMain::SetCommandLine(QString());
  EXPECT_FALSE(modMain::IsDiagnosticMode());
}

}  // namespace
