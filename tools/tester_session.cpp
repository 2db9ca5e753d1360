#include "tools/tester_session.h"

#include <QEventLoop>

#include <algorithm>

#include "device_link/command_frames.h"
#include "device_link/ctlVELD32UsbComm.h"
#include "programs/program_transfer.h"
#include "programs/programs_model.h"
#include "tools/driver_details.h"
#include "tools/stop_signals.h"

namespace {

// How the wait for replies ended.
enum WaitEnd { kFinished = 0, kLinkLost, kTimedOut };

const QString kNoDevicesFound = QStringLiteral("No devices found");

}  // namespace

TesterSession::TesterSession(std::shared_ptr<D2xx> driver,
                             std::shared_ptr<DriverDiagnostics> diagnostics, Settings settings,
                             StatusLog log, TestProgramsModel& model)
    : diagnostics_(std::move(diagnostics)),
      settings_(settings),
      log_(std::move(log)),
      model_(model),
      link_(std::make_unique<ctlVELD32UsbComm>(std::move(driver))),
      transfer_(std::make_unique<ProgramTransfer>(
          *link_, model_, log_, [] { return true; }, [] { return false; })),
      identity_(std::make_unique<TesterIdentityRequest>(*link_)) {
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, [this] {
    if (loop_) loop_->exit(kTimedOut);
  });

  ctlVELD32UsbComm* link = link_.get();
  connect(link, &ctlVELD32UsbComm::UsbError, this, [this](const QString& text) {
    // The first failure is the cause; the rest of a failing tick only follows from it. The
    // driver's account is taken now, before a later call of the same tick replaces it.
    if (linkError_.isEmpty()) {
      linkError_ = text;
      linkErrorDetails_ = DriverDetails(diagnostics_.get());
    }
    if (loop_) loop_->exit(kLinkLost);
  });
  connect(transfer_.get(), &ProgramTransfer::ProgramReceived, this,
          [this](const ProgramSettings& program) {
            replies_[program.number] = program;
            Progress();
          });
  connect(link, &ctlVELD32UsbComm::TXData, this, [this](const QString& frame) {
    if (frame == awaitedFrame_) awaitedSent_ = true;
  });
  connect(identity_.get(), &TesterIdentityRequest::Received, this, &TesterSession::Progress);
}

TesterSession::~TesterSession() {
  if (link_->Connected()) link_->Disconnect();
}

CommandResult TesterSession::Open() {
  link_->SetPollingTimerInterval(settings_.pollingIntervalMs);
  link_->SetUsbSerialNumber(settings_.usbSerialNumber);
  link_->OpenDevice();
  if (link_->Connected()) return {};
  const QString failure = link_->Status().message;
  if (failure == kNoDevicesFound) {
    const QString withSerial =
        settings_.usbSerialNumber.isEmpty()
            ? QString()
            : QStringLiteral(" with the USB serial number %1").arg(settings_.usbSerialNumber);
    return CommandResult::Failure(
        ExitStatus::NoTester,
        QStringLiteral("No tester found: no FTDI device is described \"VELD32\"") + withSerial +
            DriverDetails(diagnostics_.get()));
  }
  return CommandResult::Failure(
      ExitStatus::LinkFailure,
      QStringLiteral("Cannot open the tester: %1").arg(failure.isEmpty() ? linkError_ : failure) +
          DriverDetails(diagnostics_.get()));
}

QString TesterSession::UsbSerialNumber() const { return link_->ConnectedUsbSerialNumber(); }

CommandResult TesterSession::DownloadAll() {
  transfer_->DownloadAll();
  return Await(
      [this] {
        return QStringLiteral("program values (%1 of 3 received)")
            .arg(transfer_->State().ProgramReplyCount());
      },
      [this] { return !transfer_->State().LoadingPrograms(); });
}

CommandResult TesterSession::UploadAll() {
  std::array<ProgramSettings, kProgramCount> sent;
  for (int i = 0; i < kProgramCount; ++i) sent[i] = model_.UploadSettings(i);
  replies_.clear();
  transfer_->UploadAll();
  const CommandResult result = Await(
      [this] {
        return QStringLiteral("confirmation of the upload (%1 of 3 programs received)")
            .arg(transfer_->State().ProgramReplyCount());
      },
      [this] { return !transfer_->State().SavingPrograms(); });
  if (!result.Ok()) return result;
  const QStringList unconfirmed = UnconfirmedPrograms(sent, replies_);
  if (unconfirmed.isEmpty()) return {};
  return CommandResult::Failure(ExitStatus::CheckFailed, unconfirmed.join(u'\n'));
}

CommandResult TesterSession::ReadIdentity(TesterIdentity& identity) {
  identity_->Ask();
  const TesterIdentity& read = identity_->Identity();
  const CommandResult result = Await(
      [&read] {
        QStringList missing;
        if (!read.firmware) missing << QStringLiteral("firmware version");
        if (!read.serial) missing << QStringLiteral("serial number");
        if (!read.calibrationYear) missing << QStringLiteral("calibration date");
        return missing.join(QLatin1String(", "));
      },
      [&read] { return read.Complete(); });
  identity_->Cancel();
  identity = read;
  return result;
}

CommandResult TesterSession::ReadSerialNumber(QString& serial) {
  bool answered = false;
  const auto listening =
      connect(link_.get(), &ctlVELD32UsbComm::RXSerialNumber, this, [&](const QString& value) {
        if (TakeAnswer(answered)) serial = value;
      });
  const CommandResult result = AwaitAnswer(
      QString::fromStdString(frames::GetSerialNumber()), QStringLiteral("serial number"),
      [this] { link_->TXGetSerialNumber(); }, answered);
  disconnect(listening);
  return result;
}

CommandResult TesterSession::ReadCalibrationDate(QString& year, QString& month, QString& day) {
  bool answered = false;
  const auto listening = connect(link_.get(), &ctlVELD32UsbComm::RXCalibrationDate, this,
                                 [&](const QString& y, const QString& m, const QString& d) {
                                   if (!TakeAnswer(answered)) return;
                                   year = y;
                                   month = m;
                                   day = d;
                                 });
  const CommandResult result = AwaitAnswer(
      QString::fromStdString(frames::GetCalibrationDate()), QStringLiteral("calibration date"),
      [this] { link_->TXGetCalibrationDate(); }, answered);
  disconnect(listening);
  return result;
}

CommandResult TesterSession::ReadSetpoints(Setpoints& setpoints) {
  bool answered = false;
  const auto listening =
      connect(link_.get(), &ctlVELD32UsbComm::RXAllCurrentSetpoints, this,
              [&](qint16 ma5, qint16 ma10, qint16 ma20, qint16 ma50, qint16 ma100) {
                if (TakeAnswer(answered)) setpoints = {ma5, ma10, ma20, ma50, ma100};
              });
  const CommandResult result = AwaitAnswer(
      QString::fromStdString(frames::GetCalValues()), QStringLiteral("current set-points"),
      [this] { link_->TXGetCalValues(); }, answered);
  disconnect(listening);
  return result;
}

CommandResult TesterSession::ReadSetpointsIfReported(std::optional<Setpoints>& setpoints,
                                                     int waitMs) {
  const int replyTimeoutMs = settings_.replyTimeoutMs;
  settings_.replyTimeoutMs = std::min(waitMs, replyTimeoutMs);
  Setpoints read{};
  const CommandResult result = ReadSetpoints(read);
  settings_.replyTimeoutMs = replyTimeoutMs;
  if (result.Ok()) {
    setpoints = read;
    return {};
  }
  setpoints.reset();
  // Silence is an answer here; a link that failed meanwhile is not.
  return link_->Connected() && linkError_.isEmpty() ? CommandResult{} : result;
}

CommandResult TesterSession::RunTest(int program, TestRun::Timeouts timeouts,
                                     const std::function<void()>& running, TestResult& result,
                                     const StopSignals* stop) {
  if (!link_->Connected()) return LinkFailure(linkError_);
  const auto stopped = [program] {
    return CommandResult::Failure(ExitStatus::Stopped,
                                  QStringLiteral("Test program %1 stopped").arg(program));
  };
  if (stop && stop->Requested()) return stopped();
  TestRun run(*link_, timeouts);
  QEventLoop loop;
  std::optional<CommandResult> end;
  std::unique_ptr<QObject> watcher;
  if (stop) {
    watcher = stop->Watch([&] {
      if (end) return;  // the run ended in the same turn
      run.Abandon();
      end = stopped();
      loop.quit();
    });
  }
  connect(&run, &TestRun::Running, &loop, running);
  connect(&run, &TestRun::Finished, &loop, [&](const TestResult& finished) {
    result = finished;
    end = CommandResult{};
    loop.quit();
  });
  connect(&run, &TestRun::Failed, &loop, [&](const QString& reason, bool linkLost) {
    end = CommandResult::Failure(ExitStatus::LinkFailure,
                                 linkLost ? reason + DriverDetails(diagnostics_.get()) : reason);
    loop.quit();
  });
  run.Start(program);
  if (!end) loop.exec();
  return *end;
}

CommandResult TesterSession::AwaitAnswer(const QString& frame, const QString& what,
                                         const std::function<void()>& request,
                                         const bool& answered) {
  awaitedFrame_ = frame;
  awaitedSent_ = false;
  request();
  const CommandResult result = Await([&what] { return what; }, [&answered] { return answered; });
  awaitedFrame_.clear();
  return result;
}

bool TesterSession::TakeAnswer(bool& answered) {
  if (!awaitedSent_ || answered) return false;
  answered = true;
  Progress();
  return true;
}

void TesterSession::Progress() {
  if (!loop_) return;
  deadline_.start(settings_.replyTimeoutMs);
  if (finished_ && finished_()) loop_->exit(kFinished);
}

CommandResult TesterSession::Await(const std::function<QString()>& awaited,
                                   std::function<bool()> finished) {
  if (!link_->Connected()) return LinkFailure(linkError_);
  finished_ = std::move(finished);
  int end = kFinished;
  if (!finished_()) {
    QEventLoop loop;
    loop_ = &loop;
    deadline_.start(settings_.replyTimeoutMs);
    end = loop.exec();
    loop_ = nullptr;
    deadline_.stop();
  }
  finished_ = nullptr;
  switch (end) {
    case kLinkLost:
      return LinkFailure(linkError_);
    case kTimedOut:
      return CommandResult::Failure(ExitStatus::LinkFailure,
                                    QStringLiteral("No reply from the tester within %1 ms: no %2")
                                        .arg(settings_.replyTimeoutMs)
                                        .arg(awaited()));
    default:
      return {};
  }
}

CommandResult TesterSession::LinkFailure(const QString& what) const {
  const QString details =
      linkError_.isEmpty() ? DriverDetails(diagnostics_.get()) : linkErrorDetails_;
  return CommandResult::Failure(ExitStatus::LinkFailure,
                                QStringLiteral("Link failure: %1").arg(what) + details);
}
