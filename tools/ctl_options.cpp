#include "tools/ctl_options.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTimeZone>

#include <limits>
#include <utility>

#include "backends/option_parser.h"
#include "config_files/file_access.h"
#include "config_files/file_names.h"
#include "config_files/program_files.h"
#include "tools/ctl_commands.h"
#include "tools/plain_number.h"

namespace {

CommandResult UsageError(const QString& reason) {
  return CommandResult::Failure(ExitStatus::Usage, reason);
}

// The number of "--name=N" when it lies within minimum..maximum.
std::optional<int> BoundedNumber(const QString& text, int minimum, int maximum) {
  const std::optional<qint64> value = PlainNumber(text);
  if (!value || *value < minimum || *value > maximum) return std::nullopt;
  return static_cast<int>(*value);
}

// The file a name reaches, links and "." or ".." resolved, for a file that exists or not.
QString FileIdentity(const QString& name) {
  const QFileInfo info(name);
  if (const QString canonical = info.canonicalFilePath(); !canonical.isEmpty()) return canonical;
  const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
  return (folder.isEmpty() ? info.absolutePath() : folder) + u'/' + info.fileName();
}

// Each simulated tester keeps its programs in a file of its own: one file for two testers would
// wait for its own lock, and standard input cannot be written back.
QString StateFileProblem(const SimulateArguments& simulate) {
  if (simulate.withState.contains(QStringLiteral("--simulate="))) {
    return QStringLiteral("--simulate= needs a STATE file");
  }
  const QStringList& states = simulate.states;
  for (qsizetype i = 0; i < states.size(); ++i) {
    if (states[i] == file_access::kStandardStream) {
      return QStringLiteral("--simulate=- : STATE must be a file, not standard input");
    }
    for (qsizetype j = 0; j < i; ++j) {
      if (!states[i].isEmpty() && !states[j].isEmpty() &&
          FileIdentity(states[i]) == FileIdentity(states[j])) {
        return QStringLiteral(
                   "--simulate=%1 and --simulate=%2 name the same STATE file; give "
                   "each simulated tester its own")
            .arg(states[j], states[i]);
      }
    }
  }
  return {};
}

// An option's name for the parser: its usage name without the dashes.
QString ParserName(const QString& option) {
  return QString(option).remove(QRegularExpression("^-+"));
}

// The one-valued options of the production records, with the message for a missing value.
const std::pair<const char*, const char*> kRecordOptions[] = {
    {"--records", "--records needs a PATH or postgresql://USER@HOST[:PORT]/DB"},
    {"--dut", "--dut needs the id of the unit under test"},
    {"--operator", "--operator needs a NAME"},
    {"--station", "--station needs a NAME"},
    {"--calibration-interval", "--calibration-interval needs a number of months from 1 to 1200"},
    {"--since", "--since needs a date or time (2025-03-01 or 2025-03-01T08:00:00Z)"},
    {"--until", "--until needs a date or time (2025-03-01 or 2025-03-01T08:00:00Z)"},
    {"--tester", "--tester needs the tester's serial number"},
    {"--limit", "--limit needs a number of records, 0 for all"},
    {"--verdict",
     "--verdict needs pass, fail, \"between limits\", \"no reading\", stopped "
     "or error"}};

// The tool's own options. Those of a single command are named by its row.
void AddToolOptions(OptionParser& parser) {
  const auto flag = [&parser](const QStringList& names) { parser.Add(QCommandLineOption(names)); };
  const auto valued = [&parser](const QString& name, const QString& missingValue) {
    parser.Add(QCommandLineOption(name, {}, QStringLiteral("VALUE")), missingValue);
  };
  flag({QStringLiteral("h"), QStringLiteral("help")});
  for (const char* name : {"json", "verbose", "all", "lenient", "yes"}) flag({QLatin1String(name)});
  valued(QStringLiteral("o"), QStringLiteral("Option -o needs a FILE"));
  valued(QStringLiteral("csv"), QStringLiteral("Option --csv needs a FILE"));
  valued(QStringLiteral("device"), QStringLiteral("--device needs a USB serial number or index"));
  valued(QStringLiteral("program"), QStringLiteral("--program needs a program number 1, 2 or 3"));
  valued(QStringLiteral("interval"),
         QStringLiteral("--interval needs milliseconds from 1 to 32767"));
  valued(QStringLiteral("timeout"),
         QStringLiteral("--timeout needs a positive number of milliseconds"));
  for (const auto& [name, missing] : kRecordOptions) valued(QLatin1String(name + 2), missing);
}

// What a record option's value must be, for its usage error.
QString Needs(const char* option) {
  for (const auto& [known, needs] : kRecordOptions) {
    if (qstrcmp(known, option) == 0) return QLatin1String(needs);
  }
  return {};
}

// A moment of --since or --until (both inclusive): an ISO 8601 time (UTC unless it names its
// offset), or a day, which --since takes from its start and --until to its end.
std::optional<QDateTime> Moment(const QString& text, bool endOfDay) {
  const QDate day = QDate::fromString(text, Qt::ISODate);
  if (day.isValid())
    return QDateTime(day, endOfDay ? QTime(23, 59, 59, 999) : QTime(0, 0), QTimeZone::utc());
  QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
  if (!time.isValid()) return std::nullopt;
  if (time.timeSpec() == Qt::LocalTime) time.setTimeZone(QTimeZone::utc());
  return time.toUTC();
}

class LineParser {
 public:
  LineParser(const OptionParser& parser, CtlOptions& options)
      : parser_(parser), options_(options) {}

  // The values of the tool's own options; false with result_ set on the first not understood.
  bool TakeOptions() {
    QStringList once{"-o", "--device", "--program", "--csv"};
    for (const auto& option : kRecordOptions) once << QLatin1String(option.first);
    for (const QString& name : once) {
      // An option that takes one value may be given once: a second one would silently win.
      if (parser_.Values(ParserName(name)).size() > 1)
        return Fail(QStringLiteral("Option %1 is given twice").arg(name));
    }
    help_ = parser_.IsSet(QStringLiteral("help"));
    options_.json = parser_.IsSet(QStringLiteral("json"));
    options_.verbose = parser_.IsSet(QStringLiteral("verbose"));
    options_.all = parser_.IsSet(QStringLiteral("all"));
    options_.lenient = parser_.IsSet(QStringLiteral("lenient"));
    options_.yes = parser_.IsSet(QStringLiteral("yes"));
    outputGiven_ = parser_.IsSet(QStringLiteral("o"));
    options_.outputFile = parser_.Values(QStringLiteral("o")).value(0);
    if (parser_.IsSet(QStringLiteral("device"))) {
      options_.device = parser_.Values(QStringLiteral("device")).front();
      if (options_.device.isEmpty())
        return Fail(QStringLiteral("--device needs a USB serial number or index"));
    }
    if (parser_.IsSet(QStringLiteral("csv"))) {
      options_.csvFile = parser_.Values(QStringLiteral("csv")).front();
      if (options_.csvFile.isEmpty()) return Fail(QStringLiteral("Option --csv needs a FILE"));
    }
    if (parser_.IsSet(QStringLiteral("program"))) {
      options_.program = BoundedNumber(parser_.Values(QStringLiteral("program")).front(), 1, 3);
      if (!options_.program)
        return Fail(QStringLiteral("--program needs a program number 1, 2 or 3"));
    }
    if (!TakeRecordOptions()) return false;
    for (const QString& value : parser_.Values(QStringLiteral("interval"))) {
      const auto ms = BoundedNumber(value, 1, std::numeric_limits<qint16>::max());
      if (!ms) return Fail(QStringLiteral("--interval needs milliseconds from 1 to 32767"));
      options_.intervalMs = static_cast<qint16>(*ms);
    }
    for (const QString& value : parser_.Values(QStringLiteral("timeout"))) {
      const auto ms = BoundedNumber(value, 1, std::numeric_limits<int>::max());
      if (!ms) return Fail(QStringLiteral("--timeout needs a positive number of milliseconds"));
      options_.timeoutMs = *ms;
      options_.timeoutGiven = true;
    }
    return true;
  }

  // Checks the command and its arguments against the usage: the facts of its row.
  bool TakeCommand() {
    if (help_) return true;
    QStringList words = parser_.PositionalArguments();
    if (words.isEmpty()) return Fail(QStringLiteral("No command given"));
    const CtlCommand* command = FindCtlCommand(words.front());
    if (!command) return Fail(QStringLiteral("Unknown command '%1'").arg(words.front()));
    options_.command = command;
    const QString name = words.takeFirst();
    if (command->takesFile) {
      if (words.isEmpty()) return Fail(QStringLiteral("Command %1 needs a FILE").arg(name));
      options_.file = words.takeFirst();
    }
    if (command->takeWords) {
      if (const QString error = command->takeWords(words, options_); !error.isEmpty())
        return Fail(error);
    }
    if (!words.isEmpty()) {
      return Fail(QStringLiteral("Unexpected argument '%1' after %2").arg(words.front(), name));
    }
    QStringList own{"-o", "--lenient", "--program", "--csv", "--yes"};
    for (const auto& option : kRecordOptions) own << QLatin1String(option.first);
    for (const QString& option : own) {
      if (!parser_.IsSet(ParserName(option)) || command->options.contains(option)) continue;
      return Fail(QStringLiteral("Option %1 belongs to %2")
                      .arg(option, CommandNames([&option](const CtlCommand& c) {
                             return c.options.contains(option);
                           })));
    }
    if (outputGiven_ && options_.outputFile.isEmpty()) {
      return Fail(QStringLiteral("Option -o needs a FILE, or - for standard output"));
    }
    if (outputGiven_ && options_.all && options_.outputFile == file_access::kStandardStream) {
      return Fail(
          QStringLiteral("download --all saves one file per tester: -o needs a folder, "
                         "not - (standard output)"));
    }
    if (outputGiven_ && program_files::IsSingleProgramFile(options_.outputFile)) {
      return Fail(QStringLiteral("download writes all three programs: '%1' names a "
                                 "single-program file (.vsp); give an all-programs file (.vap)")
                      .arg(options_.outputFile));
    }
    if (options_.program && command->takesFile &&
        !program_files::IsSingleProgramFile(options_.file)) {
      return Fail(QStringLiteral("Option --program applies to a single-program file (.vsp)"));
    }
    return TakeTesterChoice(*command);
  }

  CommandResult Result() const { return result_; }

 private:
  // The value of `option` (one of kRecordOptions) if given: false when given empty.
  bool RecordValue(const char* option, QString& value) {
    const QString name = QLatin1String(option + 2);
    if (!parser_.IsSet(name)) return true;
    value = parser_.Values(name).front();
    return !value.trimmed().isEmpty() || Fail(Needs(option));
  }

  bool TakeRecordOptions() {
    QString months, since, until, limit;
    if (!RecordValue("--records", options_.records) || !RecordValue("--dut", options_.dut) ||
        !RecordValue("--operator", options_.operatorName) ||
        !RecordValue("--station", options_.station) ||
        !RecordValue("--calibration-interval", months) || !RecordValue("--since", since) ||
        !RecordValue("--until", until) || !RecordValue("--tester", options_.tester) ||
        !RecordValue("--verdict", options_.verdict) || !RecordValue("--limit", limit))
      return false;
    options_.stationGiven = !options_.station.isEmpty();
    if (!options_.stationGiven) options_.station = QSysInfo::machineHostName();
    if (!months.isEmpty()) {
      const auto value = BoundedNumber(months, 1, 1200);
      if (!value) return Fail(Needs("--calibration-interval"));
      options_.calibrationIntervalMonths = *value;
    }
    if (!limit.isEmpty()) {
      const auto value = BoundedNumber(limit, 0, std::numeric_limits<int>::max());
      if (!value) return Fail(Needs("--limit"));
      options_.limit = *value;
      if (!options_.csvFile.isEmpty())
        return Fail(QStringLiteral(
            "Options --limit and --csv exclude each other: --csv writes every record the "
            "filters take"));
    }
    if (!since.isEmpty() && !(options_.since = Moment(since, false))) return Fail(Needs("--since"));
    if (!until.isEmpty() && !(options_.until = Moment(until, true))) return Fail(Needs("--until"));
    return true;
  }

  // --device and --all choose among the testers for the commands that connect to one.
  bool TakeTesterChoice(const CtlCommand& command) {
    if (options_.all && !options_.device.isEmpty()) {
      return Fail(QStringLiteral("Options --all and --device exclude each other"));
    }
    if (options_.all && !command.everyTester) {
      return Fail(
          QStringLiteral("Option --all belongs to %1").arg(CommandNames([](const CtlCommand& c) {
            return c.everyTester;
          })));
    }
    if (!options_.device.isEmpty() && !command.oneTester) {
      return Fail(
          QStringLiteral("Option --device belongs to %1").arg(CommandNames([](const CtlCommand& c) {
            return c.oneTester;
          })));
    }
    return true;
  }

  bool Fail(const QString& reason) {
    result_ = UsageError(reason);
    return false;
  }

  const OptionParser& parser_;
  CtlOptions& options_;
  bool help_ = false;
  bool outputGiven_ = false;
  CommandResult result_;
};

}  // namespace

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
  ParsedCommandLine parsed;
  const SimulateArguments simulate = TakeSimulateOptions(arguments);
  if (const QString refused = StateFileProblem(simulate); !refused.isEmpty()) {
    parsed.result = UsageError(refused);
    return parsed;
  }
  OptionParser parser;
  AddToolOptions(parser);
  AddBackendOptions(parser);
  AddSimulationOptions(parser);
  if (!parser.Parse(simulate.remaining)) {
    parsed.result = UsageError(parser.Error());
    return parsed;
  }
  const SimulationArguments simulation = ReadSimulationOptions(parser);
  const BackendChoice backend = ReadBackendOptions(parser, simulate, file_names::ToBytes);
  for (const QString& error : {simulation.error, backend.error}) {
    if (error.isEmpty()) continue;
    parsed.result = UsageError(error);
    return parsed;
  }
  parsed.options.simulation = simulation.options;
  parsed.options.backend = backend.options;
  QStringList states = simulate.states;
  if (!states.isEmpty()) parsed.options.stateFile = states.takeFirst();
  parsed.options.moreStateFiles = states;

  LineParser line(parser, parsed.options);
  if (!line.TakeOptions() || !line.TakeCommand()) parsed.result = line.Result();
  return parsed;
}

QString UsageText() {
  return QStringLiteral(
             "Usage: veld32ctl [OPTION]... COMMAND [ARGS]\n"
             "Configure and check a VELD32 electrode tester from the command line.\n\n"
             "Commands:\n"
             "  list                       the attached FTDI devices with their USB serial "
             "numbers; "
             "* marks the one\n"
             "                             a connection would open\n"
             "  info                       the tester's firmware version, serial number and "
             "calibration date\n"
             "  download [-o FILE]         the tester's three programs; with -o saved as an "
             "all-programs file\n"
             "                             (-o - writes that file to standard output)\n"
             "  upload FILE [--program=N]  load FILE (.vap, or .vsp into program N, default 1), "
             "upload all three\n"
             "                             programs and verify the tester's replies; nothing is "
             "sent if a key\n"
             "                             of FILE is missing, not a number or refused\n"
             "  show FILE                  the programs of FILE as the editor would load them, "
             "with a warning\n"
             "                             for every key not applied; FILE - reads standard input "
             "(upload\n"
             "                             and check too)\n"
             "  check FILE                 like show; exit status 1 if a key is not applied or a "
             "pass limit\n"
             "                             is not below its fail limit\n"
             "  run N [--csv FILE]         run test program N (1..3) and judge the impedance by "
             "the tester's\n"
             "                             limits; exit status 0 pass, 1 fail, between limits or "
             "no reading;\n"
             "                             --csv appends the result to FILE\n"
             "  service set-serial N | set-calibration-date YYYY-MM-DD | adjust-current LEVEL "
             "up|down\n"
             "                             write to the tester (only with --yes) and read the "
             "value back\n"
             "  records [stats|sync]       the runs kept, newest first; stats: count, pass rate "
             "and impedance\n"
             "                             min/median/max per program; sync: send the records "
             "waiting for the\n"
             "                             server. Filters: --since=WHEN --until=WHEN --dut=PREFIX "
             "--tester=SERIAL\n"
             "                             --station=NAME --program=N --verdict=VERDICT; "
             "--limit=N lists the\n"
             "                             newest N (default 100, 0 all); --csv FILE (- standard "
             "output) writes\n"
             "                             the whole filtered set\n"
             "  history                    the changes of the testers' programs (uploads, "
             "service), "
             "newest first;\n"
             "                             filters --since --until --tester --station; --limit=N "
             "and --csv FILE\n"
             "                             as for records\n\n"
             "Options:\n"
             "  --simulate[=STATE]      talk to the built-in simulated tester; its programs are "
             "kept in STATE;\n"
             "                          each further --simulate adds one more tester (SIM0001, "
             "SIM0002, ...)\n"
             "  --device=SELECTOR       the tester with this USB serial number, or at this index "
             "of list\n"
             "  --all                   info, download or upload on every attached tester at once, "
             "one line each;\n"
             "                          download --all -o DIR/ saves one file per tester, named by "
             "its USB serial\n"
             "%1"
             "  --interval=MS           polling interval (default 500)\n"
             "  --timeout=MS            longest wait for each expected reply (default 5000; "
             "for run's\n"
             "                          result the program's duration plus 30 s)\n"
             "  --json                  print JSON instead of a table\n"
             "  --verbose               print frames and status lines on standard error\n"
             "  --lenient               upload and check: keys of FILE not applied are only "
             "warnings\n"
             "  --help                  show this help and exit\n"
             "  --yes                   let service write to the tester\n"
             "  --records=PATH|postgresql://USER@HOST[:PORT]/DB\n"
             "                          where run, upload and service keep their records and "
             "records and\n"
             "                          history read them (else $VELD32_RECORDS, else a SQLite "
             "file in the\n"
             "                          user's data folder)\n"
             "  --dut=ID --operator=NAME --station=NAME\n"
             "                          the unit under test (run), who works, and the bench "
             "(default the\n"
             "                          host name) for the records\n"
             "  --calibration-interval=MONTHS\n"
             "                          warn of a tester whose calibration is older and mark its "
             "records\n\n"
             "Exit status: 0 success, 1 a key of FILE not applied, a pass limit not below its "
             "fail\n"
             "limit, an upload not confirmed, a test not passed or a value not held, 2 usage "
             "(also\n"
             "service without --yes), 3 no tester found, 4 link failure or reply time-out, 5 "
             "file or\nrecords database error, 130 a run stopped by Ctrl-C (SIGINT) or SIGTERM "
             "(its record\nkept as stopped).\n")
      .arg(QString::fromStdString(BackendOptionsHelp()).section(u'\n', 1) +
           QString::fromStdString(SimulationOptionsHelp()));
}
