#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "device_link/d2xx.h"
#include "device_link/link_status.h"
#include "device_link/reply_decoder.h"

class QTimer;

// The device link: owns the USB connection to the tester through a D2xx driver, the send queue
// behind the request methods, the reply decoder and the connection's life. Requests only queue
// their frame; the polling tick sends one queued frame per tick after decoding what arrived.
// Replies and connection changes come back only as signals. Failures of driver calls outside
// the open sequence mark the link down and raise UsbError; there is no automatic reconnection,
// but the next open first closes the device a lost session still holds and drops whatever the
// tester sent before it, so Connect after any fault works at once.
class ctlVELD32UsbComm : public QObject {
  Q_OBJECT

 public:
  using Clock = std::function<std::int64_t()>;  // monotonic milliseconds

  explicit ctlVELD32UsbComm(std::shared_ptr<D2xx> driver, QObject* parent = nullptr);
  ~ctlVELD32UsbComm() override;

  bool Reconnecting() const { return reconnecting; }
  void CloseUSB(qint32 vHandleID);
  qint32 OpenDevice();
  void DisablePolling();

  void TXCommCheck();
  void TXGetCalibrationDate();
  void TXSetCalibrationDate(qint16 vYear, qint16 vMonth, qint16 vDay);
  void TXGetFirmwareVersion();
  void TXGetSerialNumber();
  // Serial numbers run to 99999, beyond the 16 bits of the other fields.
  void TXSetSerialNumber(qint32 vSN);
  void TXGetProgramValues(qint16 vProgramID);
  void TXSetProgramValuesDirect(const QString& vCmd);
  void TXSetProgramValues(qint16 vProgramID, qint16 vCurrentLevelIndex, qint16 vFreqIndex,
                          qint16 vPW, qint16 vDuration, qint16 vDurationHr, qint16 vMode,
                          qint16 vPass, qint16 vFail);
  void TXSetProgramValues(const ProgramSettings& vProgram);
  void TXRunTest(qint16 vTestID);
  void TXQuery();
  void TXRequestData();
  void TXCurrentCalAdjust(qint16 vCurrentIndex, bool vIncrease);
  void TXGetCalValues();
  qint16 GetCurrentLevelValue(qint16 vCurrentLevelIndex) const;
  qint16 GetFrequencyValue(qint16 vFrequencyIndex) const;

  // Sends `cmd` at once, waits vDelay ms (clamped to 0..32767) and returns whatever was waiting.
  QString SendDataAndPoll(const QString& cmd, qint32 vDelay = 0);
  void Connect();
  void Disconnect();
  void Deactivate();
  bool Connected() const { return connected; }
  void SetPollingTimerInterval(qint16 vInterval);

  // Chooses the tester by the USB serial number of its bridge, for a bench of several; empty
  // (the start) opens the first device described "VELD32". A chosen tester that is not attached
  // is "No devices found". Takes effect at the next open.
  void SetUsbSerialNumber(const QString& vUsbSerialNumber);
  // The USB serial number of the device the last successful open matched; empty before, or
  // when the driver cannot tell it.
  const QString& ConnectedUsbSerialNumber() const { return connectedUsbSerial_; }

  const LinkStatus& Status() const { return status_; }
  // Reports what the host is doing with the tester ("Running test 2..."); empty for nothing.
  void ShowActivity(const QString& text);

  // The tester is the first device whose description is exactly this (case and blanks count).
  static bool IsTesterDescription(const std::string& description);

  // The operator pressed the connect button in or released it: opens or closes the link.
  void chkConnect_Click(bool pressed);
  // One polling tick: decode what arrived, then send at most one queued frame.
  void PollingTimer_Timer();
  void DelayTimer_Timer();

  // Replaces the monotonic clock the waits measure with (tests).
  void SetClock(Clock clock) { clock_ = std::move(clock); }

 signals:
  void RXData(QString vData);
  void RXDataInBuffer(QString vBufferData);
  void RXIdle();
  void RXRunningTest();
  void RXCurrentSetpoint(qint16 vCurrentLevelIndex, qint16 vCurrentLevelValue);
  void RXAllCurrentSetpoints(qint16 vCurrentValue5, qint16 vCurrentValue10, qint16 vCurrentValue20,
                             qint16 vCurrentValue50, qint16 vCurrentValue100);
  void RXLastData(qint16 vProgramID, qint16 vAvgM, qint16 vDivideBy, qint16 vScaleFactor,
                  double vImpedance);
  void RXCalibrationDate(QString vYear, QString vMonth, QString vDay);
  void RXFirmwareVersion(QString vFirmwareVersion);
  void RXSerialNumber(QString vSerialNumber);
  void RXProgramValues(qint16 vProgramIndex, qint16 vCurrentIndex, qint16 vFrequencyIndex,
                       qint16 vPW, qint16 vDuration, qint16 vDurationHr, qint16 vMode,
                       qint16 vAvgmA, qint16 vAvguA, qint16 vCharge, qint16 vPassValue,
                       qint16 vFailValue, double vAverageCurrent, qint16 vPWValue,
                       QString vCommandText);
  // The program of the same reply, raised just before RXProgramValues.
  void RXProgramSettings(const ProgramSettings& vProgram);
  void TXData(QString vData);
  void UsbConnected(qint32 vHandleID);
  void UsbClosed();
  void UsbReconnecting();
  void UsbError(QString vErrorString);

  // Status() changed.
  void StatusChanged();

 private:
  class ReplyEmitter;
  static constexpr std::int32_t kBufferSize = 1024;

  // Transport.
  std::int32_t GetFTDeviceCount();
  std::string GetFTDeviceDescription(std::int32_t index);
  std::string TrimAtNul() const;
  void Open_USB_Device_By_Index(std::int32_t index);
  std::int32_t CloseDevice();
  std::int32_t GetRxQueueStatus();
  std::int32_t ReadBytes(std::int32_t count);
  std::int32_t WriteBytes(std::int32_t count);
  void AppendToTxBuffer(const std::string& frame);
  void FlushTxBuffer();
  void SendData(const std::string& frame);
  void QueueCommand(std::string frame);
  void ReportFTError(const std::string& label, FT_STATUS status);
  void ProcessRXData();

  // Lifecycle and status.
  qint32 QuietExit();
  qint32 ErrorExit();
  void ReleaseFailedOpen();
  void ReleaseHeldHandle();
  // Reads and drops what waits in the driver (rxQueueBytes from the last queue check); false
  // when a read or queue check failed.
  bool DropStaleBytes();
  void RestorePolling(bool wasPolling);
  // The status with `state`: the link going down ends the activity, going up ends the message.
  LinkStatus StatusIn(LinkState state) const;
  void Report(LinkState state);
  // Reports the link failed with `text`.
  void ReportFailure(const QString& text);
  // Reports Connected or Failed as `connected` says.
  void ReportConnection();
  void SetStatus(const LinkStatus& next);
  void Delay(std::int32_t ms, bool suspendPolling);
  void TerminationClose();

  std::shared_ptr<D2xx> driver_;
  std::unique_ptr<ReplyEmitter> emitter_;
  ReplyDecoder decoder_;  // holds rxRemainder
  Clock clock_;

  std::int32_t handle = 0;
  std::int32_t lastStatus = FT_OK;
  std::int32_t ioStatus = FT_OK;
  std::int32_t deviceCount = 0;
  std::array<char, kDescriptionBufferSize> listBuffer{};
  std::array<char, kBufferSize> rxBuffer{};
  std::int32_t rxQueueBytes = 0;
  std::array<char, kBufferSize> txBuffer{};
  std::int32_t txPending = 0;
  std::deque<std::string> txQueue;

  bool connected = false;
  bool opening = false;
  bool delayElapsed = false;
  qint16 delayDepth = 0;
  bool reconnecting = false;
  bool handleHeld_ = false;  // `handle` names a device this link opened and has not closed

  QTimer* PollingTimer;
  QTimer* DelayTimer;
  LinkStatus status_;
  std::string chosenUsbSerial_;
  QString connectedUsbSerial_;
};
