#pragma once

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "d2xx.h"
#include "simulated_tester.h"
#include "veld32ctl.h"

// Runs veld32ctl in-process and keeps what it printed.
struct CtlRun {
  int status = -1;
  QString out;
  QString err;
};

inline CtlRun RunCtl(const QStringList& arguments, const BackendFactory& backend = CreateBackend) {
  CtlRun run;
  QTextStream out(&run.out);
  QTextStream err(&run.err);
  run.status = RunVeld32Ctl(arguments, out, err, backend);
  return run;
}

// Every command line gets `driver`, in front of `simulator` (the same object when no fault is
// injected), so that consecutive runs talk to the same tester.
inline BackendFactory Attached(std::shared_ptr<D2xx> driver,
                               std::shared_ptr<SimulatedTester> simulator) {
  return [driver, simulator](const BackendOptions&) {
    Backend backend;
    backend.driver = driver;
    backend.simulator = simulator;
    return backend;
  };
}

inline BackendFactory Attached(const std::shared_ptr<SimulatedTester>& simulator) {
  return Attached(simulator, simulator);
}

// Passes every call on to a simulated tester and runs `fault` once, right after the
// `afterWrites`-th write reached it (the first write is the handshake).
class FaultAfterWrites : public D2xx {
 public:
  FaultAfterWrites(std::shared_ptr<SimulatedTester> tester, int afterWrites,
                   std::function<void(SimulatedTester&)> fault)
      : tester_(std::move(tester)), remaining_(afterWrites), fault_(std::move(fault)) {}

  FT_STATUS FT_ListDevicesCount(std::int32_t& count) override {
    return tester_->FT_ListDevicesCount(count);
  }
  FT_STATUS FT_ListDevicesDescription(std::int32_t index, char* buffer50) override {
    return tester_->FT_ListDevicesDescription(index, buffer50);
  }
  FT_STATUS FT_Open(std::int32_t index, std::int32_t& handle) override {
    ++opens;
    return tester_->FT_Open(index, handle);
  }
  FT_STATUS FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) override {
    return tester_->FT_GetQueueStatus(handle, rxBytes);
  }
  FT_STATUS FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                    std::int32_t& read) override {
    return tester_->FT_Read(handle, buffer, wanted, read);
  }
  FT_STATUS FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                     std::int32_t& written) override {
    std::string bytes(buffer, static_cast<std::size_t>(count));
    if (alterWrite) alterWrite(bytes);
    const FT_STATUS status =
        tester_->FT_Write(handle, bytes.data(), static_cast<std::int32_t>(bytes.size()), written);
    if (status == FT_OK && --remaining_ == 0) fault_(*tester_);
    return status;
  }
  FT_STATUS FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) override {
    return tester_->FT_SetLatencyTimer(handle, milliseconds);
  }
  FT_STATUS FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) override {
    return tester_->FT_SetBaudRate(handle, baud);
  }
  FT_STATUS FT_SetBitMode(std::int32_t handle, std::uint8_t mask, std::uint8_t mode) override {
    return tester_->FT_SetBitMode(handle, mask, mode);
  }
  FT_STATUS FT_Close(std::int32_t handle) override { return tester_->FT_Close(handle); }

  int opens = 0;
  // Line noise: changes the bytes of every write on their way to the tester.
  std::function<void(std::string&)> alterWrite;

 private:
  std::shared_ptr<SimulatedTester> tester_;
  int remaining_;
  std::function<void(SimulatedTester&)> fault_;
};

// A scratch folder with helpers for the files the tests hand to the tool.
class CtlTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  QString Path(const QString& name) const { return dir_.filePath(name); }

  QString Write(const QString& name, const QByteArray& bytes) const {
    QFile file(Path(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return Path(name);
  }

  static QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  static QJsonArray Programs(const CtlRun& run) {
    return QJsonDocument::fromJson(run.out.toUtf8()).object().value("programs").toArray();
  }

  QTemporaryDir dir_;
};

// Three complete programs: a timed one, a Single Measure one with a duration of its own, and a
// second timed one.
inline const QByteArray kThreePrograms =
    "[Program1]\r\nCurrent=20\r\nFrequency=150\r\nPulseWidth=200\r\nMode=1\r\nDuration=3725\r\n"
    "Pass=12\r\nFail=14\r\n\r\n"
    "[Program2]\r\nCurrent=100\r\nFrequency=2\r\nPulseWidth=300\r\nMode=2\r\nDuration=600\r\n"
    "Pass=150\r\nFail=1000\r\n\r\n"
    "[Program3]\r\nCurrent=50\r\nFrequency=5\r\nPulseWidth=20\r\nMode=1\r\nDuration=45\r\n"
    "Pass=999\r\nFail=1000\r\n";
