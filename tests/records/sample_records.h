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
  run.settings.number = std::int16_t(program);
  run.settings.currentIndex = 3;
  run.settings.frequencyIndex = 5;
  run.settings.pulseWidthUs = 250;
  run.settings.durationSeconds = 30;
  run.settings.mode = TestMode::Duration;
  run.impedanceOhms = ohms;
  run.outcome = outcome;
  run.version = "1.1.0";
  return run;
}
