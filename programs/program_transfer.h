#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "device_link/program_settings.h"
#include "programs/program_comparison.h"
#include "programs/program_controls.h"
#include "programs/program_transfer_state.h"

class TestProgramsModel;
class ctlVELD32UsbComm;

// The editor's side of the link, without widgets: the full download, a single program's
// download, the full upload, and every program-values reply applied to the model with the
// completion counting, each with its log lines. The editor window and the command-line tool
// both move programs through it; the checks before an upload, and what to tell the operator
// when they fail, stay with them.
// It remembers what the tester last reported of each program (its reply to a download or to
// an upload), so that differences between editor and tester can be shown, and compares every
// echo of an upload with what was sent.
class ProgramTransfer : public QObject {
  Q_OBJECT

 public:
  using Log = std::function<void(const QString& line)>;
  using Switch = std::function<bool()>;

  // `logFrames` and `logBuffer` are asked at every frame whether to log it ("TX -> ",
  // "RX <- ") and the raw receive buffer ("RXBuffer <- ").
  ProgramTransfer(ctlVELD32UsbComm& link, TestProgramsModel& model, Log log, Switch logFrames,
                  Switch logBuffer, QObject* parent = nullptr);

  // Start-up: no transfer in progress, nothing known of the tester's programs.
  void Reset();
  // Asks for programs 1..3; the third reply completes the download.
  void DownloadAll();
  // Asks for one program (index 0..2) again; nothing while the link is down.
  void Reload(int index);
  // Sends all three programs as the sliders and lists hold them; the tester answers each
  // write with the program it now holds, and the third reply completes the upload.
  void UploadAll();

  const ProgramTransferState& State() const { return state_; }

  // What the tester last reported of program vIndex (0..2), in upload form; none before it
  // reported that program.
  std::optional<ProgramSettings> TesterHolds(int vIndex) const;
  // Where the editor's program differs from the tester's last report; empty while unknown.
  std::vector<SettingDifference> Differences(int vIndex) const;
  // The program holds changes the tester does not have: it differs from the tester's last
  // report or, before any, from the start-up defaults.
  bool HasUnsentChanges(int vIndex) const;

  // Replies are awaited: from a download or upload request until its last reply arrives or the
  // link drops.
  bool Busy() const { return awaitedReplies_ > 0; }
  // What is in progress, for the status strip ("Downloading 2 of 3…", "Uploading…"); empty
  // when idle.
  QString Activity() const;

 signals:
  // What the tester holds, or whether a transfer is in progress, changed.
  void TesterStateChanged();
  // An upload's replies are all in and the tester does not hold what was sent: one line per
  // setting (each also logged as its echo arrived) and per program that was not echoed.
  void UploadEchoDiffers(const QStringList& lines);

  // A program-values reply was applied to the model (its program may not exist).
  void ProgramReceived(const ProgramSettings& program);
  // The full download completed: "Program data load complete." has just been logged.
  void DownloadCompleted();

 private:
  enum class Work { None, DownloadAll, DownloadOne, Upload };

  void Apply(const ProgramSettings& program);
  void Await(Work work, int replies);
  void CompareEcho(int vIndex, const ProgramSettings& held);
  void FinishAwaiting();

  ctlVELD32UsbComm& link_;
  TestProgramsModel& model_;
  Log log_;
  ProgramTransferState state_;
  std::array<std::optional<ProgramSettings>, kProgramCount> testerHolds_;
  Work activity_ = Work::None;
  int awaitedReplies_ = 0;
  int reloadedIndex_ = 0;
  std::array<std::optional<ProgramSettings>, kProgramCount> sent_;  // not yet echoed
  QStringList echoDifferences_;
};
