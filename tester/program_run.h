#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>
#include <vector>

#include "device_link/program_settings.h"
#include "tester/verdict.h"

class ctlVELD32UsbComm;

// One test of one program over a connected link, for the window and the command-line tool
// alike: asks for the tester's serial number and the program's values (its limits and
// duration are the tester's, not an editor's), then sends the run request, reports the
// tester's "running" reply and judges the last-data reply of that program. Every wait is
// bounded: the two answers by `replyMs`, the result by `resultMs` when given, else by the
// program's duration plus kResultMarginMs. Ends with exactly one of Finished and Failed.
class TestRun : public QObject {
  Q_OBJECT

 public:
  static constexpr int kResultMarginMs = 30000;

  struct Timeouts {
    int replyMs = 5000;
    std::optional<int> resultMs;
  };

  TestRun(ctlVELD32UsbComm& link, Timeouts timeouts, QObject* parent = nullptr);
  ~TestRun() override;

  // Program 1..3. A link that is down fails the run at once, before Start returns.
  void Start(int program);
  // Stops waiting for the run in progress, without Finished or Failed. The tester has no stop
  // request: it finishes the test on its own, and nothing here takes that result.
  void Abandon() { Stop(); }
  bool Active() const { return phase_ != Phase::Idle; }
  // The bound of the wait in progress, in milliseconds.
  int WaitMs() const { return deadline_.interval(); }

  // Longest wait for the result of a program that runs `seconds`.
  static int ResultTimeoutMs(qint64 seconds);

 signals:
  // The run request is sent: the tester tests for `expectedSeconds` (0 for a single measurement).
  void Testing(int program, qint64 expectedSeconds);
  void Running(int program);
  void Finished(const TestResult& result);
  // `linkLost` tells a driver failure or a closed link from a tester that did not answer.
  void Failed(const QString& reason, bool linkLost);

 private:
  enum class Phase { Idle, Asking, Testing };

  void ProgramValues(const ProgramSettings& program);
  void SerialNumber(const QString& serial);
  void StartTestOnceAnswered();
  void LastData(qint16 program, double impedance);
  void TimedOut();
  void Fail(const QString& reason, bool linkLost);
  void Stop();

  ctlVELD32UsbComm& link_;
  Timeouts timeouts_;
  QTimer deadline_;
  std::vector<QMetaObject::Connection> listening_;
  Phase phase_ = Phase::Idle;
  bool runningReported_ = false;
  std::optional<QString> serial_;
  std::optional<qint64> durationSeconds_;
  TestResult result_;
};
