#pragma once

#include <QDateTime>
#include <QString>

// How a measured impedance compares with the limits of the program that measured it, and the
// words the window and the command-line tool both use for a test's result.

enum class Verdict { Pass, Fail, BetweenLimits, NoReading };

// No reading when the impedance is not a finite number of zero or more ohms (a last-data reply
// that divided by zero). Otherwise at or above the fail limit fails, even where inconsistent
// limits would also let it pass; then below the pass limit passes; anything else lies between.
Verdict JudgeImpedance(double ohms, qint16 passOhms, qint16 failOhms);

// "pass", "fail", "between limits", "no reading": the verdict in records and JSON.
QString VerdictName(Verdict verdict);

// Ohms to at most two decimals, without trailing zeros ("62.5", "100").
QString OhmsText(double ohms);

// One finished test as it is logged, printed and recorded.
struct TestResult {
  int program = 0;
  double impedanceOhms = 0;
  qint16 passOhms = 0;
  qint16 failOhms = 0;
  Verdict verdict = Verdict::NoReading;
  QString testerSerial;  // as the tester reports it
  QDateTime time;        // when the result arrived, UTC
};

// "Running test 2…", while the tester runs program 2; with the time since the test began and
// the program's duration, in minutes and seconds: "Running test 1… 12:04 of 60:00" (a single
// measurement, of no set duration: "Running test 1… 00:05").
QString RunningCaption(int program);
QString RunningCaption(int program, qint64 elapsedSeconds, qint64 expectedSeconds);

// "Test program 2: 62.5 ohms, below the pass limit 150".
QString ResultLine(const TestResult& result);
