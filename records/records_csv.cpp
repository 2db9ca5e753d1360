#include "records/records_csv.h"

#include <QStringList>

#include "device_link/protocol_numbers.h"
#include "tester/run_record.h"

namespace {
QString Iso(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }
}  // namespace

QByteArray RunRecordsCsvHeader() {
  return "id,started,ended,dut,operator,station,usb_serial,tester_serial,firmware,calibrated,"
         "program,current_mA,frequency_Hz,pulse_width_us,mode,duration_s,pass_ohms,fail_ohms,"
         "impedance_ohms,verdict,version,sent\n";
}

QByteArray RunRecordsCsvLine(const RunRecord& run) {
  const ProgramSettings& p = run.settings;
  const QString verdict = run.outcome == RunOutcome::Error && !run.errorText.isEmpty()
                              ? RunOutcomeName(run.outcome) + QStringLiteral(": ") + run.errorText
                              : RunOutcomeName(run.outcome);
  const QStringList cells{
      run.id.toString(QUuid::WithoutBraces),
      Iso(run.started),
      Iso(run.ended),
      run.dut,
      run.operatorName,
      run.station,
      run.tester.usbSerial,
      run.tester.testerSerial,
      run.tester.firmware,
      run.tester.calibrated,
      QString::number(p.number),
      QString::number(CurrentLevelMilliamps(p.currentIndex)),
      QString::number(FrequencyHertz(p.frequencyIndex)),
      QString::number(p.pulseWidthUs),
      p.mode == TestMode::Duration ? QStringLiteral("duration") : QStringLiteral("single"),
      QString::number(qint64(p.durationHours) * 3600 + p.durationSeconds),
      QString::number(p.passOhms),
      QString::number(p.failOhms),
      run.impedanceOhms ? QString::number(*run.impedanceOhms) : QString(),
      verdict,
      run.version,
      run.sent ? QStringLiteral("true") : QStringLiteral("false")};
  QByteArray line;
  for (const QString& cell : cells) line += (line.isEmpty() ? "" : ",") + CsvCell(cell);
  return line + '\n';
}
