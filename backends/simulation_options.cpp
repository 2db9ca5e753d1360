#include "backends/simulation_options.h"

#include <charconv>
#include <cmath>
#include <string>

#include "backends/simulated_tester.h"

namespace {
const QString kImpedance = QStringLiteral("simulate-impedance");
const QString kSpeed = QStringLiteral("simulate-speed");
const QString kFault = QStringLiteral("simulate-fault");
constexpr int kMaxImpedanceOhms = 9999;
// Beyond this a test of the longest program would end sooner than the link can ask for it.
constexpr double kMaxSpeed = 1e6;

const QString kImpedanceError =
    QStringLiteral("--simulate-impedance needs whole ohms from 0 to 9999");
const QString kSpeedError =
    QStringLiteral("--simulate-speed needs a factor above 0 and at most 1000000");
const QString kFaultError = QStringLiteral(
    "--simulate-fault needs unplug, silent, echo-mismatch or readback-mismatch, optionally with "
    "@N (after N requests)");

template <typename Number>
std::optional<Number> Parse(const QString& value) {
  const std::string text = value.toStdString();
  Number number{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}
}  // namespace

void AddSimulationOptions(OptionParser& parser) {
  parser.Add(QCommandLineOption(kImpedance, {}, QStringLiteral("OHMS")), kImpedanceError);
  parser.Add(QCommandLineOption(kSpeed, {}, QStringLiteral("FACTOR")), kSpeedError);
  parser.Add(QCommandLineOption(kFault, {}, QStringLiteral("KIND")), kFaultError);
}

SimulationArguments ReadSimulationOptions(const OptionParser& parser) {
  SimulationArguments parsed;
  for (const QString& value : parser.Values(kImpedance)) {
    const auto ohms = Parse<int>(value);
    if (!ohms || *ohms < 0 || *ohms > kMaxImpedanceOhms) {
      parsed.error = kImpedanceError;
    } else {
      parsed.options.impedanceOhms = *ohms;
    }
  }
  for (const QString& value : parser.Values(kSpeed)) {
    const auto factor = Parse<double>(value);
    if (!factor || !std::isfinite(*factor) || *factor <= 0 || *factor > kMaxSpeed) {
      parsed.error = kSpeedError;
    } else {
      parsed.options.speed = *factor;
    }
  }
  for (const QString& value : parser.Values(kFault)) {
    parsed.options.fault = ParseSimulatedFault(value.toStdString());
    if (!parsed.options.fault) parsed.error = kFaultError;
  }
  return parsed;
}

std::string SimulationOptionsHelp() {
  // The descriptions keep the column of the other options' help.
  return "  --simulate-impedance=OHMS\n"
         "                          what the simulated tester measures (ohms, default 100)\n"
         "  --simulate-speed=FACTOR simulated tests take their program's duration / FACTOR\n"
         "  --simulate-fault=KIND[@N]\n"
         "                          after N requests (default 0) the simulated tester is\n"
         "                          unplugged (unplug), answers nothing (silent), or holds\n"
         "                          other values than written: a program's pass limit\n"
         "                          (echo-mismatch), a serial number, calibration date or\n"
         "                          set-point (readback-mismatch)\n";
}

void ApplySimulationOptions(const SimulationOptions& options, Backend& backend) {
  if (!backend.simulator) return;
  SimulatedTester& simulator = *backend.simulator;
  for (std::size_t device = 0; device < simulator.DeviceCount(); ++device) {
    SimulatedTesterModel& tester = simulator.Tester(device);
    if (options.impedanceOhms)
      tester.impedanceOhms = static_cast<std::int16_t>(*options.impedanceOhms);
    if (options.speed) tester.speed = *options.speed;
  }
  if (options.fault)
    backend.driver =
        std::make_shared<SimulatedFault>(backend.driver, backend.simulator, *options.fault);
}
