#pragma once

#include <QDateTime>

#include "records/production_record.h"

// Minutes after a fixed UTC morning.
inline QDateTime SampleTime(int minutes) {
  return QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC).addSecs(60 * minutes);
}

// A finished run as a bench records it, with what the tests vary in front.
inline RunRecord SampleRun(const QString& dut, int program, std::optional<double> ohms,
                           RunOutcome outcome, const QDateTime& started) {
  RunRecord run;
  run.started = started;
  run.ended = started.addSecs(3);
  run.dut = dut;
  run.operatorName = "Ines";
  run.station = "bench-1";
  run.tester = {"FT1234", "T-0042", "2.10", "2026-03-01", false};
  // program, current and frequency positions, pulse width, duration, mode, pass and fail limits
  run.settings = {std::int16_t(program), 3, 5, 250, 30, 0, TestMode::Duration, 150, 1000};
  run.impedanceOhms = ohms;
  run.outcome = outcome;
  run.version = "1.1.0";
  return run;
}
