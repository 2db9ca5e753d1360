#include <QStringList>

#include <gtest/gtest.h>

#include "program_transfer_state.h"

namespace {

const QString kLoad = "Program data load complete.";
const QString kSave = "Program data save complete.";

// One step of a transfer: begin a download ('D'), begin an upload ('U') or a reply ('r').
// Returns the completion lines of the replies, "-" for a reply that completes nothing.
QStringList RunSteps(ProgramTransferState& state, const std::string& steps) {
  QStringList lines;
  for (const char step : steps) {
    if (step == 'D') state.BeginDownload();
    if (step == 'U') state.BeginUpload();
    if (step == 'r') {
      state.CountReply();
      lines << state.CompletionLine().value_or("-");
    }
  }
  return lines;
}

struct TransferCase {
  const char* steps;
  QStringList lines;
  bool loading;
  bool saving;
};
void PrintTo(const TransferCase& c, std::ostream* out) { *out << c.steps; }

class TransferCompletion : public ::testing::TestWithParam<TransferCase> {};

TEST_P(TransferCompletion, CountsRepliesAsTheEditorDoes) {
  const TransferCase& c = GetParam();
  ProgramTransferState state;
  EXPECT_EQ(RunSteps(state, c.steps), c.lines);
  EXPECT_EQ(state.LoadingPrograms(), c.loading);
  EXPECT_EQ(state.SavingPrograms(), c.saving);
}

INSTANTIATE_TEST_SUITE_P(
    , TransferCompletion,
    ::testing::Values(TransferCase{"Drrr", {"-", "-", kLoad}, false, false},
                      TransferCase{"Urrr", {"-", "-", kSave}, false, false},
                      TransferCase{"r", {kLoad}, false, false},
                      TransferCase{"Drrrr", {"-", "-", kLoad, kLoad}, false, false},
                      // An upload during a download restarts the count; the download takes the
                      // completion and the upload is never reported complete.
                      TransferCase{"DrUrrrrr", {"-", "-", "-", kLoad, "-", "-"}, false, true},
                      TransferCase{"DrrDrrr", {"-", "-", "-", "-", kLoad}, false, false}));

}  // namespace
