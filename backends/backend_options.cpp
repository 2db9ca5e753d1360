#include "backends/backend_options.h"

#include "backends/d2xx_library_backend.h"
#ifdef VELD32_WITH_LIBFTDI
#include "backends/libftdi_api.h"
#include "backends/libftdi_backend.h"
#endif

namespace {
const QString kSimulate = QStringLiteral("--simulate");
const QString kBackend = QStringLiteral("backend");
}  // namespace

BackendKind BackendOptions::DefaultBackendKind() {
#ifdef _WIN32
  return BackendKind::D2xxLibrary;
#else
  return BackendKind::Libftdi;
#endif
}

SimulateArguments TakeSimulateOptions(const QStringList& arguments) {
  SimulateArguments taken;
  const QString withState = kSimulate + u'=';
  const QString backend = QStringLiteral("--") + kBackend;
  for (const QString& argument : arguments) {
    if (argument == kSimulate) {
      taken.states << QString();
    } else if (argument.startsWith(withState)) {
      taken.states << argument.mid(withState.size());
      taken.withState << argument;
    } else {
      if (argument == backend || argument.startsWith(backend + u'=')) taken.states.clear();
      taken.remaining << argument;
    }
  }
  return taken;
}

void AddBackendOptions(OptionParser& parser) {
  parser.Add(QCommandLineOption(kBackend, {}, QStringLiteral("KIND")),
             QStringLiteral("Option --backend needs a value: --backend=libftdi or "
                            "--backend=d2xx[:PATH]"));
}

BackendChoice ReadBackendOptions(const OptionParser& parser, const SimulateArguments& simulate,
                                 const std::function<QByteArray(const QString&)>& fileNameBytes) {
  BackendChoice choice;
  // Every value is checked, though only the last one counts.
  for (const QString& text : parser.Values(kBackend)) {
    // As the file system's bytes, so that a path that is no UTF-8 comes back as it was.
    const std::string value = fileNameBytes(text).toStdString();
    if (value == "libftdi") {
      choice.options = {BackendKind::Libftdi, {}};
    } else if (value == "d2xx") {
      choice.options = {BackendKind::D2xxLibrary, {}};
    } else if (value.starts_with("d2xx:") && value.size() > 5) {
      choice.options = {BackendKind::D2xxLibrary, value.substr(5)};
    } else {
      choice.error =
          QStringLiteral("Unknown backend '%1': use --backend=libftdi or --backend=d2xx[:PATH]")
              .arg(text);
    }
  }
  if (!simulate.states.isEmpty()) {
    choice.options = {BackendKind::Simulated, {}, static_cast<int>(simulate.states.size())};
  }
  return choice;
}

std::string BackendOptionsHelp() {
  return "  --simulate              talk to the built-in simulated tester\n"
#ifdef VELD32_WITH_LIBFTDI
         "  --backend=libftdi       reach the tester through libftdi1\n"
#endif
         "  --backend=d2xx[:PATH]   reach the tester through FTDI's D2XX library\n"
         "                          (" +
         std::string(D2xxLibraryBackend::DefaultLibraryName()) + " unless PATH is given)\n";
}

Backend CreateBackend(const BackendOptions& options) {
  Backend backend;
  switch (options.kind) {
    case BackendKind::Simulated: {
      auto simulator = std::make_shared<SimulatedTester>(
          std::vector<std::string>(static_cast<std::size_t>(options.simulatedTesters), "VELD32"));
      backend.driver = simulator;
      backend.simulator = std::move(simulator);
      break;
    }
    case BackendKind::Libftdi: {
#ifdef VELD32_WITH_LIBFTDI
      auto libftdi = std::make_shared<LibftdiBackend>();
      backend.driver = libftdi;
      backend.diagnostics = std::move(libftdi);
#else
      backend.error = "This build has no libftdi1 backend: use --backend=d2xx[:PATH]";
#endif
      break;
    }
    case BackendKind::D2xxLibrary: {
      auto loaded = D2xxLibraryBackend::Load(options.libraryPath);
      if (!loaded.backend) {
        backend.error = std::move(loaded.error);
        break;
      }
      backend.driver = std::shared_ptr<D2xx>(std::move(loaded.backend));
      break;
    }
  }
  return backend;
}

const char* LibftdiVersionText() {
#ifdef VELD32_WITH_LIBFTDI
  return LibftdiVersion();
#else
  return "not built in";
#endif
}
