#include "tester/run_record.h"

#include <QFile>
#include <QSaveFile>

#include "config_files/file_access.h"

namespace {

// A spreadsheet takes a cell that starts with one of these for a formula; text from the tester
// (its serial) is not to be trusted with that.
bool StartsLikeAFormula(const QByteArray& bytes) {
  return !bytes.isEmpty() && QByteArrayView("=+-@\t\r").contains(bytes.front());
}

}  // namespace

QByteArray CsvCell(const QString& text) {
  QByteArray bytes = text.toUtf8();
  if (StartsLikeAFormula(bytes)) bytes.prepend('\'');
  if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') &&
      !bytes.contains('\r')) {
    return bytes;
  }
  return '"' + bytes.replace('"', "\"\"") + '"';
}

namespace {

QString WriteFailure(const QString& fileName, const QString& reason) {
  return QStringLiteral("The test record could not be written to %1: %2").arg(fileName, reason);
}

// Whether `file` starts with the header line (with either line end, or as all there is), after
// the byte order mark that a spreadsheet may have put before it.
bool StartsWithHeader(QFile& file) {
  const QByteArray header = RunRecordHeader().chopped(1);
  QByteArray start = file.read(header.size() + 4);
  if (start.startsWith("\xEF\xBB\xBF")) start.remove(0, 3);
  start.truncate(header.size() + 1);
  return start == header ||
         (start.startsWith(header) && (start.endsWith('\n') || start.endsWith('\r')));
}

// Whether all of `bytes` went into `file`; else its error says why. A write cut short (the disk
// filled up) counts what fit without an error: the rest, tried again, fails with the reason.
bool WriteWhole(QFile& file, QByteArray bytes) {
  while (!bytes.isEmpty()) {
    const qint64 written = file.write(bytes);
    if (written <= 0) return false;
    bytes.remove(0, written);
  }
  return true;
}

// The bytes that put `line` after the `size` bytes already in the record `file`.
QByteArray Continuation(QFile& file, qint64 size, const QByteArray& line) {
  if (size == 0) return RunRecordHeader() + line;
  // A last line cut off without its line end (an editor, a crash of another program) keeps it.
  return file.seek(size - 1) && file.read(1) == "\n" ? line : '\n' + line;
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
  for (const QString& field : fields) line += (line.isEmpty() ? "" : ",") + CsvCell(field);
  return line + '\n';
}

QString AppendRunRecord(const QString& fileName, const TestResult& result, int lockWaitMs) {
  file_access::FileLock lock(fileName);
  if (QString busy = lock.Acquire(lockWaitMs); !busy.isEmpty()) return busy;
  QFile file;
  // Unbuffered: a failed write shows at the write that failed, with the system's reason.
  if (const QString error = file_access::OpenForUpdate(file, fileName); !error.isEmpty())
    return WriteFailure(fileName, error);
  const QByteArray line = RunRecordLine(result);
  // A stream (a device, a FIFO) has no start to check and no end to go back to: it takes rows.
  if (file.isSequential()) {
    return WriteWhole(file, line) ? QString() : WriteFailure(fileName, file.errorString());
  }
  const qint64 before = file.size();
  if (before > 0 && !StartsWithHeader(file)) {
    return QStringLiteral(
               "%1 is not a test record: it does not start with the line \"%2\"; give a new "
               "file or a record written before.")
        .arg(fileName, QString::fromUtf8(RunRecordHeader().chopped(1)));
  }
  const QByteArray bytes = Continuation(file, before, line);
  if (file.seek(before) && WriteWhole(file, bytes)) return {};
  // Nothing of a row that is not there whole stays, so that the next row starts a line.
  const QString reason = file.errorString();
  if (!file.resize(before) || !file.flush()) {
    return WriteFailure(fileName, QStringLiteral("%1; the part written could not be taken back: %2")
                                      .arg(reason, file.errorString()));
  }
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
