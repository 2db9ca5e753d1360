#include "tester/program_run.h"

#include <algorithm>
#include <limits>

#include "device_link/ctlVELD32UsbComm.h"

namespace {
constexpr qint64 kSecondsPerHour = 3600;
}  // namespace

TestRun::TestRun(ctlVELD32UsbComm& link, Timeouts timeouts, QObject* parent)
    : QObject(parent), link_(link), timeouts_(timeouts) {
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, &TestRun::TimedOut);
}

TestRun::~TestRun() { Stop(); }

int TestRun::ResultTimeoutMs(qint64 seconds) {
  // A duration the tester reports as negative counts as none.
  const qint64 ms = std::max<qint64>(seconds, 0) * 1000 + kResultMarginMs;
  return static_cast<int>(std::min<qint64>(ms, std::numeric_limits<int>::max()));
}

void TestRun::Start(int program) {
  Stop();
  result_ = {};
  result_.program = program;
  serial_.reset();
  durationSeconds_.reset();
  runningReported_ = false;
  if (!link_.Connected()) {
    Fail(QStringLiteral("The tester is not connected"), true);
    return;
  }
  phase_ = Phase::Asking;
  ctlVELD32UsbComm* link = &link_;
  listening_ = {
      connect(link, &ctlVELD32UsbComm::RXSerialNumber, this, &TestRun::SerialNumber),
      connect(link, &ctlVELD32UsbComm::RXProgramSettings, this, &TestRun::ProgramValues),
      connect(link, &ctlVELD32UsbComm::RXRunningTest, this,
              [this] {
                if (phase_ != Phase::Testing || runningReported_) return;
                runningReported_ = true;
                emit Running(result_.program);
              }),
      connect(link, &ctlVELD32UsbComm::RXLastData, this,
              [this](qint16 program, qint16, qint16, qint16, double impedance) {
                LastData(program, impedance);
              }),
      connect(link, &ctlVELD32UsbComm::UsbError, this,
              [this](const QString& text) {
                Fail(QStringLiteral("Link failure: %1").arg(text), true);
              }),
      connect(link, &ctlVELD32UsbComm::UsbClosed, this,
              [this] { Fail(QStringLiteral("The link to the tester was closed"), true); }),
  };
  link_.TXGetSerialNumber();
  link_.TXGetProgramValues(static_cast<qint16>(program));
  deadline_.start(timeouts_.replyMs);
}

void TestRun::SerialNumber(const QString& serial) {
  if (phase_ != Phase::Asking) return;
  serial_ = serial;
  StartTestOnceAnswered();
}

void TestRun::ProgramValues(const ProgramSettings& program) {
  if (phase_ != Phase::Asking || program.number != result_.program) return;
  result_.passOhms = program.passOhms;
  result_.failOhms = program.failOhms;
  durationSeconds_ = program.mode == TestMode::Duration
                         ? program.durationSeconds + program.durationHours * kSecondsPerHour
                         : 0;
  StartTestOnceAnswered();
}

void TestRun::StartTestOnceAnswered() {
  if (!serial_ || !durationSeconds_) return;
  result_.testerSerial = *serial_;
  phase_ = Phase::Testing;
  link_.TXRunTest(static_cast<qint16>(result_.program));
  deadline_.start(timeouts_.resultMs.value_or(ResultTimeoutMs(*durationSeconds_)));
  emit Testing(result_.program, *durationSeconds_);
}

void TestRun::LastData(qint16 program, double impedance) {
  if (phase_ != Phase::Testing || program != result_.program) return;
  result_.impedanceOhms = impedance;
  result_.verdict = JudgeImpedance(impedance, result_.passOhms, result_.failOhms);
  result_.time = QDateTime::currentDateTimeUtc();
  Stop();
  emit Finished(result_);
}

void TestRun::TimedOut() {
  if (phase_ == Phase::Asking) {
    QStringList missing;
    if (!serial_) missing << QStringLiteral("serial number");
    if (!durationSeconds_) missing << QStringLiteral("values of program %1").arg(result_.program);
    Fail(QStringLiteral("No reply from the tester within %1 ms: no %2")
             .arg(timeouts_.replyMs)
             .arg(missing.join(QLatin1String(", "))),
         false);
    return;
  }
  Fail(QStringLiteral("No result of test program %1 within %2 ms")
           .arg(result_.program)
           .arg(deadline_.interval()),
       false);
}

void TestRun::Fail(const QString& reason, bool linkLost) {
  Stop();
  emit Failed(reason, linkLost);
}

void TestRun::Stop() {
  for (const QMetaObject::Connection& connection : listening_) disconnect(connection);
  listening_.clear();
  deadline_.stop();
  phase_ = Phase::Idle;
}
