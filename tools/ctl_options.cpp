#include "tools/ctl_options.h"

#include <QFileInfo>

#include <limits>
#include <map>

#include "config_files/file_access.h"
#include "config_files/file_names.h"
#include "tools/plain_number.h"

namespace {

const QString kSimulateWithState = QStringLiteral("--simulate=");

const std::map<QString, CtlCommand>& Commands() {
  static const std::map<QString, CtlCommand> commands = {
      {QStringLiteral("list"), CtlCommand::List},
      {QStringLiteral("info"), CtlCommand::Info},
      {QStringLiteral("download"), CtlCommand::Download},
      {QStringLiteral("upload"), CtlCommand::Upload},
      {QStringLiteral("show"), CtlCommand::Show},
      {QStringLiteral("check"), CtlCommand::Check},
      {QStringLiteral("run"), CtlCommand::Run},
      {QStringLiteral("service"), CtlCommand::Service},
  };
  return commands;
}

CommandResult UsageError(const QString& reason) {
  return CommandResult::Failure(ExitStatus::Usage, reason);
}

// The number of "--name=N" when it lies within minimum..maximum.
std::optional<int> BoundedNumber(const QString& text, int minimum, int maximum) {
  const std::optional<qint64> value = PlainNumber(text);
  if (!value || *value < minimum || *value > maximum) return std::nullopt;
  return static_cast<int>(*value);
}

// A word that starts like a negative number is a value, not an option ("set-serial -1").
bool IsOption(const QString& argument) {
  return argument.size() > 1 && argument.startsWith(u'-') && !argument[1].isDigit();
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
QString StateFileProblem(const QStringList& states) {
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

class LineParser {
 public:
  explicit LineParser(CtlOptions& options) : options_(options) {}

  // Takes the tool's own options and the words of the command; false with result_ set on the
  // first thing not understood.
  bool Take(const QStringList& arguments) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
      const QString& argument = arguments[i];
      if (argument == QLatin1String("-o")) {
        if (++i == arguments.size()) return Fail(QStringLiteral("Option -o needs a FILE"));
        if (!Once(argument)) return false;
        options_.outputFile = arguments[i];
        outputGiven_ = true;
      } else if (argument == QLatin1String("--csv")) {
        if (++i == arguments.size()) return Fail(QStringLiteral("Option --csv needs a FILE"));
        if (!Once(argument)) return false;
        options_.csvFile = arguments[i];
      } else if (IsOption(argument)) {
        if (!TakeOption(argument)) return false;
      } else {
        words_ << argument;
      }
    }
    return true;
  }

  // Checks the command and its arguments against the usage.
  bool Finish() {
    if (help_) {
      options_.command = CtlCommand::Help;
      return true;
    }
    if (words_.isEmpty()) return Fail(QStringLiteral("No command given"));
    const auto command = Commands().find(words_.front());
    if (command == Commands().end()) {
      return Fail(QStringLiteral("Unknown command '%1'").arg(words_.front()));
    }
    options_.command = command->second;
    const QString name = words_.takeFirst();
    const bool takesFile = options_.command == CtlCommand::Upload ||
                           options_.command == CtlCommand::Show ||
                           options_.command == CtlCommand::Check;
    if (takesFile) {
      if (words_.isEmpty()) return Fail(QStringLiteral("Command %1 needs a FILE").arg(name));
      options_.file = words_.takeFirst();
    }
    if (!TakeTesterCommandWords()) return false;
    if (!words_.isEmpty()) {
      return Fail(QStringLiteral("Unexpected argument '%1' after %2").arg(words_.front(), name));
    }
    if (outputGiven_ && options_.command != CtlCommand::Download) {
      return Fail(QStringLiteral("Option -o belongs to download"));
    }
    if (options_.lenient && options_.command != CtlCommand::Upload &&
        options_.command != CtlCommand::Check) {
      return Fail(QStringLiteral("Option --lenient belongs to upload and check"));
    }
    if (outputGiven_ && options_.outputFile.isEmpty()) {
      return Fail(QStringLiteral("Option -o needs a FILE, or - for standard output"));
    }
    if (outputGiven_ && options_.all && options_.outputFile == file_access::kStandardStream) {
      return Fail(
          QStringLiteral("download --all saves one file per tester: -o needs a folder, "
                         "not - (standard output)"));
    }
    if (outputGiven_ && IsSingleProgramFile(options_.outputFile)) {
      return Fail(QStringLiteral("download writes all three programs: '%1' names a "
                                 "single-program file (.vsp); give an all-programs file (.vap)")
                      .arg(options_.outputFile));
    }
    if (options_.program && options_.command != CtlCommand::Upload) {
      return Fail(QStringLiteral("Option --program belongs to upload"));
    }
    if (!options_.csvFile.isEmpty() && options_.command != CtlCommand::Run) {
      return Fail(QStringLiteral("Option --csv belongs to run"));
    }
    if (options_.yes && options_.command != CtlCommand::Service) {
      return Fail(QStringLiteral("Option --yes belongs to service"));
    }
    if (options_.program && !IsSingleProgramFile(options_.file)) {
      return Fail(QStringLiteral("Option --program applies to a single-program file (.vsp)"));
    }
    return FinishTesterChoice();
  }

  CommandResult Result() const { return result_; }

 private:
  // The words of run (a program number) and service (an action and its values).
  bool TakeTesterCommandWords() {
    if (options_.command == CtlCommand::Run) {
      if (words_.isEmpty()) return Fail(QStringLiteral("Command run needs a program number"));
      const auto program = BoundedNumber(words_.takeFirst(), 1, 3);
      if (!program) return Fail(QStringLiteral("Command run needs a program number 1, 2 or 3"));
      options_.testProgram = *program;
    } else if (options_.command == CtlCommand::Service) {
      const ParsedServiceRequest parsed = ParseServiceRequest(words_);
      if (!parsed.error.isEmpty()) return Fail(parsed.error);
      options_.service = parsed.request;
      words_.clear();
    }
    return true;
  }

  bool TakeOption(const QString& argument) {
    const qsizetype equals = argument.indexOf(u'=');
    const QString name = argument.left(equals);
    const QString value = equals < 0 ? QString() : argument.mid(equals + 1);
    const bool hasValue = equals >= 0;
    if (!hasValue && (name == QLatin1String("--help") || name == QLatin1String("-h"))) {
      help_ = true;
    } else if (!hasValue && name == QLatin1String("--json")) {
      options_.json = true;
    } else if (!hasValue && name == QLatin1String("--verbose")) {
      options_.verbose = true;
    } else if (!hasValue && name == QLatin1String("--all")) {
      options_.all = true;
    } else if (name == QLatin1String("--device")) {
      if (value.isEmpty())
        return Fail(QStringLiteral("--device needs a USB serial number or index"));
      if (!Once(name)) return false;
      options_.device = value;
    } else if (!hasValue && name == QLatin1String("--lenient")) {
      options_.lenient = true;
    } else if (!hasValue && name == QLatin1String("--yes")) {
      options_.yes = true;
    } else if (name == QLatin1String("--csv") && hasValue && !value.isEmpty()) {
      if (!Once(name)) return false;
      options_.csvFile = value;
    } else if (name == QLatin1String("--program")) {
      return Once(name) && TakeNumber(name, value);
    } else if (name == QLatin1String("--interval") || name == QLatin1String("--timeout")) {
      return TakeNumber(name, value);
    } else {
      return Fail(QStringLiteral("Unknown option '%1'").arg(argument));
    }
    return true;
  }

  bool TakeNumber(const QString& name, const QString& value) {
    if (name == QLatin1String("--interval")) {
      const auto ms = BoundedNumber(value, 1, std::numeric_limits<qint16>::max());
      if (!ms) return Fail(QStringLiteral("--interval needs milliseconds from 1 to 32767"));
      options_.intervalMs = static_cast<qint16>(*ms);
    } else if (name == QLatin1String("--timeout")) {
      const auto ms = BoundedNumber(value, 1, std::numeric_limits<int>::max());
      if (!ms) return Fail(QStringLiteral("--timeout needs a positive number of milliseconds"));
      options_.timeoutMs = *ms;
      options_.timeoutGiven = true;
    } else if (name == QLatin1String("--program")) {
      options_.program = BoundedNumber(value, 1, 3);
      if (!options_.program)
        return Fail(QStringLiteral("--program needs a program number 1, 2 or 3"));
    }
    return true;
  }

  // An option that takes one value may be given once: a second one would silently win.
  bool Once(const QString& name) {
    if (given_.contains(name)) return Fail(QStringLiteral("Option %1 is given twice").arg(name));
    given_ << name;
    return true;
  }

  // --device and --all choose among the testers for the commands that connect to one.
  bool FinishTesterChoice() {
    const bool onEveryTester = options_.command == CtlCommand::Info ||
                               options_.command == CtlCommand::Download ||
                               options_.command == CtlCommand::Upload;
    const bool connects = onEveryTester || options_.command == CtlCommand::Run ||
                          options_.command == CtlCommand::Service;
    if (options_.all && !options_.device.isEmpty()) {
      return Fail(QStringLiteral("Options --all and --device exclude each other"));
    }
    if (options_.all && !onEveryTester) {
      return Fail(QStringLiteral("Option --all belongs to info, download and upload"));
    }
    if (!options_.device.isEmpty() && !connects) {
      return Fail(
          QStringLiteral("Option --device belongs to info, download, upload, run and service"));
    }
    return true;
  }

  bool Fail(const QString& reason) {
    result_ = UsageError(reason);
    return false;
  }

  CtlOptions& options_;
  QStringList words_;
  bool help_ = false;
  bool outputGiven_ = false;
  QStringList given_;
  CommandResult result_;
};

}  // namespace

bool IsSingleProgramFile(const QString& fileName) {
  return QFileInfo(fileName).suffix().compare(QLatin1String("vsp"), Qt::CaseInsensitive) == 0;
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
  ParsedCommandLine parsed;
  // "--simulate=STATE" is the simulator with a state file; the backend choice sees "--simulate".
  std::vector<std::string> forBackend;
  QStringList states;  // one per simulated tester, as the backend counts them
  for (const QString& argument : arguments) {
    if (argument.startsWith(kSimulateWithState)) {
      states << argument.mid(kSimulateWithState.size());
      if (states.back().isEmpty()) {
        parsed.result = UsageError(QStringLiteral("--simulate= needs a STATE file"));
        return parsed;
      }
      forBackend.push_back("--simulate");
    } else {
      if (argument == QLatin1String("--simulate")) states << QString();
      if (argument.startsWith(QLatin1String("--backend="))) states.clear();
      // As bytes, so that a name that is no UTF-8 comes back as it was.
      forBackend.push_back(file_names::ToBytes(argument).toStdString());
    }
  }
  if (const QString refused = StateFileProblem(states); !refused.isEmpty()) {
    parsed.result = UsageError(refused);
    return parsed;
  }
  if (!states.isEmpty()) parsed.options.stateFile = states.takeFirst();
  parsed.options.moreStateFiles = states;
  const SimulationArguments simulation = ParseSimulationOptions(forBackend);
  const BackendArguments backend = ParseBackendOptions(simulation.remaining);
  for (const std::string& error : {simulation.error, backend.error}) {
    if (error.empty()) continue;
    parsed.result = UsageError(QString::fromStdString(error));
    return parsed;
  }
  parsed.options.simulation = simulation.options;
  parsed.options.backend = backend.options;
  // A later --backend overrides the simulator, and with it the state file.
  if (backend.options.kind != BackendKind::Simulated) {
    parsed.options.stateFile.clear();
    parsed.options.moreStateFiles.clear();
  }

  QStringList remaining;
  for (const std::string& argument : backend.remaining)
    remaining << file_names::FromBytes(QByteArray::fromStdString(argument));
  LineParser parser(parsed.options);
  if (!parser.Take(remaining) || !parser.Finish()) parsed.result = parser.Result();
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
             "value back\n\n"
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
             "  --yes                   let service write to the tester\n\n"
             "Exit status: 0 success, 1 a key of FILE not applied, a pass limit not below its "
             "fail\n"
             "limit, an upload not confirmed, a test not passed or a value not held, 2 usage "
             "(also\n"
             "service without --yes), 3 no tester found, 4 link failure or reply time-out, 5 "
             "file error.\n")
      .arg(QString::fromStdString(BackendOptionsHelp()).section(u'\n', 1) +
           QString::fromStdString(SimulationOptionsHelp()));
}
