#include "tools/program_summary.h"

#include <algorithm>
#include <array>

#include "config_files/program_files.h"
#include "device_link/protocol_numbers.h"
#include "programs/program_values.h"
#include "programs/programs_model.h"
#include "tools/json_text.h"

namespace {

constexpr int kColumnCount = 10;
using Row = std::array<QString, kColumnCount>;

// Text columns are aligned left, numbers right.
constexpr std::array<bool, kColumnCount> kLeftAligned = {true,  false, false, false, true,
                                                         false, false, false, false, false};

const Row kHeader = {QStringLiteral("Section"),   QStringLiteral("Current mA"),
                     QStringLiteral("Freq Hz"),   QStringLiteral("Pulse µs"),
                     QStringLiteral("Mode"),      QStringLiteral("Duration"),
                     QStringLiteral("Pass Ω"),    QStringLiteral("Fail Ω"),
                     QStringLiteral("Charge µC"), QStringLiteral("Average mA")};

// The captions of the editor's two mode options.
QString ModeCaption(TestMode mode) {
  return mode == TestMode::Duration ? QStringLiteral("Duration") : QStringLiteral("Single Measure");
}

// Hours as the hours box shows them, then the minutes and seconds as the duration box does.
QString DurationColumn(const ProgramSettings& program) {
  return QString::number(program.durationHours) + u':' + DurationText(program.durationSeconds);
}

Row TableRow(const ProgramSummary& s) {
  const ProgramSettings& p = s.program;
  return {s.section,
          QString::number(CurrentLevelMilliamps(p.currentIndex)),
          QString::number(FrequencyHertz(p.frequencyIndex)),
          QString::number(p.pulseWidthUs),
          ModeCaption(p.mode),
          DurationColumn(p),
          QString::number(p.passOhms),
          QString::number(p.failOhms),
          s.pulseCharge,
          s.averageCurrent};
}

QString ProgramJson(const ProgramSummary& s) {
  using namespace json_text;
  std::vector<std::pair<QString, QString>> members{{QStringLiteral("section"), String(s.section)}};
  for (const auto& [name, value] : SettingsValues(s.program))
    members.emplace_back(name, Value(value));
  members.insert(members.end(),
                 {{QStringLiteral("pulse_charge_uC"), Decimal(s.pulseCharge.toDouble())},
                  {QStringLiteral("average_current_mA"), Decimal(s.averageCurrent.toDouble())},
                  {QStringLiteral("warnings"), StringArray(s.warnings)}});
  return Object(members);
}

}  // namespace

ProgramSummary SummarizeProgram(const TestProgramsModel& model, int index, const QString& section) {
  ProgramSummary summary;
  summary.section = section;
  summary.program = model.Settings(index);
  summary.pulseCharge = model.BoxText(index, ProgramBox::PulseCharge);
  summary.averageCurrent = model.BoxText(index, ProgramBox::AverageCurrent);
  summary.passBelowFail = model.PassBelowFail(index);
  return summary;
}

std::vector<ProgramSummary> SummarizeAllPrograms(const TestProgramsModel& model) {
  std::vector<ProgramSummary> programs;
  for (int i = 0; i < kProgramCount; ++i) {
    programs.push_back(SummarizeProgram(model, i, program_files::SectionName(i, false)));
  }
  return programs;
}

QString ProgramTable(const std::vector<ProgramSummary>& programs) {
  std::vector<Row> rows{kHeader};
  for (const ProgramSummary& program : programs) rows.push_back(TableRow(program));
  std::array<qsizetype, kColumnCount> widths{};
  for (const Row& row : rows) {
    for (int c = 0; c < kColumnCount; ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  QString table;
  for (const Row& row : rows) {
    QStringList cells;
    for (int c = 0; c < kColumnCount; ++c) {
      cells << (kLeftAligned[c] ? row[c].leftJustified(widths[c])
                                : row[c].rightJustified(widths[c]));
    }
    // The last column is a number, so nothing trails.
    table += cells.join(QLatin1String("  ")) + u'\n';
  }
  return table;
}

QString ProgramsJson(const std::vector<ProgramSummary>& programs) {
  QStringList items;
  for (const ProgramSummary& program : programs) items << ProgramJson(program);
  return json_text::Object({{QStringLiteral("programs"), json_text::Array(items)}});
}

QStringList PassFailFaults(const std::vector<ProgramSummary>& programs) {
  QStringList faults;
  for (const ProgramSummary& p : programs) {
    if (!p.passBelowFail) {
      faults << QStringLiteral("%1: pass %2 ohms is not below fail %3 ohms")
                    .arg(p.section)
                    .arg(p.program.passOhms)
                    .arg(p.program.failOhms);
    }
  }
  return faults;
}
