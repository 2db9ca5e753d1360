#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "tester/verdict.h"

// Test results as comma-separated records, one line each after a header line:
//   time,tester_serial,program,impedance_ohms,pass_ohms,fail_ohms,verdict
// with the time in ISO 8601 UTC and an empty impedance for no reading. The window's "Save as
// CSV..." and veld32ctl's --csv write the same columns. A cell that a spreadsheet would take for
// a formula (it starts with =, +, -, @, a tab or a carriage return) is written after a '.

// One cell of such a record, UTF-8: safe from a spreadsheet's formulas, and quoted when it
// holds a separator, a quote or a line break.
QByteArray CsvCell(const QString& text);

QByteArray RunRecordHeader();
QByteArray RunRecordLine(const TestResult& result);

// Appends one record to `fileName`, after the header when the file is new or empty. Runs that
// append to the same file at the same time take turns through its file_access::FileLock, waiting
// for it at most `lockWaitMs`. All or nothing: a record that
// cannot be written whole is taken back. A last line without its line end gets one first; a
// file that is not empty and does not start with the header is refused untouched. A stream (a
// device, a FIFO) just takes the line. Returns what went wrong, or an empty text.
QString AppendRunRecord(const QString& fileName, const TestResult& result, int lockWaitMs);

// Writes the header and every record to `fileName`, replacing it only once the new file is
// complete. Returns what went wrong, or an empty text.
QString SaveRunRecords(const QString& fileName, const QList<TestResult>& results);
