#include "run_record.h"

#include <QFile>
#include <QLockFile>
#include <QSaveFile>

namespace {

// Text fields are quoted when they hold a separator, a quote or a line break.
QByteArray Field(const QString& text) {
  QByteArray bytes = text.toUtf8();
  if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') &&
      !bytes.contains('\r')) {
    return bytes;
  }
  return '"' + bytes.replace('"', "\"\"") + '"';
}

QString WriteFailure(const QString& fileName, const QString& reason) {
  return QStringLiteral("The test record could not be written to %1: %2").arg(fileName, reason);
}

}  // namespace

QByteArray RunRecordHeader() {
  return "time,tester_serial,program,impedance_ohms,pass_ohms,fail_ohms,verdict\n";
}

QByteArray RunRecordLine(const TestResult& r) {
  const QString impedance = r.verdict == Verdict::NoReading ? QString() : OhmsText(r.impedanceOhms);
  const QStringList fields{r.time.toUTC().toString(Qt::ISODate),
                           r.testerSerial,
                           QString::number(r.program),
                           impedance,
                           QString::number(r.passOhms),
                           QString::number(r.failOhms),
                           VerdictName(r.verdict)};
  QByteArray line;
  for (const QString& field : fields) line += (line.isEmpty() ? "" : ",") + Field(field);
  return line + '\n';
}

QString AppendRunRecord(const QString& fileName, const TestResult& result, int lockWaitMs) {
  QLockFile lock(fileName + QStringLiteral(".lock"));
  if (!lock.tryLock(lockWaitMs)) {
    return WriteFailure(fileName,
                        lock.error() == QLockFile::LockFailedError
                            ? QStringLiteral("another run held its lock for %1 ms").arg(lockWaitMs)
                            : QStringLiteral("its lock file cannot be created"));
  }
  QFile file(fileName);
  if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
    return WriteFailure(fileName, file.errorString());
  }
  const qint64 before = file.size();
  const QByteArray bytes = (before == 0 ? RunRecordHeader() : QByteArray()) + RunRecordLine(result);
  if (file.write(bytes) == bytes.size() && file.flush()) return {};
  const QString reason = file.errorString();
  file.resize(before);
  return WriteFailure(fileName, reason);
}

QString SaveRunRecords(const QString& fileName, const QList<TestResult>& results) {
  QSaveFile file(fileName);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(RunRecordHeader());
    for (const TestResult& result : results) file.write(RunRecordLine(result));
    if (file.commit()) return {};
  }
  return QStringLiteral("The test results could not be saved to %1: %2")
      .arg(fileName, file.errorString());
}
