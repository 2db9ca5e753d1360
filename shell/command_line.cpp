#include "shell/command_line.h"

#include <QtGlobal>

#include <array>

#include "backends/backend_options.h"
#include "backends/option_parser.h"
#include "backends/simulation_options.h"
#include "resources/version.h"
#include "ui_core/diagnostic_switch.h"

namespace {

// The toolkit's own options, which it takes out of the arguments when the application starts.
constexpr std::array<const char*, 14> kToolkitOptionsWithValue = {
    "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",     "geometry",           "title",         "name"};
constexpr std::array<const char*, 5> kToolkitFlags = {"reverse", "widgetcount", "nograb", "dograb",
                                                      "sync"};

CommandLine UsageError(const QString& error) {
  CommandLine line;
  line.action = CommandLine::Action::UsageError;
  line.error = error;
  return line;
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
  // The switch may stand anywhere in an argument, which no option parser can express.
  QStringList rest;
  for (const QString& argument : arguments) {
    if (!HoldsDiagnosticSwitch(argument)) rest << argument;
  }
  const SimulateArguments simulate = TakeSimulateOptions(rest);
  // A STATE keeps veld32ctl's simulated programs; the window keeps its own in its files.
  if (!simulate.withState.isEmpty()) {
    return UsageError(QStringLiteral("Unknown option '%1'").arg(simulate.withState.front()));
  }
  OptionParser parser;
  parser.Add(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
  parser.Add(QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("version")}));
  parser.Add(QCommandLineOption(QStringLiteral("device"), {}, QStringLiteral("SELECTOR")),
             QStringLiteral("--device needs a USB serial number or index"));
  AddBackendOptions(parser);
  AddSimulationOptions(parser);
  for (const char* name : kToolkitOptionsWithValue) {
    parser.Add(QCommandLineOption(QLatin1String(name), {}, QStringLiteral("VALUE")));
  }
  for (const char* name : kToolkitFlags) parser.Add(QCommandLineOption(QLatin1String(name)));

  const bool parsed = parser.Parse(simulate.remaining);
  const SimulationArguments simulation = ReadSimulationOptions(parser);
  const BackendChoice backend = ReadBackendOptions(parser, simulate);
  CommandLine line;
  line.backend = backend.options;
  line.simulation = simulation.options;
  if (parsed && parser.IsSet(QStringLiteral("device")))
    line.device = parser.Values(QStringLiteral("device")).constLast();
  // Help and version win over a value not understood, though not over an unknown option.
  if (parsed && parser.IsSet(QStringLiteral("help"))) line.action = CommandLine::Action::Help;
  if (parsed && parser.IsSet(QStringLiteral("version"))) line.action = CommandLine::Action::Version;
  if (line.action != CommandLine::Action::Run) return line;
  if (!parsed) return UsageError(parser.Error());
  if (const QStringList words = parser.PositionalArguments(); !words.isEmpty()) {
    return UsageError(QStringLiteral("Unknown option '%1'").arg(words.front()));
  }
  for (const QString& error : {simulation.error, backend.error}) {
    if (!error.isEmpty()) return UsageError(error);
  }
  return line;
}

std::string UsageText() {
  return "Usage: veld32 [OPTION]...\n"
         "Configure the test programs of a VELD32 electrode tester over USB.\n\n"
         "Options:\n" +
         BackendOptionsHelp() + SimulationOptionsHelp() +
         "  --device=SELECTOR       the tester to use: its USB serial number or its index\n"
         "                          in veld32ctl list\n" +
         "  /kovda                  diagnostic mode: log all frames and the receive buffer\n"
         "  --help                  show this help and exit\n"
         "  --version               show the version and exit\n\n"
         "Without a tester, try --simulate. The tester needs the udev rule 60-veld32.rules\n"
         "installed to be opened by an ordinary user (see veld32(1)).\n";
}

std::string VersionText() {
  return std::string(VELD32_PRODUCT_NAME) + " Configurator " + VELD32_VERSION_TEXT + "\nQt " +
         qVersion() + ", libftdi1 " + LibftdiVersionText() + "\n";
}
