#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "backends/simulated_tester.h"
#include "tests/support/file_bytes.h"
#include "tests/support/program_description.h"
#include "tests/support/qt_printers.h"
#include "tools/veld32ctl.h"

// Runs veld32ctl in-process, polling fast, and keeps what it printed.
struct CtlRun {
  int status = -1;
  QString out;
  QString err;
};

inline CtlRun RunCtl(const QStringList& arguments, const BackendFactory& backend = CreateBackend) {
  CtlRun run;
  QTextStream out(&run.out);
  QTextStream err(&run.err);
  run.status = RunVeld32Ctl(QStringList{"--interval=20"} + arguments, out, err, backend);
  return run;
}

inline void PrintTo(const CtlRun& run, std::ostream* out) {
  *out << "status " << run.status << ", out \"" << run.out.toStdString() << "\", err \""
       << run.err.toStdString() << '"';
}

// A run that ended with `status`, saying `part` on standard error.
MATCHER_P2(Ended, status, part, "") { return arg.status == status && arg.err.contains(part); }
// A text that holds `part`.
MATCHER_P(Has, part, "") { return arg.contains(part); }

// Runs the built veld32ctl as a child process, polling fast, after `prepare` set up the
// process, with `input` through a pipe when given.
inline CtlRun RunExe(const QStringList& arguments,
                     const std::function<void(QProcess&)>& prepare = {},
                     const QByteArray& input = {}) {
  QProcess process;
  if (prepare) prepare(process);
  process.start(QStringLiteral(VELD32CTL_PATH), QStringList{"--interval=20"} + arguments);
  if (!input.isNull()) {
    process.write(input);
    process.closeWriteChannel();
  }
  EXPECT_TRUE(process.waitForFinished(30000)) << process.errorString().toStdString();
  // Standard output ends lines the platform's way: "\r\n" on Windows.
  return {process.exitCode(),
          QString::fromUtf8(process.readAllStandardOutput()).replace("\r\n", "\n"),
          QString::fromUtf8(process.readAllStandardError())};
}

// The programs of what show and download print with --json.
inline QJsonArray Programs(const CtlRun& run) {
  return QJsonDocument::fromJson(run.out.toUtf8()).object().value("programs").toArray();
}

// Every command line gets `tester`, through `driver` when one is given, so that consecutive runs
// talk to the same tester.
inline BackendFactory Attached(std::shared_ptr<SimulatedTester> tester,
                               std::shared_ptr<D2xx> driver = nullptr) {
  return [tester, driver](const BackendOptions&) {
    return Backend{driver ? driver : tester, tester, nullptr, {}};
  };
}

// A scratch folder for the files the tests hand to the tool, which also keeps the production
// records of the commands run (through VELD32_RECORDS, as a bench would set it).
class CtlTest : public ::testing::Test {
 protected:
  CtlTest() { qputenv("VELD32_RECORDS", RecordsFile().toUtf8()); }
  ~CtlTest() override { qunsetenv("VELD32_RECORDS"); }

  QString Path(const QString& name) const { return dir_.filePath(name); }

  QString Write(const QString& name, const QByteArray& bytes) const {
    WriteAll(Path(name), bytes);
    return Path(name);
  }

  // Where the commands' records go unless a test says otherwise.
  QString RecordsFile() const { return records_.filePath("records.sqlite"); }

  QTemporaryDir dir_;
  QTemporaryDir records_;
};
