#include "program_files.h"

#include <QFileInfo>

#include <cmath>
#include <limits>
#include <optional>

#include "file_access.h"
#include "modINIReadWrite.h"
#include "program_values.h"
#include "test_programs_model.h"

namespace program_files {
namespace {

const QString kCurrent = QStringLiteral("Current");
const QString kFrequency = QStringLiteral("Frequency");
const QString kPulseWidth = QStringLiteral("PulseWidth");
const QString kMode = QStringLiteral("Mode");
const QString kDuration = QStringLiteral("Duration");
const QString kPass = QStringLiteral("Pass");
const QString kFail = QStringLiteral("Fail");
const QStringList kKeys = {kCurrent, kFrequency, kPulseWidth, kMode, kDuration, kPass, kFail};

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

bool Fits16Bits(qint32 value) {
  return value >= std::numeric_limits<qint16>::min() && value <= std::numeric_limits<qint16>::max();
}

// Reads one section's keys and applies them, noting what could not be applied.
class SectionLoader {
 public:
  SectionLoader(TestProgramsModel& model, int index, const IniDocument& document,
                const QString& fileName, const QString& section)
      : model_(model), index_(index), document_(document), fileName_(fileName), section_(section) {}

  // The key's number, or nothing (with a warning) when the key is missing or not a number.
  std::optional<qint32> Number(const QString& key) {
    const QString text =
        document_.Value(section_, key).value_or(QString()).left(modINIReadWrite::kMaxValueChars);
    if (text.isEmpty()) {
      ++missing_;
      Warn(key, QStringLiteral("missing"));
      return std::nullopt;
    }
    const auto value = WholeNumber(text);
    if (!value) Warn(key, QStringLiteral("\"%1\" is not a number").arg(text));
    return value;
  }

  void List(const QString& key, ProgramList list) {
    const auto value = Number(key);
    if (!value) return;
    const QString text = QString::number(*value);
    if (!TestProgramsModel::ListItems(list).contains(text)) return Refused(key, *value);
    model_.SetListText(index_, list, text);
  }

  void SliderAndBox(const QString& key, ProgramSlider slider, ProgramBox box) {
    const auto value = Number(key);
    if (!value) return;
    SetSlider(key, slider, *value);
    model_.SetBoxText(index_, box, QString::number(*value));
  }

  void Mode() {
    const auto value = Number(kMode);
    if (!value) return;
    if (*value == 1) {
      model_.SelectMode(index_, ProgramMode::Duration);
    } else if (*value == 2) {
      model_.SelectMode(index_, ProgramMode::SingleMeasure);
    } else {
      Refused(kMode, *value);
    }
  }

  void Duration() {
    const auto value = Number(kDuration);
    if (!value) return;
    const qint32 hours = *value / kSecondsPerHour;
    SetSlider(kDuration, ProgramSlider::DurationHr, hours);
    model_.SetBoxText(index_, ProgramBox::DurationHr, QString::number(hours));
    model_.CheckDurationMin(index_);
    const qint32 seconds = *value % kSecondsPerHour;
    SetSlider(kDuration, ProgramSlider::Duration, seconds);
    model_.SetBoxText(index_, ProgramBox::Duration, DurationText(seconds));
  }

  Outcome Finish() {
    Outcome outcome;
    outcome.warnings = warnings_;
    if (missing_ == kKeys.size()) {
      outcome.ok = false;
      outcome.error = QStringLiteral("The file %1 holds no settings of section [%2].")
                          .arg(ShortName(fileName_), section_);
    }
    return outcome;
  }

 private:
  void SetSlider(const QString& key, ProgramSlider slider, qint32 value) {
    const SliderState state = model_.Slider(index_, slider);
    if (!Fits16Bits(value) || value < state.minimum || value > state.maximum) {
      Refused(key, value);
    }
    if (Fits16Bits(value)) model_.SetSliderValue(index_, slider, value);
  }

  void Refused(const QString& key, qint32 value) {
    Warn(key, QStringLiteral("%1 refused").arg(value));
  }

  void Warn(const QString& key, const QString& what) {
    warnings_ << QStringLiteral("%1: %2 %3").arg(section_, key, what);
  }

  TestProgramsModel& model_;
  const int index_;
  const IniDocument& document_;
  const QString& fileName_;
  const QString section_;
  qsizetype missing_ = 0;
  QStringList warnings_;
};

void WriteProgram(IniDocument& document, const TestProgramsModel& model, int index,
                  const QString& section) {
  const qint32 duration = model.Slider(index, ProgramSlider::DurationHr).value * kSecondsPerHour +
                          model.Slider(index, ProgramSlider::Duration).value;
  const QString mode =
      model.Mode(index) == ProgramMode::SingleMeasure ? QStringLiteral("2") : QStringLiteral("1");
  document.SetValue(section, kCurrent, model.ListText(index, ProgramList::Current));
  document.SetValue(section, kFrequency, model.ListText(index, ProgramList::Frequency));
  document.SetValue(section, kPulseWidth, model.BoxText(index, ProgramBox::PulseWidth));
  document.SetValue(section, kMode, mode);
  document.SetValue(section, kDuration, QString::number(duration));
  document.SetValue(section, kPass, model.BoxText(index, ProgramBox::PassOhms));
  document.SetValue(section, kFail, model.BoxText(index, ProgramBox::FailOhms));
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
  load.List(kCurrent, ProgramList::Current);
  load.List(kFrequency, ProgramList::Frequency);
  load.SliderAndBox(kPulseWidth, ProgramSlider::PulseWidth, ProgramBox::PulseWidth);
  load.Mode();
  load.Duration();
  load.SliderAndBox(kPass, ProgramSlider::PassOhms, ProgramBox::PassOhms);
  load.SliderAndBox(kFail, ProgramSlider::FailOhms, ProgramBox::FailOhms);
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
  const QString error = modINIReadWrite::ChangeIniFile(fileName, [&](IniDocument& document) {
    WriteProgram(document, model, programIndex, SectionName(programIndex, singleProgram));
    return true;
  });
  if (!error.isEmpty()) return Failed(error);
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
  // Nothing of the old file is read, so the replacement alone makes it all-or-nothing.
  const QString error = file_access::ReplaceFile(fileName, AllProgramsFileContent(model));
  if (!error.isEmpty()) return Failed(error);
  return {};
}

}  // namespace program_files
