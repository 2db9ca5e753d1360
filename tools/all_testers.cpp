#include "tools/all_testers.h"

#include <QDir>
#include <QThread>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "device_link/serialized_d2xx.h"
#include "records/record_location.h"
#include "tools/command_context.h"
#include "tools/ctl_commands.h"
#include "tools/json_text.h"
#include "tools/tester_choice.h"

namespace {

struct Outcome {
  BenchTester tester;
  TesterIdentity identity;
  CommandResult result;
  QString file;  // the saved download, if any
  QString warnings;
};

QString UsbSerial(const Outcome& o) {
  return QString::fromLatin1(o.tester.device.usbSerialNumber.c_str());
}

QString SavedFile(const CommandContext& context, const BenchTester& tester) {
  if (context.options.outputFile.isEmpty()) return {};
  const QString name = tester.device.usbSerialNumber.empty()
                           ? QStringLiteral("device%1").arg(tester.device.index)
                           : QString::fromLatin1(tester.device.usbSerialNumber.c_str());
  return QDir(context.options.outputFile).filePath(name + QStringLiteral(".vap"));
}

// One tester's run, on its own thread: what it prints is kept, warnings apart.
void RunOne(const CommandContext& context, const Backend& backend, const TesterCommand& command,
            std::mutex& logLock, Outcome& outcome) {
  CtlOptions options = context.options;
  options.usbSerialNumber = outcome.tester.openBy;
  options.outputFile = outcome.file;
  options.json = false;
  QString printed;
  QTextStream out(&printed);
  QTextStream err(&outcome.warnings);
  const QString prefix = QStringLiteral("[%1] ").arg(UsbSerial(outcome));
  const StatusLog log = [&context, &logLock, prefix](const QString& line) {
    const std::scoped_lock lock(logLock);
    context.log(prefix + line);
  };
  const CommandContext tester{options, backend, log, out, err, &outcome.identity};
  outcome.result = command(tester);
}

QString ResultText(const CommandContext& context, const Outcome& o) {
  if (o.result.Ok()) return context.options.command->everyTester(o.identity, o.file);
  return QStringLiteral("failed: ") + o.result.message.split(u'\n').join(QLatin1String("; "));
}

void PrintOutcomes(const CommandContext& context, const std::vector<Outcome>& outcomes) {
  QStringList items;
  QStringList warnings;
  for (const Outcome& o : outcomes) {
    const QString serial = o.identity.serial.value_or(QString());
    const QString result = ResultText(context, o);
    if (context.options.json) {
      items << json_text::Object(
          {{QStringLiteral("index"), json_text::Integer(o.tester.device.index)},
           {QStringLiteral("usb_serial"), json_text::String(UsbSerial(o))},
           {QStringLiteral("serial"), json_text::String(serial)},
           {QStringLiteral("exit_status"), json_text::Integer(static_cast<int>(o.result.status))},
           {QStringLiteral("result"), json_text::String(result)}});
    } else {
      const QString usb = UsbSerial(o);
      context.out << (usb.isEmpty() ? QStringLiteral("-") : usb) << "  "
                  << (serial.isEmpty() ? QStringLiteral("-") : serial) << "  " << result << '\n';
    }
    for (const QString& line : o.warnings.split(u'\n', Qt::SkipEmptyParts)) {
      if (!warnings.contains(line)) warnings << line;
    }
  }
  if (context.options.json) context.out << json_text::Array(items) << '\n';
  for (const QString& line : warnings) context.err << line << '\n';
}

}  // namespace

CommandResult RunOnAllTesters(const CommandContext& context, const TesterCommand& command) {
  const Bench bench = ListBench(context);
  if (!bench.result.Ok()) return bench.result;
  if (!context.options.outputFile.isEmpty()) {
    // A folder that cannot be made shows as each tester's failed save.
    QDir().mkpath(context.options.outputFile);
  }

  LoadRecordDrivers();  // the testers' threads each open a store of their own
  auto serialized =
      std::make_shared<SerializedD2xx>(context.backend.driver, context.backend.diagnostics);
  const Backend shared{serialized, nullptr, context.backend.diagnostics ? serialized : nullptr, {}};
  std::mutex logLock;
  std::vector<Outcome> outcomes;
  for (const BenchTester& tester : bench.testers) {
    outcomes.push_back({tester, {}, tester.unreachable, SavedFile(context, tester), {}});
  }
  std::vector<std::unique_ptr<QThread>> threads;
  for (Outcome& outcome : outcomes) {
    if (!outcome.result.Ok()) continue;
    threads.emplace_back(QThread::create([&context, &shared, &command, &logLock, &outcome] {
      RunOne(context, shared, command, logLock, outcome);
    }));
    threads.back()->start();
  }
  for (const auto& thread : threads) thread->wait();

  PrintOutcomes(context, outcomes);
  const auto worst =
      std::max_element(outcomes.begin(), outcomes.end(), [](const Outcome& a, const Outcome& b) {
        return static_cast<int>(a.result.status) < static_cast<int>(b.result.status);
      });
  if (worst->result.Ok()) return {};
  // The lines have said what failed, tester by tester.
  return CommandResult::Failure(
      worst->result.status, QStringLiteral("%1 of %2 testers failed")
                                .arg(std::count_if(outcomes.begin(), outcomes.end(),
                                                   [](const Outcome& o) { return !o.result.Ok(); }))
                                .arg(outcomes.size()));
}
