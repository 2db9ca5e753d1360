#include "program_files.h"

#include <QFileInfo>

#include <cmath>
#include <limits>
#include <optional>

#include "modINIReadWrite.h"
#include "program_comparison.h"
#include "test_programs_model.h"

namespace program_files {
namespace {

constexpr int kSecondsPerHour = 3600;

// A file value as a whole number: blanks around it allowed, a fraction rounded to the nearest
// whole number with an exact half going to the even neighbour ("12.5" -> 12, "13.5" -> 14).
std::optional<qint32> WholeNumber(const QString& text) {
  bool ok = false;
  const double value = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;
  const double rounded = std::nearbyint(value);
  if (rounded < std::numeric_limits<qint32>::min() ||
      rounded > std::numeric_limits<qint32>::max()) {
    return std::nullopt;
  }
  return static_cast<qint32>(rounded);
}

// Reads one section's keys and applies each whole or not at all, noting every key not applied.
class SectionLoader {
 public:
  SectionLoader(TestProgramsModel& model, int index, const QString& fileName,
                const QString& section)
      : model_(model), index_(index), fileName_(fileName), section_(section) {}

  // The key's controls change only when the program can take its value as it stands; the
  // keys before it (the current level before the pulse width) are already applied.
  void Apply(ProgramSetting setting) {
    const QString key = SettingKey(setting);
    const QString text = modINIReadWrite::ReadINIString(section_, key, fileName_);
    if (text.isEmpty()) {
      ++missing_;
      return NotApplied(setting, key + QStringLiteral(" missing,"));
    }
    const auto value = WholeNumber(text);
    if (value && model_.Accepts(index_, setting, *value)) {
      model_.ApplySetting(index_, setting, *value);
      return;
    }
    NotApplied(setting, key + u'=' + text.trimmed());
  }

  Outcome Finish() {
    Outcome outcome;
    // A section without any of the keys is one failure, not seven keys not applied.
    if (missing_ < kSettingCount) outcome.warnings = warnings_;
    if (missing_ == kSettingCount) {
      outcome.ok = false;
      outcome.error = QStringLiteral("The file %1 holds no settings of section [%2].")
                          .arg(QFileInfo(fileName_).fileName(), section_);
    }
    return outcome;
  }

 private:
  void NotApplied(ProgramSetting setting, const QString& what) {
    warnings_ << QStringLiteral("Program %1: %2 not applied (%3)")
                     .arg(index_ + 1)
                     .arg(what, model_.AllowedValues(index_, setting));
  }

  TestProgramsModel& model_;
  const int index_;
  const QString& fileName_;
  const QString section_;
  int missing_ = 0;
  QStringList warnings_;
};

void WriteProgram(IniDocument& document, const TestProgramsModel& model, int index,
                  const QString& section) {
  const qint32 duration = model.Slider(index, ProgramSlider::DurationHr).value * kSecondsPerHour +
                          model.Slider(index, ProgramSlider::Duration).value;
  const auto set = [&](ProgramSetting setting, const QString& value) {
    document.SetValue(section, SettingKey(setting), value);
  };
  // What an upload sends: the lists and sliders, never a box's text.
  const auto slider = [&](ProgramSlider s) {
    return QString::number(model.Slider(index, s).value);
  };
  set(ProgramSetting::Current, model.ListText(index, ProgramList::Current));
  set(ProgramSetting::Frequency, model.ListText(index, ProgramList::Frequency));
  set(ProgramSetting::PulseWidth, slider(ProgramSlider::PulseWidth));
  set(ProgramSetting::Mode,
      model.Mode(index) == ProgramMode::SingleMeasure ? QStringLiteral("2") : QStringLiteral("1"));
  set(ProgramSetting::Duration, QString::number(duration));
  set(ProgramSetting::Pass, slider(ProgramSlider::PassOhms));
  set(ProgramSetting::Fail, slider(ProgramSlider::FailOhms));
}

Outcome NotWritten(const QString& fileName) {
  return {false, QStringLiteral("The file %1 could not be written.").arg(fileName), {}};
}

}  // namespace

QString SectionName(int programIndex, bool singleProgram) {
  return singleProgram ? QStringLiteral("Program")
                       : QStringLiteral("Program%1").arg(programIndex + 1);
}

Outcome LoadProgramFromFile(TestProgramsModel& model, int programIndex, const QString& fileName,
                            bool singleProgram) {
  SectionLoader load(model, programIndex, fileName, SectionName(programIndex, singleProgram));
  for (int setting = 0; setting < kSettingCount; ++setting) {
    load.Apply(static_cast<ProgramSetting>(setting));
  }
  return load.Finish();
}

Outcome LoadAllProgramsFromFile(TestProgramsModel& model, const QString& fileName) {
  Outcome all;
  for (int index = 0; index < kProgramCount; ++index) {
    Outcome one = LoadProgramFromFile(model, index, fileName, false);
    all.warnings << one.warnings;
    if (!one.ok) {
      all.ok = false;
      all.error += (all.error.isEmpty() ? QString() : QStringLiteral("\n")) + one.error;
    }
  }
  return all;
}

Outcome SaveProgramToFile(const TestProgramsModel& model, int programIndex, const QString& fileName,
                          bool singleProgram) {
  std::optional<IniDocument> document = modINIReadWrite::LoadIniFile(fileName);
  if (!document) return NotWritten(fileName);
  WriteProgram(*document, model, programIndex, SectionName(programIndex, singleProgram));
  if (!modINIReadWrite::SaveIniFile(*document, fileName)) return NotWritten(fileName);
  return {};
}

QByteArray AllProgramsFileContent(const TestProgramsModel& model) {
  IniDocument document;
  for (int index = 0; index < kProgramCount; ++index) {
    WriteProgram(document, model, index, SectionName(index, false));
  }
  return document.ToBytes();
}

Outcome SaveAllProgramsToFile(const TestProgramsModel& model, const QString& fileName) {
  // The new content replaces the old file only once it is whole.
  if (!modINIReadWrite::SaveIniFile(IniDocument::FromBytes(AllProgramsFileContent(model)),
                                    fileName)) {
    return NotWritten(fileName);
  }
  return {};
}

}  // namespace program_files
