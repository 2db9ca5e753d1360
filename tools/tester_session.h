#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "programs/tester_identity.h"
#include "tester/program_run.h"
#include "tools/command_result.h"
#include "tools/status_log.h"
#include "tools/upload_confirmation.h"

class D2xx;
class ProgramTransfer;
class DriverDiagnostics;
class QEventLoop;
class StopSignals;
class TestProgramsModel;
class ctlVELD32UsbComm;

using Setpoints = std::array<qint16, 5>;

// One connection to the tester for one command, over the device link and the editor's transfer
// as the window drives them: the same open sequence, the same requests and the same handling
// of the program-values replies, applied to `model`. Unlike the window it waits for the replies it
// expects, each wait bounded by the reply time-out, because a command-line run must end. Logs what
// the window would log, frames included. Closes the link when destroyed.
class TesterSession : public QObject {
  Q_OBJECT

 public:
  struct Settings {
    qint16 pollingIntervalMs = 500;
    int replyTimeoutMs = 5000;
    QString usbSerialNumber;  // the tester to open; empty opens the first described "VELD32"
  };

  // `diagnostics` may be null.
  TesterSession(std::shared_ptr<D2xx> driver, std::shared_ptr<DriverDiagnostics> diagnostics,
                Settings settings, StatusLog log, TestProgramsModel& model);
  ~TesterSession() override;

  // Opens the first device described "VELD32" (with the chosen USB serial number, if any) and
  // checks it with the handshake: NoTester when none is attached, LinkFailure when it cannot be
  // opened or does not acknowledge.
  CommandResult Open();
  // The window's full download: programs 1..3 applied to the model as they arrive.
  CommandResult DownloadAll();
  // The window's upload of all three programs with the model's upload arguments. The replies
  // are applied to the model as the window applies them; CheckFailed when they do not hold
  // what was sent.
  CommandResult UploadAll();
  CommandResult ReadIdentity(TesterIdentity& identity);

  // Reads of one value. Each takes the first reply of its kind decoded after its request left,
  // so that a reply to an earlier write is not taken for it.
  CommandResult ReadSerialNumber(QString& serial);
  CommandResult ReadCalibrationDate(QString& year, QString& month, QString& day);
  // The set-points of the 5, 10, 20, 50 and 100 mA levels.
  CommandResult ReadSetpoints(Setpoints& setpoints);
  // The same where the tester need not answer (which requests draw a reply is its business):
  // waits at most `waitMs` (and never past the reply time-out), and leaves `setpoints` empty
  // when no reply came. Only a lost link fails.
  CommandResult ReadSetpointsIfReported(std::optional<Setpoints>& setpoints, int waitMs);

  // One test of `program` (see TestRun): `running` is told when the tester reports the test
  // running. LinkFailure when the link fails or the tester does not answer in time; Stopped when
  // `stop` (if any) comes first, the run abandoned (the tester finishes its test on its own).
  CommandResult RunTest(int program, TestRun::Timeouts timeouts,
                        const std::function<void()>& running, TestResult& result,
                        const StopSignals* stop = nullptr);

  // The program-values reply of each program number last received (a run's, an upload's echo).
  const RepliesByProgram& Replies() const { return replies_; }
  // The USB serial number of the tester opened; empty before Open.
  QString UsbSerialNumber() const;

  // For writes whose effect the caller reads back.
  ctlVELD32UsbComm& Link() { return *link_; }

 private:
  // An awaited reply arrived: the time-out starts again, and the wait ends once `finished_`.
  void Progress();
  CommandResult Await(const std::function<QString()>& awaited, std::function<bool()> finished);
  CommandResult LinkFailure(const QString& what) const;
  // Sends `request`, which writes `frame`, and waits until `answered` is set by a listener
  // that takes its reply through TakeAnswer.
  CommandResult AwaitAnswer(const QString& frame, const QString& what,
                            const std::function<void()>& request, const bool& answered);
  bool TakeAnswer(bool& answered);

  std::shared_ptr<DriverDiagnostics> diagnostics_;
  Settings settings_;
  StatusLog log_;
  TestProgramsModel& model_;
  std::unique_ptr<ctlVELD32UsbComm> link_;
  std::unique_ptr<ProgramTransfer> transfer_;
  RepliesByProgram replies_;
  std::unique_ptr<TesterIdentityRequest> identity_;
  QString linkError_;         // the text of the link's first UsbError
  QString linkErrorDetails_;  // the driver's account of that failure
  QEventLoop* loop_ = nullptr;
  std::function<bool()> finished_;
  QTimer deadline_;
  QString awaitedFrame_;  // the read request whose reply is awaited
  bool awaitedSent_ = false;
};
