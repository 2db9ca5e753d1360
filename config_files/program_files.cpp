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
      return NotApplied(setting, Warning::Reason::Missing, {});
    }
    if (const int count = document_.KeyCount(section_, key); count > 1) {
      warnings_.push_back(
          {index_, key, Readable(text.trimmed()), Warning::Reason::KeyRepeated, {}, count});
    }
    const auto value = WholeNumber(text);
    if (value && model_.Accepts(index_, setting, *value)) {
      model_.ApplySetting(index_, setting, *value);
      return;
    }
    NotApplied(setting, Warning::Reason::NotApplied, Readable(text.trimmed()));
  }

  Outcome Finish() {
    Outcome outcome;
    if (const int count = document_.SectionCount(section_); count > 1) {
      warnings_.insert(warnings_.begin(),
                       {index_, section_, {}, Warning::Reason::SectionRepeated, {}, count});
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
  void NotApplied(ProgramSetting setting, Warning::Reason reason, const QString& value) {
    warnings_.push_back(
        {index_, SettingKey(setting), value, reason, model_.AllowedValues(index_, setting), 0});
  }

  TestProgramsModel& model_;
  const int index_;
  const IniDocument& document_;
  const QString& fileName_;
  const QString section_;
  int missing_ = 0;
  std::vector<Warning> warnings_;
};

// A list's choice as the file names it (its text, "20" for 20 mA); empty before one is picked.
QString ListChoice(ProgramList list, int index) {
  const QStringList& items = TestProgramsModel::ListItems(list);
  return index >= 1 && index <= items.size() ? items.at(index - 1) : QString();
}

void WriteProgram(IniDocument& document, const TestProgramsModel& model, int index,
                  const QString& section) {
  // What an upload sends, but with the duration as its sliders stand whatever the mode.
  const ProgramSettings program = model.Settings(index);
  const auto set = [&](ProgramSetting setting, const QString& value) {
    document.SetValue(section, SettingKey(setting), value);
  };
  set(ProgramSetting::Current, ListChoice(ProgramList::Current, program.currentIndex));
  set(ProgramSetting::Frequency, ListChoice(ProgramList::Frequency, program.frequencyIndex));
  set(ProgramSetting::PulseWidth, QString::number(program.pulseWidthUs));
  set(ProgramSetting::Mode, QString::number(static_cast<int>(program.mode)));
  set(ProgramSetting::Duration,
      QString::number(program.durationHours * kSecondsPerHour + program.durationSeconds));
  set(ProgramSetting::Pass, QString::number(program.passOhms));
  set(ProgramSetting::Fail, QString::number(program.failOhms));
}

Outcome Failed(const QString& error) { return {false, error, {}, {}}; }

}  // namespace

QString WarningText(const Warning& warning) {
  const QString program = QStringLiteral("Program %1: ").arg(warning.program + 1);
  switch (warning.reason) {
    case Warning::Reason::Missing:
      return program +
             QStringLiteral("%1 missing, not applied (%2)").arg(warning.key, warning.allowed);
    case Warning::Reason::NotApplied:
      return program + QStringLiteral("%1=%2 not applied (%3)")
                           .arg(warning.key, warning.value, warning.allowed);
    case Warning::Reason::KeyRepeated:
      return program + QStringLiteral("%1 appears %2; the first (%3) is used")
                           .arg(warning.key, Times(warning.count), warning.value);
    case Warning::Reason::SectionRepeated:
      return program + QStringLiteral("section [%1] appears %2; the first is used")
                           .arg(warning.key, Times(warning.count));
  }
  return program;
}

QStringList WarningTexts(const std::vector<Warning>& warnings) {
  QStringList texts;
  for (const Warning& warning : warnings) texts << WarningText(warning);
  return texts;
}

bool IsSingleProgramFile(const QString& fileName) {
  return QFileInfo(fileName).suffix().compare(QLatin1String("vsp"), Qt::CaseInsensitive) == 0;
}

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
    all.warnings.insert(all.warnings.end(), one.warnings.begin(), one.warnings.end());
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
      &saved.notes);
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
      file_access::ReplaceFile(fileName, AllProgramsFileContent(model), &saved.notes);
  if (!error.isEmpty()) return Failed(error);
  return saved;
}

}  // namespace program_files
