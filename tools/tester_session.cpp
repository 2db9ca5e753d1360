#include "tester_session.h"

#include <QEventLoop>

#include "ctlVELD32UsbComm.h"
#include "driver_details.h"
#include "test_programs_model.h"

namespace {

// How the wait for replies ended.
enum WaitEnd { kFinished = 0, kLinkLost, kTimedOut };

const QString kNoDevicesFound = QStringLiteral("No devices found");

}  // namespace

TesterSession::TesterSession(std::shared_ptr<D2xx> driver,
                             std::shared_ptr<DriverDiagnostics> diagnostics, Settings settings,
                             StatusLog log)
    : diagnostics_(std::move(diagnostics)),
      settings_(settings),
      log_(std::move(log)),
      link_(std::make_unique<ctlVELD32UsbComm>(std::move(driver))) {
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, [this] {
    if (loop_) loop_->exit(kTimedOut);
  });

  ctlVELD32UsbComm* link = link_.get();
  connect(link, &ctlVELD32UsbComm::TXData, this,
          [this](const QString& frame) { log_(QStringLiteral("TX -> ") + frame); });
  connect(link, &ctlVELD32UsbComm::RXData, this,
          [this](const QString& frame) { log_(QStringLiteral("RX <- ") + frame); });
  connect(link, &ctlVELD32UsbComm::UsbConnected, this,
          [this] { log_(QStringLiteral("* VELD32 Connected")); });
  connect(link, &ctlVELD32UsbComm::UsbClosed, this,
          [this] { log_(QStringLiteral("* VELD32 Disconnected")); });
  connect(link, &ctlVELD32UsbComm::UsbError, this, [this](const QString& text) {
    // The first failure is the cause; the rest of a failing tick only follows from it.
    if (linkError_.isEmpty()) linkError_ = text;
    if (loop_) loop_->exit(kLinkLost);
  });
  connect(
      link, &ctlVELD32UsbComm::RXProgramValues, this,
      [this](qint16 program, qint16 current, qint16 frequency, qint16 pw, qint16 duration,
             qint16 durationHr, qint16 mode, qint16, qint16, qint16, qint16 pass, qint16 fail,
             double, qint16 pwValue, const QString&) {
        OnProgramValues(
            {{program, current, frequency, pw, duration, durationHr, mode, pass, fail}, pwValue});
      });
  connect(link, &ctlVELD32UsbComm::RXFirmwareVersion, this, [this](const QString& version) {
    if (identity_) identity_->firmware = version;
    Progress();
  });
  connect(link, &ctlVELD32UsbComm::RXSerialNumber, this, [this](const QString& serial) {
    if (identity_) identity_->serial = serial;
    Progress();
  });
  connect(link, &ctlVELD32UsbComm::RXCalibrationDate, this,
          [this](const QString& year, const QString& month, const QString& day) {
            if (identity_) {
              identity_->calibrationYear = year;
              identity_->calibrationMonth = month;
              identity_->calibrationDay = day;
            }
            Progress();
          });
}

TesterSession::~TesterSession() {
  if (link_->Connected()) link_->Disconnect();
}

CommandResult TesterSession::Open() {
  link_->SetPollingTimerInterval(settings_.pollingIntervalMs);
  link_->OpenDevice();
  if (link_->Connected()) return {};
  const QString failure = link_->Strip().errorMessage;
  if (failure == kNoDevicesFound) {
    return CommandResult::Failure(
        ExitStatus::NoTester,
        QStringLiteral("No tester found: no FTDI device is described \"VELD32\"") +
            DriverDetails(diagnostics_.get()));
  }
  return CommandResult::Failure(
      ExitStatus::LinkFailure,
      QStringLiteral("Cannot open the tester: %1").arg(failure.isEmpty() ? linkError_ : failure) +
          DriverDetails(diagnostics_.get()));
}

CommandResult TesterSession::DownloadAll(TestProgramsModel& model) {
  log_(QStringLiteral("Loading program data..."));
  applyTo_ = &model;
  transfer_.BeginDownload();
  for (qint16 program = 1; program <= kProgramCount; ++program) link_->TXGetProgramValues(program);
  const CommandResult result = Await(
      [this] {
        return QStringLiteral("program values (%1 of 3 received)")
            .arg(transfer_.ProgramReplyCount());
      },
      [this] { return !transfer_.LoadingPrograms(); });
  applyTo_ = nullptr;
  return result;
}

CommandResult TesterSession::UploadAll(TestProgramsModel& model) {
  log_(QStringLiteral("Saving All Program Data to VELD32..."));
  std::array<UploadArguments, kProgramCount> sent;
  applyTo_ = &model;
  replies_.clear();
  transfer_.BeginUpload();
  for (int i = 0; i < kProgramCount; ++i) {
    const UploadArguments a = sent[i] = model.UploadArgumentsFor(i);
    link_->TXSetProgramValues(a.vProgramID, a.vCurrentLevelIndex, a.vFreqIndex, a.vPW, a.vDuration,
                              a.vDurationHr, a.vMode, a.vPass, a.vFail);
  }
  const CommandResult result = Await(
      [this] {
        return QStringLiteral("confirmation of the upload (%1 of 3 programs received)")
            .arg(transfer_.ProgramReplyCount());
      },
      [this] { return !transfer_.SavingPrograms(); });
  applyTo_ = nullptr;
  if (!result.Ok()) return result;
  const QStringList unconfirmed = UnconfirmedPrograms(sent, replies_);
  if (unconfirmed.isEmpty()) return {};
  return CommandResult::Failure(ExitStatus::CheckFailed, unconfirmed.join(u'\n'));
}

CommandResult TesterSession::ReadIdentity(TesterIdentity& identity) {
  identity_ = &identity;
  link_->TXGetFirmwareVersion();
  link_->TXGetSerialNumber();
  link_->TXGetCalibrationDate();
  const CommandResult result = Await(
      [&identity] {
        QStringList missing;
        if (!identity.firmware) missing << QStringLiteral("firmware version");
        if (!identity.serial) missing << QStringLiteral("serial number");
        if (!identity.calibrationYear) missing << QStringLiteral("calibration date");
        return missing.join(QLatin1String(", "));
      },
      [&identity] { return identity.Complete(); });
  identity_ = nullptr;
  return result;
}

void TesterSession::OnProgramValues(const ProgramReply& reply) {
  transfer_.CountReply();
  replies_[reply.values.vProgramIndex] = reply;
  if (applyTo_) applyTo_->ApplyReceivedProgram(reply.values);
  if (const auto line = transfer_.CompletionLine()) log_(*line);
  Progress();
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
  return CommandResult::Failure(
      ExitStatus::LinkFailure,
      QStringLiteral("Link failure: %1").arg(what) + DriverDetails(diagnostics_.get()));
}
