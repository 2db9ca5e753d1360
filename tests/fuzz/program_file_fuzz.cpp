// libFuzzer target: any bytes loaded as an all-programs file leave every slider of the editor
// within its range, and the programs saved then loaded again come back the same.
#include <QLocale>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config_files/ini_document.h"
#include "config_files/program_files.h"
#include "programs/programs_model.h"

namespace {

constexpr ProgramSlider kSliders[] = {ProgramSlider::PulseWidth, ProgramSlider::Duration,
                                      ProgramSlider::DurationHr, ProgramSlider::PassOhms,
                                      ProgramSlider::FailOhms};

void CheckSliders(const TestProgramsModel& model) {
  for (int i = 0; i < kProgramCount; ++i) {
    for (const ProgramSlider slider : kSliders) {
      const SliderState state = model.Slider(i, slider);
      if (state.value < state.minimum || state.value > state.maximum) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  TestProgramsModel model(QLocale::c());
  model.StartUp();
  program_files::LoadAllProgramsFromDocument(model, IniDocument::FromBytes(bytes), "fuzz.vap");
  CheckSliders(model);

  const QByteArray saved = program_files::AllProgramsFileContent(model);
  TestProgramsModel reloaded(QLocale::c());
  reloaded.StartUp();
  program_files::LoadAllProgramsFromDocument(reloaded, IniDocument::FromBytes(saved), "fuzz.vap");
  CheckSliders(reloaded);
  if (program_files::AllProgramsFileContent(reloaded) != saved) std::abort();
  return 0;
}
