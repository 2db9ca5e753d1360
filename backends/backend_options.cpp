#include "backends/backend_options.h"

#include <string_view>

#include "backends/d2xx_library_backend.h"
#ifdef VELD32_WITH_LIBFTDI
#include "backends/libftdi_api.h"
#include "backends/libftdi_backend.h"
#endif

namespace {
constexpr std::string_view kSimulate = "--simulate";
constexpr std::string_view kBackend = "--backend";
}  // namespace

BackendKind BackendOptions::DefaultBackendKind() {
#ifdef _WIN32
  return BackendKind::D2xxLibrary;
#else
  return BackendKind::Libftdi;
#endif
}

BackendArguments ParseBackendOptions(const std::vector<std::string>& arguments) {
  BackendArguments parsed;
  for (const std::string& argument : arguments) {
    const std::string_view text = argument;
    if (text == kSimulate) {
      const bool more = parsed.options.kind == BackendKind::Simulated;
      parsed.options = {BackendKind::Simulated, {}, more ? parsed.options.simulatedTesters + 1 : 1};
      continue;
    }
    if (!text.starts_with(kBackend)) {
      parsed.remaining.push_back(argument);
      continue;
    }
    const std::string_view rest = text.substr(kBackend.size());
    if (!rest.starts_with('=')) {
      if (rest.empty()) {
        parsed.error = "Option --backend needs a value: --backend=libftdi or --backend=d2xx[:PATH]";
      } else {
        // Some other option that merely begins with the same letters.
        parsed.remaining.push_back(argument);
      }
      continue;
    }
    const std::string_view value = rest.substr(1);
    if (value == "libftdi") {
      parsed.options = {BackendKind::Libftdi, {}};
    } else if (value == "d2xx") {
      parsed.options = {BackendKind::D2xxLibrary, {}};
    } else if (value.starts_with("d2xx:") && value.size() > 5) {
      parsed.options = {BackendKind::D2xxLibrary, std::string(value.substr(5))};
    } else {
      parsed.error = "Unknown backend '" + std::string(value) +
                     "': use --backend=libftdi or --backend=d2xx[:PATH]";
    }
  }
  return parsed;
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
