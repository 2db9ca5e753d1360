#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <span>

#include "tools/command_result.h"

struct CommandContext;
struct CtlOptions;
struct TesterIdentity;

// veld32ctl's commands, one row each: every fact that the command line, the choice of tester
// and the run ask of a command.
struct CtlCommand {
  // Whether the command needs the driver: service only to write, with --yes.
  enum class Driver { None, Always, WithYes };

  QString name;
  bool takesFile;
  Driver driver;
  bool oneTester;  // talks to one tester, which --device chooses
  // Set where --all applies: one tester's result line, from its identity and the file its
  // programs were saved as (empty where none).
  QString (*everyTester)(const TesterIdentity& identity, const QString& savedFile);
  QStringList options;  // the options of its own, as the usage names them
  // Takes the words after the name (and FILE) into the options; the usage error, or empty.
  // Null for a command that takes no words.
  QString (*takeWords)(QStringList& words, CtlOptions& options);
  CommandResult (*run)(const CommandContext& context);

  bool NeedsDriver(const CtlOptions& options) const;
};

std::span<const CtlCommand> CtlCommands();

// The row named `name`; null for none.
const CtlCommand* FindCtlCommand(const QString& name);

// The names of the commands for which `applies` holds, in words: "info, download and upload".
QString CommandNames(const std::function<bool(const CtlCommand& command)>& applies);
