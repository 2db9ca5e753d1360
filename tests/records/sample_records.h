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
  RunRecord run{.started = started,
                .ended = started.addSecs(3),
                .dut = dut,
                .operatorName = "Ines",
                .station = "bench-1",
                .tester = {"FT1234", "T-0042", "2.10", "2026-03-01", false},
                .settings = {.number = std::int16_t(program),
                             .currentIndex = 3,
                             .frequencyIndex = 5,
                             .pulseWidthUs = 250,
                             .durationSeconds = 30,
                             .mode = TestMode::Duration},
                .impedanceOhms = ohms,
                .outcome = outcome,
                .version = "1.1.0"};
  return run;
}
