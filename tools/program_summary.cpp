#include "tools/program_summary.h"

#include <algorithm>
#include <array>

#include "config_files/program_files.h"
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
QString ModeCaption(ProgramMode mode) {
  return mode == ProgramMode::Duration ? QStringLiteral("Duration")
                                       : QStringLiteral("Single Measure");
}

QString ModeJson(ProgramMode mode) {
  return mode == ProgramMode::Duration ? QStringLiteral("duration") : QStringLiteral("single");
}

// Hours as the hours box shows them, then the minutes and seconds as the duration box does.
QString DurationColumn(const ProgramSummary& program) {
  return QString::number(program.durationHr) + u':' + DurationText(program.durationSeconds);
}

Row TableRow(const ProgramSummary& p) {
  return {p.section,
          QString::number(p.currentMa),
          QString::number(p.frequencyHz),
          QString::number(p.pulseWidthUs),
          ModeCaption(p.mode),
          DurationColumn(p),
          QString::number(p.passOhms),
          QString::number(p.failOhms),
          p.pulseCharge,
          p.averageCurrent};
}

QString ProgramJson(const ProgramSummary& p) {
  using namespace json_text;
  return Object({{QStringLiteral("section"), String(p.section)},
                 {QStringLiteral("current_mA"), Integer(p.currentMa)},
                 {QStringLiteral("frequency_Hz"), Integer(p.frequencyHz)},
                 {QStringLiteral("pulse_width_us"), Integer(p.pulseWidthUs)},
                 {QStringLiteral("mode"), String(ModeJson(p.mode))},
                 {QStringLiteral("duration_s"), Integer(p.TotalSeconds())},
                 {QStringLiteral("pass_ohms"), Integer(p.passOhms)},
                 {QStringLiteral("fail_ohms"), Integer(p.failOhms)},
                 {QStringLiteral("pulse_charge_uC"), Decimal(p.pulseCharge.toDouble())},
                 {QStringLiteral("average_current_mA"), Decimal(p.averageCurrent.toDouble())},
                 {QStringLiteral("warnings"), StringArray(p.warnings)}});
}

}  // namespace

ProgramSummary SummarizeProgram(const TestProgramsModel& model, int index, const QString& section) {
  const auto value = [&](ProgramSlider slider) { return model.Slider(index, slider).value; };
  ProgramSummary summary;
  summary.section = section;
  summary.currentMa = model.ListText(index, ProgramList::Current).toInt();
  summary.frequencyHz = model.ListText(index, ProgramList::Frequency).toInt();
  summary.pulseWidthUs = value(ProgramSlider::PulseWidth);
  summary.mode = model.Mode(index);
  summary.durationHr = value(ProgramSlider::DurationHr);
  summary.durationSeconds = value(ProgramSlider::Duration);
  summary.passOhms = value(ProgramSlider::PassOhms);
  summary.failOhms = value(ProgramSlider::FailOhms);
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
                    .arg(p.passOhms)
                    .arg(p.failOhms);
    }
  }
  return faults;
}
