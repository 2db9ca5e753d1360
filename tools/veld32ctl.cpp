#include "tools/veld32ctl.h"

#include <QFileDevice>

#include <array>
#include <memory>
#include <optional>

#include "backends/simulated_tester.h"
#include "config_files/file_access.h"
#include "config_files/file_names.h"
#include "programs/program_controls.h"
#include "tools/all_testers.h"
#include "tools/command_context.h"
#include "tools/ctl_commands.h"
#include "tools/simulator_state.h"
#include "tools/tester_choice.h"

namespace {

void PrintError(QTextStream& err, const QString& message) {
  for (const QString& line : file_names::Readable(message).split(u'\n'))
    err << "veld32ctl: " << line << '\n';
}

// The command's own run; without one (--help) the usage.
CommandResult RunOnTester(const CommandContext& context) {
  if (!context.options.command) {
    context.out << UsageText();
    return {};
  }
  return context.options.command->run(context);
}

CommandResult RunCommand(const CommandContext& context) {
  if (context.options.all && context.options.command) return RunOnAllTesters(context, RunOnTester);
  return RunOnTester(context);
}

// The simulated testers with a STATE, by device.
std::vector<std::pair<std::size_t, QString>> StateFiles(const CtlOptions& options) {
  std::vector<std::pair<std::size_t, QString>> states;
  const QStringList all = QStringList{options.stateFile} + options.moreStateFiles;
  for (qsizetype device = 0; device < all.size(); ++device) {
    if (!all[device].isEmpty()) states.emplace_back(static_cast<std::size_t>(device), all[device]);
  }
  return states;
}

// What the simulated tester at `device` holds that its STATE keeps.
std::array<std::optional<ProgramSettings>, kProgramCount> HeldPrograms(
    const SimulatedTester& simulator, std::size_t device) {
  std::array<std::optional<ProgramSettings>, kProgramCount> programs;
  for (int i = 0; i < kProgramCount; ++i) programs[i] = simulator.Tester(device).Program(i + 1);
  return programs;
}

// The command against the simulators' programs kept in their state files: restored before it,
// written after it when the command changed what a tester holds (whatever became of the
// command), each file locked all the while so that runs at the same time take their turns.
// Another run's turn may last up to the reply time-out.
CommandResult RunWithState(const CommandContext& context, SimulatedTester& simulator) {
  const auto states = StateFiles(context.options);
  std::vector<std::unique_ptr<file_access::FileLock>> locks;
  std::vector<std::array<std::optional<ProgramSettings>, kProgramCount>> restoredPrograms;
  for (const auto& [device, stateFile] : states) {
    locks.push_back(std::make_unique<file_access::FileLock>(stateFile));
    if (QString busy = locks.back()->Acquire(context.options.timeoutMs); !busy.isEmpty())
      return CommandResult::Failure(ExitStatus::FileFailure, busy);
    QStringList warnings;
    const CommandResult restored = RestoreSimulatorState(simulator, stateFile, device, warnings);
    for (const QString& warning : warnings) PrintError(context.err, warning);
    if (!restored.Ok()) return restored;
    restoredPrograms.push_back(HeldPrograms(simulator, device));
  }
  CommandResult result = RunCommand(context);
  for (std::size_t i = 0; i < states.size(); ++i) {
    const auto& [device, stateFile] = states[i];
    if (HeldPrograms(simulator, device) == restoredPrograms[i]) continue;
    QStringList notes;
    const CommandResult saved = SaveSimulatorState(simulator, stateFile, device, &notes);
    for (const QString& note : notes)
      context.err << "veld32ctl: warning: " << file_names::Readable(note) << '\n';
    if (saved.Ok()) continue;
    if (result.Ok()) {
      result = saved;
    } else {
      PrintError(context.err, saved.message);
    }
  }
  return result;
}

// Flushes `out`; empty when everything written reached its device, else why it did not.
QString OutputFailure(QTextStream& out) {
  out.flush();
  const auto* file = qobject_cast<const QFileDevice*>(out.device());
  if (file && file->error() != QFileDevice::NoError) return file->errorString();
  if (out.status() == QTextStream::WriteFailed) {
    return out.device() ? out.device()->errorString() : QStringLiteral("output not written");
  }
  return {};
}

}  // namespace

int RunVeld32Ctl(const QStringList& arguments, QTextStream& out, QTextStream& err,
                 const BackendFactory& createBackend) {
  const ParsedCommandLine parsed = ParseCommandLine(arguments);
  CtlOptions options = parsed.options;
  if (!parsed.result.Ok()) {
    PrintError(err, parsed.result.message);
    err << "Try 'veld32ctl --help' for more information.\n";
    return static_cast<int>(parsed.result.status);
  }

  Backend backend;
  if (options.command && options.command->NeedsDriver(options)) {
    backend = createBackend(options.backend);
    if (!backend.driver) {
      PrintError(
          err,
          QStringLiteral("Cannot load the driver: %1").arg(QString::fromStdString(backend.error)));
      return static_cast<int>(ExitStatus::LinkFailure);
    }
    ApplySimulationOptions(options.simulation, backend);
  }
  const StatusLog log = [&err, verbose = options.verbose](const QString& line) {
    if (verbose) err << line << '\n';
  };
  // A command that does not talk to a tester (service without --yes) has no driver to ask.
  if (!options.device.isEmpty() && backend.driver) {
    const ChosenTester chosen =
        ChooseTester({options, backend, log, out, err, nullptr}, options.device);
    if (!chosen.result.Ok()) {
      PrintError(err, chosen.result.message);
      return static_cast<int>(chosen.result.status);
    }
    options.usbSerialNumber = chosen.usbSerialNumber;
  }
  const CommandContext context{options, backend, log, out, err, nullptr};

  const CommandResult result = backend.simulator && !StateFiles(options).empty()
                                   ? RunWithState(context, *backend.simulator)
                                   : RunCommand(context);
  if (!result.Ok()) PrintError(err, result.message);
  // Output that never arrived is a failure even when the command's own work succeeded.
  const QString unwritten = OutputFailure(out);
  if (!unwritten.isEmpty()) PrintError(err, QStringLiteral("write error: ") + unwritten);
  err.flush();
  if (!unwritten.isEmpty() && result.Ok()) return static_cast<int>(ExitStatus::FileFailure);
  return static_cast<int>(result.status);
}
