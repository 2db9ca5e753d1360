#include "veld32ctl.h"

#include "command_context.h"
#include "file_access.h"
#include "simulator_state.h"

namespace {

void PrintError(QTextStream& err, const QString& message) {
  for (const QString& line : message.split(u'\n')) err << "veld32ctl: " << line << '\n';
}

bool NeedsTester(const CtlOptions& options) {
  switch (options.command) {
    case CtlCommand::List:
    case CtlCommand::Info:
    case CtlCommand::Download:
    case CtlCommand::Upload:
    case CtlCommand::Run:
      return true;
    case CtlCommand::Service:
      return options.yes;
    case CtlCommand::Show:
    case CtlCommand::Check:
    case CtlCommand::Help:
      break;
  }
  return false;
}

CommandResult RunCommand(const CommandContext& context) {
  switch (context.options.command) {
    case CtlCommand::List:
      return ListDevices(context);
    case CtlCommand::Info:
      return ShowIdentity(context);
    case CtlCommand::Download:
      return DownloadPrograms(context);
    case CtlCommand::Upload:
      return UploadPrograms(context);
    case CtlCommand::Show:
    case CtlCommand::Check:
      return ShowFile(context);
    case CtlCommand::Run:
      return RunTestProgram(context);
    case CtlCommand::Service:
      return ServiceTester(context);
    case CtlCommand::Help:
      break;
  }
  context.out << UsageText();
  return {};
}

// The command against the simulator's programs kept in the state file: restored before it,
// written after it whatever became of the command, the file locked all the while so that runs
// at the same time take their turns. Another run's turn may last up to the reply time-out.
CommandResult RunWithState(const CommandContext& context, SimulatedTester& simulator) {
  const QString& stateFile = context.options.stateFile;
  file_access::FileLock lock(stateFile);
  if (QString busy = lock.Acquire(context.options.timeoutMs); !busy.isEmpty())
    return CommandResult::Failure(ExitStatus::FileFailure, busy);
  CommandResult result = RestoreSimulatorState(simulator, stateFile);
  if (!result.Ok()) return result;
  result = RunCommand(context);
  const CommandResult saved = SaveSimulatorState(simulator, stateFile);
  if (saved.Ok()) return result;
  if (result.Ok()) return saved;
  PrintError(context.err, saved.message);
  return result;
}

}  // namespace

int RunVeld32Ctl(const QStringList& arguments, QTextStream& out, QTextStream& err,
                 const BackendFactory& createBackend) {
  const ParsedCommandLine parsed = ParseCommandLine(arguments);
  const CtlOptions& options = parsed.options;
  if (!parsed.result.Ok()) {
    PrintError(err, parsed.result.message);
    err << "Try 'veld32ctl --help' for more information.\n";
    return static_cast<int>(parsed.result.status);
  }

  Backend backend;
  if (NeedsTester(options)) {
    backend = createBackend(options.backend);
    if (!backend.driver) {
      PrintError(
          err,
          QStringLiteral("Cannot load the driver: %1").arg(QString::fromStdString(backend.error)));
      return static_cast<int>(ExitStatus::LinkFailure);
    }
    if (backend.simulator) ApplySimulationOptions(options.simulation, *backend.simulator);
  }
  const StatusLog log = [&err, verbose = options.verbose](const QString& line) {
    if (verbose) err << line << '\n';
  };
  const CommandContext context{options, backend, log, out, err};

  const CommandResult result = backend.simulator && !options.stateFile.isEmpty()
                                   ? RunWithState(context, *backend.simulator)
                                   : RunCommand(context);
  if (!result.Ok()) PrintError(err, result.message);
  out.flush();
  err.flush();
  return static_cast<int>(result.status);
}
