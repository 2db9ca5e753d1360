#include "programs/program_transfer_state.h"

void ProgramTransferState::Reset() {
  loadingPrograms_ = false;
  programReplyCount_ = 0;
}

void ProgramTransferState::BeginDownload() {
  programReplyCount_ = 0;
  loadingPrograms_ = true;
}

void ProgramTransferState::BeginUpload() {
  savingPrograms_ = true;
  programReplyCount_ = 0;
}

void ProgramTransferState::CountReply() {
  if (loadingPrograms_ || savingPrograms_) ++programReplyCount_;
}

std::optional<QString> ProgramTransferState::CompletionLine() {
  if (loadingPrograms_) {
    if (programReplyCount_ != kProgramsPerTransfer) return std::nullopt;
    loadingPrograms_ = false;
    return kDownloadCompleteLine;
  }
  if (savingPrograms_) {
    if (programReplyCount_ != kProgramsPerTransfer) return std::nullopt;
    savingPrograms_ = false;
    return QStringLiteral("Program data save complete.");
  }
  return kDownloadCompleteLine;
}
