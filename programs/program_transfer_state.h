#pragma once

#include <QString>

#include <optional>

// What the log says when a download completes.
inline const QString kDownloadCompleteLine = QStringLiteral("Program data load complete.");

// Bookkeeping of the editor's full download and full upload. Replies are not paired with
// requests: a transfer is complete after three program-values replies, whatever their program
// numbers. A download that is still counting takes the completion even when an upload began
// meanwhile; that upload's flag then stays set until the next full transfer.
class ProgramTransferState {
 public:
  // Start-up: no download in progress, nothing counted.
  void Reset();
  void BeginDownload();
  void BeginUpload();
  // A program-values reply arrived (before it is applied).
  void CountReply();
  // After a reply is applied: the line to log, if this reply completes something. A reply
  // outside a full transfer always completes a (single) download.
  std::optional<QString> CompletionLine();

  bool LoadingPrograms() const { return loadingPrograms_; }
  bool SavingPrograms() const { return savingPrograms_; }
  int ProgramReplyCount() const { return programReplyCount_; }

 private:
  static constexpr int kProgramsPerTransfer = 3;

  bool loadingPrograms_ = false;
  bool savingPrograms_ = false;
  int programReplyCount_ = 0;
};
