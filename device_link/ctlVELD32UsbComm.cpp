#include "device_link/ctlVELD32UsbComm.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "device_link/command_frames.h"
#include "device_link/device_listing.h"
#include "device_link/ft_status.h"
#include "device_link/protocol_numbers.h"

namespace {
constexpr std::int32_t kOpenDelayMs = 100;
constexpr std::int32_t kHandshakeWaitMs = 100;
constexpr std::uint8_t kLatencyMs = 16;
constexpr std::uint32_t kBaudRate = 19200;
constexpr std::int32_t kInitialPollingMs = 150;
constexpr std::int32_t kMaxDelayMs = 32767;
// Stale bytes are dropped a buffer at a time; a tester that talks without pause cannot keep an
// open waiting longer than this many reads.
constexpr int kMaxStaleReads = 64;

std::int64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString Latin1(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
}  // namespace

// Forwards the decoder's events as the control's signals.
class ctlVELD32UsbComm::ReplyEmitter : public ReplyEvents {
 public:
  explicit ReplyEmitter(ctlVELD32UsbComm& owner) : owner_(owner) {}

  void RXData(const std::string& frame) override { emit owner_.RXData(Latin1(frame)); }
  void RXDataInBuffer(const std::string& text) override {
    emit owner_.RXDataInBuffer(Latin1(text));
  }
  void RXIdle() override { emit owner_.RXIdle(); }
  void RXRunningTest() override { emit owner_.RXRunningTest(); }
  void RXCurrentSetpoint(std::int16_t index, std::int16_t value) override {
    emit owner_.RXCurrentSetpoint(index, value);
  }
  void RXAllCurrentSetpoints(std::int16_t v5, std::int16_t v10, std::int16_t v20, std::int16_t v50,
                             std::int16_t v100) override {
    emit owner_.RXAllCurrentSetpoints(v5, v10, v20, v50, v100);
  }
  void RXLastData(std::int16_t programId, std::int16_t avgM, std::int16_t divideBy,
                  std::int16_t scaleFactor, double impedance) override {
    emit owner_.RXLastData(programId, avgM, divideBy, scaleFactor, impedance);
  }
  void RXCalibrationDate(const std::string& year, const std::string& month,
                         const std::string& day) override {
    emit owner_.RXCalibrationDate(Latin1(year), Latin1(month), Latin1(day));
  }
  void RXFirmwareVersion(const std::string& version) override {
    emit owner_.RXFirmwareVersion(Latin1(version));
  }
  void RXSerialNumber(const std::string& serialNumber) override {
    emit owner_.RXSerialNumber(Latin1(serialNumber));
  }
  void RXProgramValues(const ProgramValuesReply& r) override {
    const ProgramSettings& p = r.program;
    emit owner_.RXProgramSettings(p);
    emit owner_.RXProgramValues(p.number, p.currentIndex, p.frequencyIndex, r.pulseCode,
                                p.durationSeconds, p.durationHours, static_cast<qint16>(p.mode),
                                r.avgmA, r.avguA, r.charge, p.passOhms, p.failOhms,
                                r.averageCurrent, p.pulseWidthUs, Latin1(r.commandText));
  }

 private:
  ctlVELD32UsbComm& owner_;
};

ctlVELD32UsbComm::ctlVELD32UsbComm(std::shared_ptr<D2xx> driver, QObject* parent)
    : QObject(parent),
      driver_(std::move(driver)),
      emitter_(std::make_unique<ReplyEmitter>(*this)),
      clock_(SteadyMilliseconds),
      PollingTimer(new QTimer(this)),
      DelayTimer(new QTimer(this)) {
  PollingTimer->setObjectName(QStringLiteral("PollingTimer"));
  PollingTimer->setInterval(kInitialPollingMs);
  DelayTimer->setObjectName(QStringLiteral("DelayTimer"));
  DelayTimer->setTimerType(Qt::PreciseTimer);
  DelayTimer->setInterval(0);
  connect(PollingTimer, &QTimer::timeout, this, &ctlVELD32UsbComm::PollingTimer_Timer);
  connect(DelayTimer, &QTimer::timeout, this, &ctlVELD32UsbComm::DelayTimer_Timer);
}

ctlVELD32UsbComm::~ctlVELD32UsbComm() {
  // Listeners may already be half torn down with the window that owns the link, so the
  // termination close tells nobody about a failed close.
  blockSignals(true);
  PollingTimer->stop();
  TerminationClose();
  ReleaseHeldHandle();
}

// ---------------------------------------------------------------- transport

void ctlVELD32UsbComm::ReportFTError(const std::string& label, FT_STATUS status) {
  const QString text = Latin1(FtErrorText(label, status));
  connected = false;
  if (opening) return;  // the open sequence reports its own outcome
  // The status shows the link down before anyone hears of it: a question raised on UsbError
  // must not sit beside a link shown up.
  ReportFailure(text);
  emit UsbError(text);
}

std::int32_t ctlVELD32UsbComm::GetFTDeviceCount() {
  std::int32_t count = 0;
  lastStatus = driver_->FT_ListDevicesCount(count);
  if (lastStatus != FT_OK) {
    ReportFTError("GetFTDeviceCount", lastStatus);
    return 0;
  }
  deviceCount = count;
  return deviceCount;
}

std::string ctlVELD32UsbComm::GetFTDeviceDescription(std::int32_t index) {
  listBuffer.fill('\0');
  lastStatus = driver_->FT_ListDevicesDescription(index, listBuffer.data());
  if (lastStatus != FT_OK) {
    ReportFTError("GetFTDeviceDescription", lastStatus);
    return {};
  }
  return TrimAtNul();
}

std::string ctlVELD32UsbComm::TrimAtNul() const {
  // A description that fills the whole buffer has no NUL and is taken whole.
  const auto end = std::find(listBuffer.begin(), listBuffer.end(), '\0');
  return std::string(listBuffer.begin(), end);
}

void ctlVELD32UsbComm::Open_USB_Device_By_Index(std::int32_t index) {
  lastStatus = driver_->FT_Open(index, handle);
  if (lastStatus != FT_OK) {
    ReportFTError("Open_USB_Device_By_Index", lastStatus);
    return;
  }
  handleHeld_ = true;
}

std::int32_t ctlVELD32UsbComm::CloseDevice() {
  lastStatus = driver_->FT_Close(handle);
  if (lastStatus != FT_OK) {
    ReportFTError("FT_Close", lastStatus);
    return lastStatus;
  }
  handleHeld_ = false;
  return lastStatus;
}

std::int32_t ctlVELD32UsbComm::GetRxQueueStatus() {
  lastStatus = driver_->FT_GetQueueStatus(handle, rxQueueBytes);
  if (lastStatus != FT_OK) ReportFTError("FT_GetQueueStatus", lastStatus);
  return lastStatus;
}

std::int32_t ctlVELD32UsbComm::ReadBytes(std::int32_t count) {
  // Never more than the buffer holds; the rest waits in the driver for the next tick.
  const std::int32_t wanted = std::clamp(count, 0, kBufferSize);
  std::int32_t read = 0;
  ioStatus = driver_->FT_Read(handle, rxBuffer.data(), wanted, read);
  if (ioStatus != FT_OK) ReportFTError("FT_Read", ioStatus);
  return std::clamp(read, 0, wanted);
}

std::int32_t ctlVELD32UsbComm::WriteBytes(std::int32_t count) {
  std::int32_t written = 0;
  ioStatus = driver_->FT_Write(handle, txBuffer.data(), count, written);
  if (ioStatus != FT_OK) ReportFTError("FT-Write", ioStatus);
  return std::clamp(written, 0, count);
}

void ctlVELD32UsbComm::AppendToTxBuffer(const std::string& frame) {
  const auto length = static_cast<std::int32_t>(std::min<std::size_t>(frame.size(), kBufferSize));
  // Characters still pending here failed to reach the link, which is down by now; they
  // cannot reach this connection, so they give way to the new frame.
  if (txPending + length > kBufferSize) txPending = 0;
  std::memcpy(txBuffer.data() + txPending, frame.data(), static_cast<std::size_t>(length));
  txPending += length;
}

void ctlVELD32UsbComm::FlushTxBuffer() {
  const std::int32_t written = WriteBytes(txPending);
  txPending -= written;
  // A partial write leaves the unsent characters first in line for the next write.
  if (written > 0 && txPending > 0) {
    std::memmove(txBuffer.data(), txBuffer.data() + written, static_cast<std::size_t>(txPending));
  }
}

void ctlVELD32UsbComm::SendData(const std::string& frame) {
  AppendToTxBuffer(frame);
  FlushTxBuffer();
  emit TXData(Latin1(frame));
}

void ctlVELD32UsbComm::QueueCommand(std::string frame) { txQueue.push_back(std::move(frame)); }

void ctlVELD32UsbComm::ProcessRXData() {
  const std::int32_t n = std::clamp(rxQueueBytes, 0, kBufferSize);
  ReadBytes(rxQueueBytes);
  const std::string received(rxBuffer.data(), static_cast<std::size_t>(n));
  // A later read that delivers nothing must find NULs here, not these bytes again.
  const std::size_t used =
      std::min<std::size_t>(decoder_.remainder().size() + received.size(), rxBuffer.size());
  std::fill_n(rxBuffer.begin(), used, '\0');
  decoder_.Decode(received, *emitter_);
}

// ---------------------------------------------------------------- requests

void ctlVELD32UsbComm::TXCommCheck() { QueueCommand(frames::CommCheck()); }
void ctlVELD32UsbComm::TXGetCalibrationDate() { QueueCommand(frames::GetCalibrationDate()); }

void ctlVELD32UsbComm::TXSetCalibrationDate(qint16 vYear, qint16 vMonth, qint16 vDay) {
  QueueCommand(frames::SetCalibrationDate(vYear, vMonth, vDay));
}

void ctlVELD32UsbComm::TXGetFirmwareVersion() { QueueCommand(frames::GetFirmwareVersion()); }
void ctlVELD32UsbComm::TXGetSerialNumber() { QueueCommand(frames::GetSerialNumber()); }
void ctlVELD32UsbComm::TXSetSerialNumber(qint32 vSN) { QueueCommand(frames::SetSerialNumber(vSN)); }

void ctlVELD32UsbComm::TXGetProgramValues(qint16 vProgramID) {
  if (auto frame = frames::GetProgramValues(vProgramID)) QueueCommand(std::move(*frame));
}

void ctlVELD32UsbComm::TXSetProgramValuesDirect(const QString& vCmd) {
  QueueCommand(frames::SetProgramValuesDirect(vCmd.toLatin1().toStdString()));
}

void ctlVELD32UsbComm::TXSetProgramValues(qint16 vProgramID, qint16 vCurrentLevelIndex,
                                          qint16 vFreqIndex, qint16 vPW, qint16 vDuration,
                                          qint16 vDurationHr, qint16 vMode, qint16 vPass,
                                          qint16 vFail) {
  TXSetProgramValues({vProgramID, vCurrentLevelIndex, vFreqIndex, vPW, vDuration, vDurationHr,
                      static_cast<TestMode>(vMode), vPass, vFail});
}

void ctlVELD32UsbComm::TXSetProgramValues(const ProgramSettings& vProgram) {
  QueueCommand(frames::SetProgramValues(vProgram));
}

void ctlVELD32UsbComm::TXRunTest(qint16 vTestID) {
  if (auto frame = frames::RunTest(vTestID)) QueueCommand(std::move(*frame));
}

void ctlVELD32UsbComm::TXQuery() { QueueCommand(frames::Query()); }
void ctlVELD32UsbComm::TXRequestData() { QueueCommand(frames::RequestData()); }

void ctlVELD32UsbComm::TXCurrentCalAdjust(qint16 vCurrentIndex, bool vIncrease) {
  QueueCommand(frames::CurrentCalAdjust(vCurrentIndex, vIncrease));
}

void ctlVELD32UsbComm::TXGetCalValues() { QueueCommand(frames::GetCalValues()); }

qint16 ctlVELD32UsbComm::GetCurrentLevelValue(qint16 vCurrentLevelIndex) const {
  return CurrentLevelMilliamps(vCurrentLevelIndex);
}

qint16 ctlVELD32UsbComm::GetFrequencyValue(qint16 vFrequencyIndex) const {
  return FrequencyHertz(vFrequencyIndex);
}

// ---------------------------------------------------------------- status

void ctlVELD32UsbComm::SetStatus(const LinkStatus& next) {
  if (next == status_) return;
  status_ = next;
  emit StatusChanged();
}

LinkStatus ctlVELD32UsbComm::StatusIn(LinkState state) const {
  LinkStatus next = status_;
  next.state = state;
  next.connectPressed = state == LinkState::Connected;
  if (state == LinkState::Connected) {
    next.message.clear();
    next.failure = false;
  } else {
    next.activity.clear();
  }
  return next;
}

void ctlVELD32UsbComm::Report(LinkState state) { SetStatus(StatusIn(state)); }

void ctlVELD32UsbComm::ReportFailure(const QString& text) {
  LinkStatus next = StatusIn(LinkState::Failed);
  next.message = text;
  next.failure = true;
  SetStatus(next);
}

void ctlVELD32UsbComm::ReportConnection() {
  Report(connected ? LinkState::Connected : LinkState::Failed);
}

void ctlVELD32UsbComm::ShowActivity(const QString& text) {
  LinkStatus next = status_;
  next.activity = text;
  SetStatus(next);
}

void ctlVELD32UsbComm::chkConnect_Click(bool pressed) {
  LinkStatus next = status_;
  next.connectPressed = pressed;
  SetStatus(next);
  if (pressed) {
    OpenDevice();
  } else {
    CloseUSB(handle);
  }
}

// ---------------------------------------------------------------- lifecycle

bool ctlVELD32UsbComm::IsTesterDescription(const std::string& description) {
  return description == "VELD32";
}

qint32 ctlVELD32UsbComm::QuietExit() {
  ReportConnection();
  opening = false;
  return 0;
}

qint32 ctlVELD32UsbComm::ErrorExit() {
  ReportConnection();
  opening = false;
  emit UsbError(QStringLiteral("Error Opening Port"));
  return 0;
}

void ctlVELD32UsbComm::ReleaseFailedOpen() {
  // The device was opened but cannot be used: give it back, so that the next attempt finds it
  // free. Its close status no longer matters.
  ReleaseHeldHandle();
  connected = false;
}

void ctlVELD32UsbComm::ReleaseHeldHandle() {
  // A lost session (a failed read, write, queue check or close) still holds the device, and
  // the driver refuses a second open of a held device. Whether this close succeeds changes
  // nothing: the device is either free now or gone.
  if (!handleHeld_) return;
  driver_->FT_Close(handle);
  handleHeld_ = false;
}

bool ctlVELD32UsbComm::DropStaleBytes() {
  // Replies to requests sent just before the last close may still wait in the driver; they
  // belong to no request of this session and would fail the handshake.
  for (int reads = 0; rxQueueBytes > 0 && reads < kMaxStaleReads; ++reads) {
    ReadBytes(rxQueueBytes);
    rxBuffer.fill('\0');
    if (ioStatus != FT_OK || GetRxQueueStatus() != FT_OK) return false;
  }
  return true;
}

qint32 ctlVELD32UsbComm::OpenDevice() {
  Delay(kOpenDelayMs, false);
  decoder_.Clear();
  // A reopen of a connected link shows it up until the reopen fails.
  Report(connected ? LinkState::Connected : LinkState::Connecting);
  opening = true;

  if (connected && CloseDevice() != FT_OK) {
    connected = false;
    ReportFailure(QStringLiteral("Close attempt failed"));
    return ErrorExit();
  }
  connected = false;
  ReleaseHeldHandle();

  if (GetFTDeviceCount() < 1) {
    ReportFailure(QStringLiteral("No devices found"));
    return QuietExit();
  }
  std::int32_t match = -1;
  std::string usbSerial;
  for (std::int32_t index = 0; index < deviceCount; ++index) {
    const std::string description = GetFTDeviceDescription(index);
    if (lastStatus != FT_OK) return ErrorExit();
    if (!IsTesterDescription(description)) continue;
    // A serial number the driver cannot tell is no reason to fail; it just matches no choice.
    usbSerial = UsbSerialNumberOf(*driver_, index);
    if (chosenUsbSerial_.empty() || usbSerial == chosenUsbSerial_) {
      match = index;
      break;
    }
  }
  if (match < 0) {
    ReportFailure(QStringLiteral("No devices found"));
    return QuietExit();
  }

  Open_USB_Device_By_Index(match);
  if (lastStatus != FT_OK) {
    ReportFailure(QStringLiteral("Open failed"));
    return ErrorExit();
  }
  if (GetRxQueueStatus() != FT_OK || !DropStaleBytes()) {
    ReportFailure(QStringLiteral("Command failed"));
    ReleaseFailedOpen();
    return ErrorExit();
  }
  connected = true;

  // Each setting is tried only when the ones before it took.
  const auto configured = [this](FT_STATUS status, const QString& failure) {
    lastStatus = status;
    if (status == FT_OK) return true;
    ReportFailure(failure);
    ReleaseFailedOpen();
    return false;
  };
  if (!configured(driver_->FT_SetLatencyTimer(handle, kLatencyMs),
                  QStringLiteral("Latency failed")) ||
      !configured(driver_->FT_SetBaudRate(handle, kBaudRate), QStringLiteral("Baud Rate failed")) ||
      !configured(driver_->FT_SetBitMode(handle, 0, 0), QStringLiteral("Reset failed"))) {
    return ErrorExit();
  }

  txPending = 0;
  const QString reply = SendDataAndPoll(Latin1(frames::CommCheck()), kHandshakeWaitMs);
  if (reply != QLatin1String("(*)")) {
    ReportFailure(QStringLiteral("No ACK Received"));
    ReleaseFailedOpen();
    return QuietExit();
  }

  LinkStatus next = StatusIn(LinkState::Connected);
  next.activity.clear();
  SetStatus(next);
  connectedUsbSerial_ = Latin1(usbSerial);
  PollingTimer->start();
  emit UsbConnected(handle);
  return QuietExit();
}

QString ctlVELD32UsbComm::SendDataAndPoll(const QString& cmd, qint32 vDelay) {
  const bool wasPolling = PollingTimer->isActive();
  PollingTimer->stop();
  SendData(cmd.toLatin1().toStdString());
  Delay(std::clamp(vDelay, 0, kMaxDelayMs), false);

  std::string reply;
  if (GetRxQueueStatus() == FT_OK && rxQueueBytes > 0) {
    const std::int32_t n = std::clamp(rxQueueBytes, 0, kBufferSize);
    ReadBytes(rxQueueBytes);
    reply.assign(rxBuffer.data(), static_cast<std::size_t>(n));
    std::fill_n(rxBuffer.begin(), n, '\0');
  }
  RestorePolling(wasPolling);
  if (!reply.empty()) emit RXData(Latin1(reply));
  return Latin1(reply);
}

void ctlVELD32UsbComm::PollingTimer_Timer() {
  if (!connected) return;
  const std::int32_t status = GetRxQueueStatus();
  if (rxQueueBytes > 0 && status == FT_OK) ProcessRXData();
  if (!txQueue.empty()) {
    const std::string frame = std::move(txQueue.front());
    txQueue.pop_front();
    SendData(frame);
  }
}

void ctlVELD32UsbComm::CloseUSB(qint32 vHandleID) {
  handle = vHandleID;
  if (CloseDevice() != FT_OK) {
    LinkStatus next = status_;
    next.message = QStringLiteral("Close attempt failed");
    next.failure = true;
    SetStatus(next);
    return;
  }
  connected = false;
  // Closed on request: the message is no failure.
  LinkStatus next = StatusIn(LinkState::Closed);
  next.message = QStringLiteral("USB Port Closed");
  next.failure = false;
  SetStatus(next);
  emit UsbClosed();
}

void ctlVELD32UsbComm::Connect() { OpenDevice(); }

void ctlVELD32UsbComm::Disconnect() {
  if (connected) {
    while (!txQueue.empty()) {
      const std::string frame = std::move(txQueue.front());
      txQueue.pop_front();
      SendData(frame);
    }
  }
  CloseUSB(handle);
}

void ctlVELD32UsbComm::DisablePolling() { PollingTimer->stop(); }

void ctlVELD32UsbComm::Deactivate() {
  PollingTimer->stop();
  TerminationClose();
}

void ctlVELD32UsbComm::TerminationClose() {
  if (connected && CloseDevice() != FT_OK) {
    connected = false;
    ReportFailure(QStringLiteral("Close attempt failed"));
  }
}

void ctlVELD32UsbComm::SetPollingTimerInterval(qint16 vInterval) {
  if (vInterval > 0) PollingTimer->setInterval(vInterval);
}

void ctlVELD32UsbComm::SetUsbSerialNumber(const QString& vUsbSerialNumber) {
  chosenUsbSerial_ = vUsbSerialNumber.toLatin1().toStdString();
}

// ---------------------------------------------------------------- waiting

void ctlVELD32UsbComm::DelayTimer_Timer() { delayElapsed = true; }

void ctlVELD32UsbComm::RestorePolling(bool wasPolling) {
  // Code run inside a wait may have started or stopped polling; the wait's own state wins.
  if (wasPolling == PollingTimer->isActive()) return;
  if (wasPolling) {
    PollingTimer->start();
  } else {
    PollingTimer->stop();
  }
}

void ctlVELD32UsbComm::Delay(std::int32_t ms, bool suspendPolling) {
  delayElapsed = false;
  ++delayDepth;
  DelayTimer->stop();
  DelayTimer->setInterval(ms);
  DelayTimer->start();
  const std::int64_t t0 = clock_();

  const bool wasPolling = PollingTimer->isActive();
  if (suspendPolling) PollingTimer->stop();

  // Sleeps in the event loop: the DelayTimer's tick (or any other event) wakes it. A wait
  // that starts and ends inside this one stops DelayTimer and so ends this one too.
  while (!delayElapsed) {
    if (!DelayTimer->isActive()) break;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (clock_() - t0 > ms) delayElapsed = true;
  }

  const std::int64_t t1 = clock_();
  if (suspendPolling) RestorePolling(wasPolling);
  if (delayDepth == 1 && static_cast<double>(t1 - t0) <= ms / 2.0) Delay(ms, true);
  delayElapsed = false;
  delayDepth = 0;
  DelayTimer->stop();
}
