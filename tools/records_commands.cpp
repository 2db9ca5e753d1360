#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <utility>
#include <vector>

#include "config_files/file_access.h"
#include "records/record_store.h"
#include "tester/run_record.h"
#include "tools/command_context.h"
#include "tools/json_text.h"
#include "tools/program_summary.h"
#include "tools/record_keeping.h"

namespace {

// One record as named values, in the order of its JSON members and CSV columns.
using Row = std::vector<std::pair<QString, QVariant>>;

QString Utc(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }

void AddTester(Row& row, const TesterFacts& tester) {
  row.insert(row.end(), {{QStringLiteral("usb_serial"), tester.usbSerial},
                         {QStringLiteral("tester_serial"), tester.testerSerial},
                         {QStringLiteral("firmware"), tester.firmware},
                         {QStringLiteral("calibrated"), tester.calibrated},
                         {QStringLiteral("calibration_overdue"), tester.calibrationOverdue}});
}

Row RunRow(const RunRecord& r) {
  Row row{{QStringLiteral("id"), r.id.toString(QUuid::WithoutBraces)},
          {QStringLiteral("started"), Utc(r.started)},
          {QStringLiteral("ended"), Utc(r.ended)},
          {QStringLiteral("dut"), r.dut},
          {QStringLiteral("operator"), r.operatorName},
          {QStringLiteral("station"), r.station}};
  AddTester(row, r.tester);
  row.emplace_back(QStringLiteral("program"), int{r.settings.number});
  for (auto& value : SettingsValues(r.settings)) row.push_back(std::move(value));
  row.insert(row.end(),
             {{QStringLiteral("impedance_ohms"),
               r.impedanceOhms ? QVariant(*r.impedanceOhms) : QVariant()},
              {QStringLiteral("verdict"), RunOutcomeName(r.outcome)},
              {QStringLiteral("error"), r.errorText.isEmpty() ? QVariant() : r.errorText},
              {QStringLiteral("version"), r.version},
              {QStringLiteral("sent"), r.sent}});
  return row;
}

QString ProgramsJson(const std::vector<ProgramSettings>& programs) {
  QStringList items;
  for (const ProgramSettings& p : programs) {
    std::vector<std::pair<QString, QString>> members{
        {QStringLiteral("program"), json_text::Integer(p.number)}};
    for (const auto& [name, value] : SettingsValues(p))
      members.emplace_back(name, json_text::Value(value));
    items << json_text::Object(members);
  }
  return json_text::Array(items);
}

std::vector<std::pair<QString, QString>> JsonMembers(const Row& row) {
  std::vector<std::pair<QString, QString>> members;
  for (const auto& [name, value] : row) members.emplace_back(name, json_text::Value(value));
  return members;
}

QString JsonLine(const Row& row) { return json_text::Object(JsonMembers(row)); }

// A value as the table and CSV show it: nothing for null.
QString Plain(const QVariant& value) {
  if (value.isNull()) return {};
  if (value.typeId() == QMetaType::Double) return OhmsText(value.toDouble());
  if (value.typeId() == QMetaType::Bool) return value.toBool() ? "true" : "false";
  return value.toString();
}

QByteArray CsvText(const std::vector<Row>& rows, const Row& names) {
  QByteArray text;
  for (const auto& [name, value] : names) text += (text.isEmpty() ? "" : ",") + name.toUtf8();
  text += '\n';
  for (const Row& row : rows) {
    QByteArray line;
    for (const auto& [name, value] : row)
      line += (line.isEmpty() ? "" : ",") + CsvCell(Plain(value));
    text += line + '\n';
  }
  return text;
}

// The CSV to --csv FILE, replacing it only once complete ("-": standard output).
CommandResult WriteCsv(const CommandContext& context, const QByteArray& text) {
  const QString& name = context.options.csvFile;
  if (name == file_access::kStandardStream) {
    context.out << QString::fromUtf8(text);
    return {};
  }
  QSaveFile file(name);
  if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
    return {};
  return CommandResult::Failure(
      ExitStatus::FileFailure,
      QStringLiteral("The records could not be written to %1: %2").arg(name, file.errorString()));
}

// Aligned columns under a header, two blanks apart; line breaks in a value become blanks.
void PrintTable(const CommandContext& context, const QStringList& header,
                const std::vector<QStringList>& lines) {
  std::vector<qsizetype> widths;
  for (const QString& caption : header) widths.push_back(caption.size());
  std::vector<QStringList> cleaned;
  for (QStringList line : lines) {
    for (qsizetype i = 0; i < line.size(); ++i) {
      for (QChar& c : line[i]) {
        if (c.category() == QChar::Other_Control) c = u' ';
      }
      widths[i] = std::max(widths[i], line[i].size());
    }
    cleaned.push_back(line);
  }
  cleaned.insert(cleaned.begin(), header);
  for (const QStringList& line : cleaned) {
    QString text;
    for (qsizetype i = 0; i < line.size(); ++i) text += line[i].leftJustified(widths[i] + 2);
    while (text.endsWith(u' ')) text.chop(1);
    context.out << text << '\n';
  }
}

RecordFilter FilterOf(const CtlOptions& options) {
  RecordFilter filter;
  filter.since = options.since;
  filter.until = options.until;
  filter.dutPrefix = options.dut;
  filter.tester = options.tester;
  if (options.stationGiven) filter.station = options.station;
  filter.program = options.program;
  if (!options.verdict.isEmpty()) filter.outcome = RunOutcomeFromName(options.verdict);
  return filter;
}

CommandResult Unread(const QString& where, const QString& error) {
  return CommandResult::Failure(
      ExitStatus::FileFailure,
      QStringLiteral("Cannot read the records in %1: %2").arg(where, error));
}

CommandResult ListRuns(const CommandContext& context, RecordStore& store) {
  const Fetched<RunRecord> runs = store.Runs(FilterOf(context.options));
  if (!runs.ok()) return Unread(store.Where(), runs.error);
  std::vector<Row> rows;
  for (const RunRecord& run : runs.items) rows.push_back(RunRow(run));
  if (!context.options.csvFile.isEmpty()) return WriteCsv(context, CsvText(rows, RunRow({})));
  if (context.options.json) {
    for (const Row& row : rows) context.out << JsonLine(row) << '\n';
    return {};
  }
  std::vector<QStringList> lines;
  for (const RunRecord& r : runs.items) {
    lines.push_back({Utc(r.started), r.dut, QString::number(r.settings.number),
                     r.impedanceOhms ? OhmsText(*r.impedanceOhms) : QStringLiteral("-"),
                     RunOutcomeName(r.outcome), r.tester.testerSerial, r.station, r.operatorName,
                     r.sent ? QString() : QStringLiteral("not sent")});
  }
  PrintTable(context,
             {QStringLiteral("Started"), QStringLiteral("DUT"), QStringLiteral("Program"),
              QStringLiteral("Impedance Ω"), QStringLiteral("Verdict"), QStringLiteral("Tester"),
              QStringLiteral("Station"), QStringLiteral("Operator"), QString()},
             lines);
  return {};
}

CommandResult ShowStats(const CommandContext& context, RecordStore& store) {
  const Fetched<ProgramStats> stats = store.Stats(FilterOf(context.options));
  if (!stats.ok()) return Unread(store.Where(), stats.error);
  const auto ohms = [](const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant();
  };
  std::vector<QStringList> lines;
  for (const ProgramStats& s : stats.items) {
    const Row row{{QStringLiteral("program"), s.program},
                  {QStringLiteral("count"), s.count},
                  {QStringLiteral("pass_rate"), s.passRate},
                  {QStringLiteral("min_ohms"), ohms(s.minOhms)},
                  {QStringLiteral("median_ohms"), ohms(s.medianOhms)},
                  {QStringLiteral("max_ohms"), ohms(s.maxOhms)}};
    if (context.options.json) {
      context.out << JsonLine(row) << '\n';
      continue;
    }
    QStringList line;
    for (const auto& [name, value] : row) line << Plain(value);
    line[2] = QString::number(s.passRate * 100, 'f', 1) + QStringLiteral(" %");
    for (qsizetype i = 3; i < line.size(); ++i)
      if (line[i].isEmpty()) line[i] = QStringLiteral("-");
    lines.push_back(line);
  }
  if (!context.options.json) {
    PrintTable(context,
               {QStringLiteral("Program"), QStringLiteral("Runs"), QStringLiteral("Passed"),
                QStringLiteral("Min Ω"), QStringLiteral("Median Ω"), QStringLiteral("Max Ω")},
               lines);
  }
  return {};
}

CommandResult SyncRecords(const CommandContext& context, RecordStore& store) {
  int sent = 0;
  const StoreResult synced = store.Sync(&sent);
  if (synced.outcome != StoreOutcome::Stored)
    return CommandResult::Failure(ExitStatus::FileFailure,
                                  QStringLiteral("Records not sent: ") + synced.message);
  context.out << QStringLiteral("%1 records sent to %2").arg(sent).arg(store.Where()) << '\n';
  return {};
}

}  // namespace

CommandResult ListRecords(const CommandContext& context) {
  const CtlStore opened = OpenCtlStore(context.options);
  if (!opened.result.Ok()) return opened.result;
  const QString& action = context.options.recordsAction;
  if (action == QLatin1String("stats")) return ShowStats(context, *opened.store);
  if (action == QLatin1String("sync")) return SyncRecords(context, *opened.store);
  return ListRuns(context, *opened.store);
}

CommandResult ListProgramChanges(const CommandContext& context) {
  const CtlStore opened = OpenCtlStore(context.options);
  if (!opened.result.Ok()) return opened.result;
  RecordStore& store = *opened.store;
  const Fetched<ProgramChange> changes = store.Changes(FilterOf(context.options));
  if (!changes.ok()) return Unread(store.Where(), changes.error);
  std::vector<QStringList> lines;
  for (const ProgramChange& c : changes.items) {
    if (context.options.json) {
      Row row{{QStringLiteral("id"), c.id.toString(QUuid::WithoutBraces)},
              {QStringLiteral("time"), Utc(c.time)},
              {QStringLiteral("operator"), c.operatorName},
              {QStringLiteral("station"), c.station}};
      AddTester(row, c.tester);
      row.insert(row.end(), {{QStringLiteral("action"), c.action},
                             {QStringLiteral("agreed"), c.agreed},
                             {QStringLiteral("version"), c.version},
                             {QStringLiteral("sent"), c.sent}});
      auto members = JsonMembers(row);
      members.emplace_back(QStringLiteral("programs_sent"), ProgramsJson(c.programsSent));
      members.emplace_back(QStringLiteral("programs_echoed"), ProgramsJson(c.programsEchoed));
      context.out << json_text::Object(members) << '\n';
      continue;
    }
    lines.push_back({Utc(c.time), c.action,
                     c.agreed ? QStringLiteral("agreed") : QStringLiteral("not agreed"),
                     c.tester.testerSerial, c.station, c.operatorName,
                     c.sent ? QString() : QStringLiteral("not sent")});
  }
  if (!context.options.json) {
    PrintTable(context,
               {QStringLiteral("Time"), QStringLiteral("Action"), QStringLiteral("Echo"),
                QStringLiteral("Tester"), QStringLiteral("Station"), QStringLiteral("Operator"),
                QString()},
               lines);
  }
  return {};
}
