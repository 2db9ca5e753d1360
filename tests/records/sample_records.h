#pragma once

#include <QDateTime>

#include "records/production_record.h"

// A finished run as a bench records it, with what the tests vary in front.
inline RunRecord SampleRun(const QString& dut, int program, std::optional<double> ohms,
                           RunOutcome outcome, const QDateTime& started) {
  RunRecord run;
  run.started = started;
  run.ended = started.addSecs(3);
  run.dut = dut;
  run.operatorName = QStringLiteral("Ines");
  run.station = QStringLiteral("bench-1");
  run.tester = {QStringLiteral("FT1234"), QStringLiteral("T-0042"), QStringLiteral("2.10"),
                QStringLiteral("2026-03-01"), false};
  run.settings.number = std::int16_t(program);
  run.settings.currentIndex = 3;
  run.settings.frequencyIndex = 5;
  run.settings.pulseWidthUs = 250;
  run.settings.durationSeconds = 30;
  run.settings.mode = TestMode::Duration;
  run.impedanceOhms = ohms;
  run.outcome = outcome;
  run.version = QStringLiteral("1.1.0");
  return run;
}

inline QDateTime SampleTime(int minutes) {
  return QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC).addSecs(60 * minutes);
}
