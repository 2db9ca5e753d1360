#include "program_transfer.h"

#include "ctlVELD32UsbComm.h"
#include "test_programs_model.h"

ProgramTransfer::ProgramTransfer(ctlVELD32UsbComm& link, TestProgramsModel& model, Log log,
                                 Switch logFrames, Switch logBuffer, QObject* parent)
    : QObject(parent), link_(link), model_(model), log_(std::move(log)) {
  connect(&link_, &ctlVELD32UsbComm::RXData, this, [this, logFrames](const QString& vData) {
    if (logFrames()) log_(QStringLiteral("RX <- ") + vData);
  });
  connect(&link_, &ctlVELD32UsbComm::TXData, this, [this, logFrames](const QString& vData) {
    if (logFrames()) log_(QStringLiteral("TX -> ") + vData);
  });
  connect(&link_, &ctlVELD32UsbComm::RXDataInBuffer, this,
          [this, logBuffer](const QString& vBufferData) {
            if (logBuffer()) log_(QStringLiteral("RXBuffer <- ") + vBufferData);
          });
  connect(&link_, &ctlVELD32UsbComm::UsbConnected, this,
          [this] { log_(QStringLiteral("* VELD32 Connected")); });
  connect(&link_, &ctlVELD32UsbComm::UsbClosed, this,
          [this] { log_(QStringLiteral("* VELD32 Disconnected")); });
  // The averages, the charge and the command text of a reply are the tester's own view; the
  // editor derives its own from the settings.
  connect(&link_, &ctlVELD32UsbComm::RXProgramValues, this,
          [this](qint16 vProgramIndex, qint16 vCurrentIndex, qint16 vFrequencyIndex, qint16 vPW,
                 qint16 vDuration, qint16 vDurationHr, qint16 vMode, qint16, qint16, qint16,
                 qint16 vPassValue, qint16 vFailValue, double, qint16 vPWValue, const QString&) {
            Apply({.vProgramIndex = vProgramIndex,
                   .vCurrentIndex = vCurrentIndex,
                   .vFrequencyIndex = vFrequencyIndex,
                   .vPW = vPW,
                   .vDuration = vDuration,
                   .vDurationHr = vDurationHr,
                   .vMode = vMode,
                   .vPassValue = vPassValue,
                   .vFailValue = vFailValue},
                  vPWValue);
          });
}

void ProgramTransfer::DownloadAll() {
  log_(QStringLiteral("Loading program data..."));
  state_.BeginDownload();
  for (qint16 program = 1; program <= kProgramCount; ++program) link_.TXGetProgramValues(program);
}

void ProgramTransfer::Reload(int index) {
  if (!link_.Connected()) return;
  log_(QStringLiteral("Reloading Program %1 data from VELD32.").arg(index + 1));
  link_.TXGetProgramValues(static_cast<qint16>(index + 1));
}

void ProgramTransfer::UploadAll() {
  log_(QStringLiteral("Saving All Program Data to VELD32..."));
  state_.BeginUpload();
  for (int i = 0; i < kProgramCount; ++i) {
    const UploadArguments a = model_.UploadArgumentsFor(i);
    link_.TXSetProgramValues(a.vProgramID, a.vCurrentLevelIndex, a.vFreqIndex, a.vPW, a.vDuration,
                             a.vDurationHr, a.vMode, a.vPass, a.vFail);
  }
}

void ProgramTransfer::Apply(const ReceivedProgram& program, qint16 pulseWidthUs) {
  const bool fullDownload = state_.LoadingPrograms();
  state_.CountReply();
  model_.ApplyReceivedProgram(program);
  const auto line = state_.CompletionLine();
  if (line) log_(*line);
  emit ProgramReceived(program, pulseWidthUs);
  if (fullDownload && line == kDownloadCompleteLine) emit DownloadCompleted();
}
