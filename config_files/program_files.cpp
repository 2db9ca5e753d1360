#include "config_files/program_files.h"

#include <QFileInfo>

#include <cmath>
#include <limits>
#include <optional>

#include "config_files/file_access.h"
#include "config_files/modINIReadWrite.h"
#include "programs/program_comparison.h"
#include "programs/programs_model.h"

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

QString ShortName(const QString& fileName) {
  return fileName == file_access::kStandardStream ? file_access::DisplayName(fileName)
                                                  : QFileInfo(fileName).fileName();
}

QString Times(int count) {
  return count == 2 ? QStringLiteral("twice") : QStringLiteral("%1 times").arg(count);
}

// A file value as the operator can read it in a message: control characters, which a terminal
// or the log would swallow, written out ("\0", "\x1b").
QString Readable(const QString& text) {
  QString readable;
  for (const QChar c : text) {
    if (c == QChar(0)) {
      readable += QStringLiteral("\\0");
    } else if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
      readable += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
    } else {
      readable += c;
    }
  }
  return readable;
}

// Reads one section's keys and applies each whole or not at all, noting every key not applied.
class SectionLoader {
 public:
  SectionLoader(TestProgramsModel& model, int index, const IniDocument& document,
                const QString& fileName, const QString& section)
      : model_(model), index_(index), document_(document), fileName_(fileName), section_(section) {}

  // The key's controls change only when the program can take its value as it stands; the
  // keys before it (the current level before the pulse width) are already applied.
  void Apply(ProgramSetting setting) {
    const QString key = SettingKey(setting);
    const QString text =
        document_.Value(section_, key).value_or(QString()).left(modINIReadWrite::kMaxValueChars);
    if (text.isEmpty()) {
      ++missing_;
      return NotApplied(setting, key + QStringLiteral(" missing,"));
    }
    if (const int count = document_.KeyCount(section_, key); count > 1) {
      warnings_ << QStringLiteral("Program %1: %2 appears %3; the first (%4) is used")
                       .arg(index_ + 1)
                       .arg(key, Times(count), Readable(text.trimmed()));
    }
    const auto value = WholeNumber(text);
    if (value && model_.Accepts(index_, setting, *value)) {
      model_.ApplySetting(index_, setting, *value);
      return;
    }
    NotApplied(setting, key + u'=' + Readable(text.trimmed()));
  }

  Outcome Finish() {
    Outcome outcome;
    if (const int count = document_.SectionCount(section_); count > 1) {
      warnings_.prepend(QStringLiteral("Program %1: section [%2] appears %3; the first is used")
                            .arg(index_ + 1)
                            .arg(section_, Times(count)));
    }
    // A section without any of the keys is one failure, not seven keys not applied.
    if (missing_ < kSettingCount) outcome.warnings = warnings_;
    if (missing_ == kSettingCount) {
      outcome.ok = false;
      outcome.error = QStringLiteral("The file %1 holds no settings of section [%2].")
                          .arg(ShortName(fileName_), section_);
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
  const IniDocument& document_;
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

Outcome Failed(const QString& error) { return {false, error, {}}; }

}  // namespace

QString SectionName(int programIndex, bool singleProgram) {
  return singleProgram ? QStringLiteral("Program")
                       : QStringLiteral("Program%1").arg(programIndex + 1);
}

Outcome LoadProgramFromDocument(TestProgramsModel& model, int programIndex,
                                const IniDocument& document, const QString& fileName,
                                bool singleProgram) {
  SectionLoader load(model, programIndex, document, fileName,
                     SectionName(programIndex, singleProgram));
  for (int setting = 0; setting < kSettingCount; ++setting) {
    load.Apply(static_cast<ProgramSetting>(setting));
  }
  return load.Finish();
}

Outcome LoadAllProgramsFromDocument(TestProgramsModel& model, const IniDocument& document,
                                    const QString& fileName) {
  Outcome all;
  for (int index = 0; index < kProgramCount; ++index) {
    Outcome one = LoadProgramFromDocument(model, index, document, fileName, false);
    all.warnings << one.warnings;
    if (!one.ok) {
      all.ok = false;
      all.error += (all.error.isEmpty() ? QString() : QStringLiteral("\n")) + one.error;
    }
  }
  return all;
}

Outcome LoadProgramFromFile(TestProgramsModel& model, int programIndex, const QString& fileName,
                            bool singleProgram) {
  const modINIReadWrite::IniLoad load = modINIReadWrite::LoadIniFile(fileName);
  if (!load.document) return Failed(load.error);
  return LoadProgramFromDocument(model, programIndex, *load.document, fileName, singleProgram);
}

Outcome LoadAllProgramsFromFile(TestProgramsModel& model, const QString& fileName) {
  const modINIReadWrite::IniLoad load = modINIReadWrite::LoadIniFile(fileName);
  if (!load.document) return Failed(load.error);
  return LoadAllProgramsFromDocument(model, *load.document, fileName);
}

Outcome SaveProgramToFile(const TestProgramsModel& model, int programIndex, const QString& fileName,
                          bool singleProgram) {
  Outcome saved;
  const QString error = modINIReadWrite::ChangeIniFile(
      fileName,
      [&](IniDocument& document) {
        WriteProgram(document, model, programIndex, SectionName(programIndex, singleProgram));
        return true;
      },
      &saved.warnings);
  if (!error.isEmpty()) return Failed(error);
  return saved;
}

QByteArray AllProgramsFileContent(const TestProgramsModel& model) {
  IniDocument document;
  for (int index = 0; index < kProgramCount; ++index) {
    WriteProgram(document, model, index, SectionName(index, false));
  }
  return document.ToBytes();
}

Outcome SaveAllProgramsToFile(const TestProgramsModel& model, const QString& fileName) {
  // Nothing of the old file is read, so the replacement alone makes it all-or-nothing.
  Outcome saved;
  const QString error =
      file_access::ReplaceFile(fileName, AllProgramsFileContent(model), &saved.warnings);
  if (!error.isEmpty()) return Failed(error);
  return saved;
}

}  // namespace program_files
