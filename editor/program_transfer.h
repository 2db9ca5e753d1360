#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include "program_controls.h"
#include "program_transfer_state.h"

class TestProgramsModel;
class ctlVELD32UsbComm;

// The editor's side of the link, without widgets: the full download, a single program's
// download, the full upload, and every program-values reply applied to the model with the
// completion counting, each with its log lines. The editor window and the command-line tool
// both move programs through it; the checks before an upload, and what to tell the operator
// when they fail, stay with them.
class ProgramTransfer : public QObject {
  Q_OBJECT

 public:
  using Log = std::function<void(const QString& line)>;
  using Switch = std::function<bool()>;

  // `logFrames` and `logBuffer` are asked at every frame whether to log it ("TX -> ",
  // "RX <- ") and the raw receive buffer ("RXBuffer <- ").
  ProgramTransfer(ctlVELD32UsbComm& link, TestProgramsModel& model, Log log, Switch logFrames,
                  Switch logBuffer, QObject* parent = nullptr);

  // Start-up: no transfer in progress.
  void Reset() { state_.Reset(); }
  // Asks for programs 1..3; the third reply completes the download.
  void DownloadAll();
  // Asks for one program (index 0..2) again; nothing while the link is down.
  void Reload(int index);
  // Sends all three programs as the sliders and lists hold them; the tester answers each
  // write with the program it now holds, and the third reply completes the upload.
  void UploadAll();

  const ProgramTransferState& State() const { return state_; }

 signals:
  // A program-values reply was applied to the model (its program may not exist).
  void ProgramReceived(const ReceivedProgram& program, qint16 pulseWidthUs);
  // The full download completed: "Program data load complete." has just been logged.
  void DownloadCompleted();

 private:
  void Apply(const ReceivedProgram& program, qint16 pulseWidthUs);

  ctlVELD32UsbComm& link_;
  TestProgramsModel& model_;
  Log log_;
  ProgramTransferState state_;
};
