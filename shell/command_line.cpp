#include "shell/command_line.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "backends/backend_options.h"
#include "backends/simulation_options.h"
#include "resources/version.h"

namespace {

// The toolkit's own options, which it takes out of the arguments when the application starts.
constexpr std::array<std::string_view, 14> kToolkitOptionsWithValue = {
    "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",     "geometry",           "title",         "name"};
constexpr std::array<std::string_view, 5> kToolkitFlags = {"reverse", "widgetcount", "nograb",
                                                           "dograb", "sync"};

bool HoldsDiagnosticSwitch(std::string argument) {
  std::transform(argument.begin(), argument.end(), argument.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return argument.find("/kovda") != std::string::npos;
}

template <std::size_t N>
bool Listed(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The toolkit accepts "-name", "--name" and, for options with a value, "-name=value".
std::string_view ToolkitName(std::string_view argument) {
  if (argument.starts_with("--")) return argument.substr(2);
  if (argument.starts_with('-')) return argument.substr(1);
  return {};
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  const SimulationArguments simulation = ParseSimulationOptions(arguments);
  const BackendArguments backend = ParseBackendOptions(simulation.remaining);
  line.backend = backend.options;
  line.simulation = simulation.options;
  for (std::size_t i = 0; i < backend.remaining.size(); ++i) {
    const std::string& argument = backend.remaining[i];
    if (argument == "--help" || argument == "-h") {
      line.action = CommandLine::Action::Help;
      return line;
    }
    if (argument == "--version" || argument == "-v") {
      line.action = CommandLine::Action::Version;
      return line;
    }
    if (HoldsDiagnosticSwitch(argument)) continue;
    const std::string_view name = ToolkitName(argument);
    const std::string_view bare = name.substr(0, name.find('='));
    if (Listed(kToolkitFlags, name)) continue;
    if (Listed(kToolkitOptionsWithValue, bare)) {
      if (bare.size() < name.size()) continue;  // -name=value
      if (i + 1 < backend.remaining.size()) {
        ++i;
        continue;
      }
      line.error = "Option " + argument + " needs a value";
    } else {
      line.error = "Unknown option '" + argument + "'";
    }
    line.action = CommandLine::Action::UsageError;
    return line;
  }
  for (const std::string& error : {simulation.error, backend.error}) {
    if (error.empty()) continue;
    line.action = CommandLine::Action::UsageError;
    line.error = error;
    break;
  }
  return line;
}

std::string UsageText() {
  return "Usage: veld32 [OPTION]...\n"
         "Configure the test programs of a VELD32 electrode tester over USB.\n\n"
         "Options:\n" +
         BackendOptionsHelp() + SimulationOptionsHelp() +
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
