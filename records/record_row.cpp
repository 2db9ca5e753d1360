#include "records/record_row.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "programs/settings_values.h"
#include "tester/run_record.h"

namespace {

QString Utc(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }

void AddTester(RecordRow& row, const TesterFacts& tester) {
  row.insert(row.end(), {{QStringLiteral("usb_serial"), tester.usbSerial},
                         {QStringLiteral("tester_serial"), tester.testerSerial},
                         {QStringLiteral("firmware"), tester.firmware},
                         {QStringLiteral("calibrated"), tester.calibrated},
                         {QStringLiteral("calibration_overdue"), tester.calibrationOverdue}});
}

void AddSettings(RecordRow& row, const ProgramSettings& settings) {
  row.emplace_back(QStringLiteral("program"), int{settings.number});
  for (auto& value : SettingsValues(settings)) row.push_back(std::move(value));
}

QVariant Programs(const std::vector<ProgramSettings>& programs) {
  RecordRows rows;
  for (const ProgramSettings& p : programs) AddSettings(rows.emplace_back(), p);
  return QVariant::fromValue(rows);
}

// JSON without blanks. The programs' values are numbers and the mode's word.
QString CompactJson(const RecordRows& rows) {
  QStringList objects;
  for (const RecordRow& row : rows) {
    QStringList members;
    for (const auto& [name, value] : row) {
      const QString text = value.typeId() == QMetaType::QString
                               ? QString::fromUtf8(QJsonDocument(QJsonArray{value.toString()})
                                                       .toJson(QJsonDocument::Compact)
                                                       .chopped(1)
                                                       .mid(1))
                               : value.toString();
      members << u'"' + name + QStringLiteral("\":") + text;
    }
    objects << u'{' + members.join(u',') + u'}';
  }
  return u'[' + objects.join(u',') + u']';
}

QString Plain(const QVariant& value) {
  if (value.isNull()) return {};
  switch (value.typeId()) {
    case QMetaType::Double:
      return OhmsText(value.toDouble());
    case QMetaType::Bool:
      return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
      if (value.metaType() == QMetaType::fromType<RecordRows>())
        return CompactJson(value.value<RecordRows>());
      return value.toString();
  }
}

}  // namespace

RecordRow RunRow(const RunRecord& r) {
  RecordRow row{{QStringLiteral("id"), r.id.toString(QUuid::WithoutBraces)},
                {QStringLiteral("started"), Utc(r.started)},
                {QStringLiteral("ended"), Utc(r.ended)},
                {QStringLiteral("dut"), r.dut},
                {QStringLiteral("operator"), r.operatorName},
                {QStringLiteral("station"), r.station}};
  AddTester(row, r.tester);
  AddSettings(row, r.settings);
  row.insert(row.end(),
             {{QStringLiteral("impedance_ohms"),
               r.impedanceOhms ? QVariant(*r.impedanceOhms) : QVariant()},
              {QStringLiteral("verdict"), RunOutcomeName(r.outcome)},
              {QStringLiteral("error"), r.errorText.isEmpty() ? QVariant() : r.errorText},
              {QStringLiteral("version"), r.version},
              {QStringLiteral("sent"), r.sent}});
  return row;
}

RecordRow ChangeRow(const ProgramChange& c) {
  RecordRow row{{QStringLiteral("id"), c.id.toString(QUuid::WithoutBraces)},
                {QStringLiteral("time"), Utc(c.time)},
                {QStringLiteral("operator"), c.operatorName},
                {QStringLiteral("station"), c.station}};
  AddTester(row, c.tester);
  row.insert(row.end(), {{QStringLiteral("action"), c.action},
                         {QStringLiteral("agreed"), c.agreed},
                         {QStringLiteral("version"), c.version},
                         {QStringLiteral("sent"), c.sent},
                         {QStringLiteral("programs_sent"), Programs(c.programsSent)},
                         {QStringLiteral("programs_echoed"), Programs(c.programsEchoed)}});
  return row;
}

QByteArray CsvHeader(const RecordRow& row) {
  QByteArray line;
  for (const auto& [name, value] : row) line += (line.isEmpty() ? "" : ",") + name.toUtf8();
  return line + '\n';
}

QByteArray CsvLine(const RecordRow& row) {
  QByteArray line;
  bool first = true;
  for (const auto& [name, value] : row) {
    if (!first) line += ',';
    first = false;
    line += CsvCell(Plain(value));
  }
  return line + '\n';
}
