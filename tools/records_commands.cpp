#include <QSaveFile>

#include <algorithm>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "config_files/file_access.h"
#include "records/record_pages.h"
#include "records/record_row.h"
#include "records/record_store.h"
#include "tools/command_context.h"
#include "tools/json_text.h"
#include "tools/record_keeping.h"

namespace {

QString Utc(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }

QString JsonLine(const RecordRow& row);

// A change's programs are rows of their own.
QString JsonValue(const QVariant& value) {
  if (value.metaType() != QMetaType::fromType<RecordRows>()) return json_text::Value(value);
  QStringList items;
  for (const RecordRow& row : value.value<RecordRows>()) items << JsonLine(row);
  return json_text::Array(items);
}

QString JsonLine(const RecordRow& row) {
  std::vector<std::pair<QString, QString>> members;
  for (const auto& [name, value] : row) members.emplace_back(name, JsonValue(value));
  return json_text::Object(members);
}

// A figure as the stats table shows it: nothing for null.
QString Plain(const QVariant& value) {
  if (value.isNull()) return {};
  if (value.typeId() == QMetaType::Double) return OhmsText(value.toDouble());
  return value.toString();
}

CommandResult Unread(const QString& where, const QString& error) {
  return CommandResult::Failure(
      ExitStatus::FileFailure,
      QStringLiteral("Cannot read the records in %1: %2").arg(where, error));
}

// Every record `each` reads from the store, as CSV to --csv FILE ("-": standard output), the
// file replaced only once complete. `header` names the columns.
CommandResult WriteCsv(
    const CommandContext& context, RecordStore& store, const RecordRow& header,
    const std::function<QString(const std::function<QString(const RecordRow&)>&)>& each) {
  const QString& name = context.options.csvFile;
  const auto failed = [&name](const QString& why) {
    return CommandResult::Failure(
        ExitStatus::FileFailure,
        QStringLiteral("The records could not be written to %1: %2").arg(name, why));
  };
  const bool toStream = name == file_access::kStandardStream;
  QSaveFile file(name);
  if (!toStream && !file.open(QIODevice::WriteOnly)) return failed(file.errorString());
  QString writeError;
  const auto write = [&](const QByteArray& line) {
    if (toStream) {
      context.out << QString::fromUtf8(line);
    } else if (file.write(line) < 0) {
      writeError = file.errorString();
    }
    return writeError;
  };
  write(CsvHeader(header));
  const QString error = writeError.isEmpty()
                            ? each([&write](const RecordRow& row) { return write(CsvLine(row)); })
                            : QString();
  if (!writeError.isEmpty()) return failed(writeError);
  if (!error.isEmpty()) return Unread(store.Where(), error);
  if (!toStream && !file.commit()) return failed(file.errorString());
  return {};
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

// The newest --limit records of a listing (all for 0). When the page is full, standard error
// says how many of how many the filter takes, and how to see them all.
template <typename Record>
Fetched<Record> NewestPage(const CommandContext& context, RecordStore& store,
                           const RecordFilter& filter, bool runs) {
  const int limit = context.options.limit;
  Fetched<Record> page;
  if constexpr (std::is_same_v<Record, RunRecord>) {
    page = store.Runs(filter, limit > 0 ? limit : -1);
  } else {
    page = store.Changes(filter, limit > 0 ? limit : -1);
  }
  if (!page.ok() || limit <= 0 || static_cast<qsizetype>(page.items.size()) < limit) return page;
  const Fetched<qint64> count = runs ? store.RunCount(filter) : store.ChangeCount(filter);
  if (!count.ok()) return {{}, count.error};
  if (count.items.front() > limit) {
    context.err << QStringLiteral(
                       "veld32ctl: showing the newest %1 of %2 %3; --limit=0 lists all, --csv "
                       "FILE writes all")
                       .arg(limit)
                       .arg(count.items.front())
                       .arg(runs ? QStringLiteral("records") : QStringLiteral("changes"))
                << '\n';
  }
  return page;
}

CommandResult ListRuns(const CommandContext& context, RecordStore& store) {
  const RecordFilter filter = FilterOf(context.options);
  if (!context.options.csvFile.isEmpty()) {
    return WriteCsv(context, store, RunRow({}), [&](const auto& write) {
      return EachRun(store, filter, [&write](const RunRecord& run) { return write(RunRow(run)); });
    });
  }
  const Fetched<RunRecord> runs = NewestPage<RunRecord>(context, store, filter, true);
  if (!runs.ok()) return Unread(store.Where(), runs.error);
  if (context.options.json) {
    for (const RunRecord& run : runs.items) context.out << JsonLine(RunRow(run)) << '\n';
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
    const RecordRow row{{QStringLiteral("program"), s.program},
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
  const RecordFilter filter = FilterOf(context.options);
  if (!context.options.csvFile.isEmpty()) {
    return WriteCsv(context, store, ChangeRow({}), [&](const auto& write) {
      return EachChange(store, filter,
                        [&write](const ProgramChange& change) { return write(ChangeRow(change)); });
    });
  }
  const Fetched<ProgramChange> changes = NewestPage<ProgramChange>(context, store, filter, false);
  if (!changes.ok()) return Unread(store.Where(), changes.error);
  std::vector<QStringList> lines;
  for (const ProgramChange& c : changes.items) {
    if (context.options.json) {
      context.out << JsonLine(ChangeRow(c)) << '\n';
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
