#include "tools/simulator_state.h"

#include "backends/simulated_tester.h"
#include "config_files/program_files.h"
#include "device_link/command_frames.h"
#include "device_link/reply_decoder.h"
#include "programs/programs_model.h"
#include "tools/program_file_input.h"

namespace {

// The program-values replies of a decoded frame; everything else is of no interest here.
class ProgramValuesCollector : public ReplyEvents {
 public:
  explicit ProgramValuesCollector(TestProgramsModel& model) : model_(model) {}

  void RXProgramValues(const ProgramValuesReply& r) override {
    model_.ApplyReceivedProgram(r.program);
  }

 private:
  TestProgramsModel& model_;
};

}  // namespace

CommandResult RestoreSimulatorState(SimulatedTester& simulator, const QString& stateFile,
                                    std::size_t device, QStringList& warnings) {
  // The state is an all-programs file whatever its name says.
  const ProgramFileText file = ReadProgramFile(stateFile, ProgramFileKind::AllPrograms);
  if (file.missing) return {};
  TestProgramsModel model(QLocale::c());
  model.StartUp();
  const FileInput input = LoadFileIntoEditor(model, file, 0, [](const QString&) {});
  if (!input.result.Ok()) return input.result;
  for (const program_files::Warning& warning : input.warnings) {
    warnings << QStringLiteral("%1 (the simulated tester's STATE %2)")
                    .arg(program_files::WarningText(warning), stateFile);
  }
  for (int i = 0; i < kProgramCount; ++i) {
    simulator.Tester(device).SetProgram(model.UploadSettings(i));
  }
  return {};
}

CommandResult SaveSimulatorState(SimulatedTester& simulator, const QString& stateFile,
                                 std::size_t device, QStringList* notes) {
  TestProgramsModel model(QLocale::c());
  model.StartUp();
  // Each program as the tester reports it when asked over the wire.
  ProgramValuesCollector collector(model);
  ReplyDecoder decoder;
  for (qint16 number = 1; number <= kProgramCount; ++number) {
    for (const TimedReply& reply :
         simulator.Tester(device).Answer(*frames::GetProgramValues(number), SimTime{0})) {
      decoder.Decode(reply.frame, collector);
    }
  }
  const program_files::Outcome saved = program_files::SaveAllProgramsToFile(model, stateFile);
  if (notes != nullptr) notes->append(saved.notes);
  if (saved.ok) return {};
  return CommandResult::Failure(ExitStatus::FileFailure, saved.error);
}
