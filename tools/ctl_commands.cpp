#include "tools/ctl_commands.h"

#include <array>

#include "programs/program_controls.h"
#include "programs/tester_identity.h"
#include "records/production_record.h"
#include "tools/command_context.h"
#include "tools/plain_number.h"

namespace {

QString RunWords(QStringList& words, CtlOptions& options) {
  if (words.isEmpty()) return QStringLiteral("Command run needs a program number");
  const std::optional<qint64> program = PlainNumber(words.takeFirst());
  if (!program || *program < 1 || *program > kProgramCount)
    return QStringLiteral("Command run needs a program number 1, 2 or 3");
  options.testProgram = static_cast<int>(*program);
  return {};
}

QString ServiceWords(QStringList& words, CtlOptions& options) {
  const ParsedServiceRequest parsed = ParseServiceRequest(words);
  options.service = parsed.request;
  words.clear();
  return parsed.error;
}

QString InfoDone(const TesterIdentity& identity, const QString&) {
  return QStringLiteral("firmware %1, calibrated %2")
      .arg(identity.firmware.value_or(QString()), CalibrationDateText(identity));
}

QString DownloadDone(const TesterIdentity&, const QString& savedFile) {
  return savedFile.isEmpty() ? QStringLiteral("downloaded")
                             : QStringLiteral("downloaded, saved as %1").arg(savedFile);
}

QString UploadDone(const TesterIdentity&, const QString&) {
  return QStringLiteral("uploaded and confirmed");
}

QString RecordsWords(QStringList& words, CtlOptions& options) {
  if (!words.isEmpty() &&
      (words.front() == QLatin1String("stats") || words.front() == QLatin1String("sync")))
    options.recordsAction = words.takeFirst();
  if (!options.verdict.isEmpty() && !RunOutcomeFromName(options.verdict))
    return QStringLiteral(
               "Unknown verdict '%1': pass, fail, \"between limits\", \"no reading\", "
               "stopped or error")
        .arg(options.verdict);
  return {};
}

// The options of the commands that keep a record, and those that filter records.
QStringList Recording(QStringList own) {
  return own << QStringLiteral("--records") << QStringLiteral("--operator")
             << QStringLiteral("--station") << QStringLiteral("--calibration-interval");
}
QStringList Filtering(QStringList own) {
  return own << QStringLiteral("--records") << QStringLiteral("--since")
             << QStringLiteral("--until") << QStringLiteral("--tester")
             << QStringLiteral("--station");
}

CommandResult CheckFile(const CommandContext& context) { return ShowFile(context, true); }
CommandResult ShowOnly(const CommandContext& context) { return ShowFile(context, false); }

using D = CtlCommand::Driver;

// name, FILE, driver, --device, --all, own options, words, run
const std::array<CtlCommand, 10> kCommands = {{
    {QStringLiteral("list"), false, D::Always, false, nullptr, {}, nullptr, ListDevices},
    {QStringLiteral("info"),
     false,
     D::Always,
     true,
     InfoDone,
     {QStringLiteral("--calibration-interval")},
     nullptr,
     ShowIdentity},
    {QStringLiteral("download"),
     false,
     D::Always,
     true,
     DownloadDone,
     {QStringLiteral("-o")},
     nullptr,
     DownloadPrograms},
    {QStringLiteral("upload"), true, D::Always, true, UploadDone,
     Recording({QStringLiteral("--program"), QStringLiteral("--lenient")}), nullptr,
     UploadPrograms},
    {QStringLiteral("show"), true, D::None, false, nullptr, {}, nullptr, ShowOnly},
    {QStringLiteral("check"),
     true,
     D::None,
     false,
     nullptr,
     {QStringLiteral("--lenient")},
     nullptr,
     CheckFile},
    {QStringLiteral("run"), false, D::Always, true, nullptr,
     Recording({QStringLiteral("--csv"), QStringLiteral("--dut")}), RunWords, RunTestProgram},
    {QStringLiteral("service"), false, D::WithYes, true, nullptr,
     Recording({QStringLiteral("--yes")}), ServiceWords, ServiceTester},
    {QStringLiteral("records"), false, D::None, false, nullptr,
     Filtering({QStringLiteral("--dut"), QStringLiteral("--program"), QStringLiteral("--verdict"),
                QStringLiteral("--csv"), QStringLiteral("--limit")}),
     RecordsWords, ListRecords},
    {QStringLiteral("history"), false, D::None, false, nullptr,
     Filtering({QStringLiteral("--csv"), QStringLiteral("--limit")}), nullptr, ListProgramChanges},
}};

}  // namespace

bool CtlCommand::NeedsDriver(const CtlOptions& options) const {
  return driver == Driver::Always || (driver == Driver::WithYes && options.yes);
}

std::span<const CtlCommand> CtlCommands() { return kCommands; }

const CtlCommand* FindCtlCommand(const QString& name) {
  for (const CtlCommand& command : kCommands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

QString CommandNames(const std::function<bool(const CtlCommand& command)>& applies) {
  QStringList names;
  for (const CtlCommand& command : kCommands) {
    if (applies(command)) names << command.name;
  }
  if (names.size() < 2) return names.join(QString());
  const QString last = names.takeLast();
  return names.join(QLatin1String(", ")) + QLatin1String(" and ") + last;
}
