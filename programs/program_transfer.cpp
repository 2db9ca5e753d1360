#include "programs/program_transfer.h"

#include <QLocale>

#include "device_link/ctlVELD32UsbComm.h"
#include "programs/programs_model.h"

namespace {

// What the editor holds before the tester has reported anything.
const std::array<ProgramSettings, kProgramCount>& StartUpPrograms() {
  static const std::array<ProgramSettings, kProgramCount> programs = [] {
    TestProgramsModel model(QLocale::c());
    model.StartUp();
    std::array<ProgramSettings, kProgramCount> all;
    for (int i = 0; i < kProgramCount; ++i) all[i] = model.UploadSettings(i);
    return all;
  }();
  return programs;
}

bool IsProgramIndex(int vIndex) { return vIndex >= 0 && vIndex < kProgramCount; }

}  // namespace

ProgramTransfer::ProgramTransfer(ctlVELD32UsbComm& link, TestProgramsModel& model, Log log,
                                 Switch logFrames, Switch logBuffer, QObject* parent)
    : QObject(parent), link_(link), model_(model), log_(std::move(log)) {
  connect(&link_, &ctlVELD32UsbComm::RXData, this, [this, logFrames](const QString& vData) {
    if (logFrames()) log_(QStringLiteral("RX <- ") + vData);
  });
  connect(&link_, &ctlVELD32UsbComm::TXData, this, [this, logFrames](const QString& vData) {
    if (logFrames()) log_(QStringLiteral("TX -> ") + vData);
  });
  connect(&link_, &ctlVELD32UsbComm::RXDataInBuffer, this,
          [this, logBuffer](const QString& vBufferData) {
            if (logBuffer()) log_(QStringLiteral("RXBuffer <- ") + vBufferData);
          });
  connect(&link_, &ctlVELD32UsbComm::UsbConnected, this,
          [this] { log_(QStringLiteral("* VELD32 Connected")); });
  connect(&link_, &ctlVELD32UsbComm::UsbClosed, this, [this] {
    log_(QStringLiteral("* VELD32 Disconnected"));
    FinishAwaiting();
  });
  // No reply comes over a dropped link: nothing is in progress any more.
  connect(&link_, &ctlVELD32UsbComm::UsbError, this, [this] { FinishAwaiting(); });
  // The averages, the charge and the command text of a reply are the tester's own view; the
  // editor derives its own from the settings.
  connect(&link_, &ctlVELD32UsbComm::RXProgramSettings, this, &ProgramTransfer::Apply);
}

void ProgramTransfer::Reset() {
  state_.Reset();
  testerHolds_ = {};
  sent_ = {};
  echoDifferences_.clear();
  activity_ = Work::None;
  awaitedReplies_ = 0;
  emit TesterStateChanged();
}

void ProgramTransfer::DownloadAll() {
  log_(QStringLiteral("Loading program data..."));
  state_.BeginDownload();
  Await(Work::DownloadAll, kProgramCount);
  for (qint16 program = 1; program <= kProgramCount; ++program) link_.TXGetProgramValues(program);
}

void ProgramTransfer::Reload(int index) {
  if (!link_.Connected()) return;
  log_(QStringLiteral("Reloading Program %1 data from VELD32.").arg(index + 1));
  reloadedIndex_ = index;
  Await(Work::DownloadOne, 1);
  link_.TXGetProgramValues(static_cast<qint16>(index + 1));
}

void ProgramTransfer::UploadAll() {
  log_(QStringLiteral("Saving All Program Data to VELD32..."));
  state_.BeginUpload();
  echoDifferences_.clear();
  for (int i = 0; i < kProgramCount; ++i) sent_[i] = model_.UploadSettings(i);
  Await(Work::Upload, kProgramCount);
  for (int i = 0; i < kProgramCount; ++i) link_.TXSetProgramValues(*sent_[i]);
}

void ProgramTransfer::Apply(const ProgramSettings& program) {
  const bool fullDownload = state_.LoadingPrograms();
  state_.CountReply();
  model_.ApplyReceivedProgram(program);
  const int i = program.number - 1;
  if (IsProgramIndex(i)) {
    testerHolds_[i] = UploadForm(program);
    if (activity_ == Work::Upload) CompareEcho(i, *testerHolds_[i]);
  }
  // A reply the editor did not ask for (a test run reads its program) completes no transfer of
  // the editor's, so it logs no completion.
  const auto line = activity_ == Work::None ? std::optional<QString>() : state_.CompletionLine();
  if (line) log_(*line);
  // Every reply counts, whatever its program number, as the completion counts it.
  if (awaitedReplies_ > 0 && --awaitedReplies_ == 0) FinishAwaiting();
  emit TesterStateChanged();
  emit ProgramReceived(program);
  if (fullDownload && line == kDownloadCompleteLine) emit DownloadCompleted();
}

void ProgramTransfer::Await(Work work, int replies) {
  activity_ = work;
  awaitedReplies_ = replies;
  emit TesterStateChanged();
}

void ProgramTransfer::CompareEcho(int vIndex, const ProgramSettings& held) {
  if (!sent_[vIndex]) return;
  for (const SettingDifference& d : DifferingSettings(*sent_[vIndex], held)) {
    const QString line = QStringLiteral("Program %1: %2 sent %3, VELD32 holds %4")
                             .arg(vIndex + 1)
                             .arg(SettingKey(d.setting), SettingValueText(d.setting, d.editor),
                                  SettingValueText(d.setting, d.tester));
    log_(line);
    echoDifferences_ << line;
  }
  sent_[vIndex].reset();
}

void ProgramTransfer::FinishAwaiting() {
  const bool uploadAnswered = activity_ == Work::Upload && awaitedReplies_ == 0;
  const bool wasBusy = activity_ != Work::None;
  activity_ = Work::None;
  awaitedReplies_ = 0;
  if (uploadAnswered) {
    for (int i = 0; i < kProgramCount; ++i) {
      if (!sent_[i]) continue;
      echoDifferences_ << QStringLiteral("Program %1: no reply from the VELD32").arg(i + 1);
      log_(echoDifferences_.back());
    }
    if (!echoDifferences_.isEmpty()) emit UploadEchoDiffers(echoDifferences_);
  }
  sent_ = {};
  echoDifferences_.clear();
  if (wasBusy) emit TesterStateChanged();
}

std::optional<ProgramSettings> ProgramTransfer::TesterHolds(int vIndex) const {
  return IsProgramIndex(vIndex) ? testerHolds_[vIndex] : std::nullopt;
}

std::vector<SettingDifference> ProgramTransfer::Differences(int vIndex) const {
  const auto held = TesterHolds(vIndex);
  if (!held) return {};
  return DifferingSettings(model_.UploadSettings(vIndex), *held);
}

bool ProgramTransfer::HasUnsentChanges(int vIndex) const {
  if (!IsProgramIndex(vIndex)) return false;
  const ProgramSettings baseline = TesterHolds(vIndex).value_or(StartUpPrograms()[vIndex]);
  return !DifferingSettings(model_.UploadSettings(vIndex), baseline).empty();
}

QString ProgramTransfer::Activity() const {
  switch (activity_) {
    case Work::DownloadAll:
      return QStringLiteral("Downloading %1 of %2…")
          .arg(kProgramCount - awaitedReplies_ + 1)
          .arg(kProgramCount);
    case Work::DownloadOne:
      return QStringLiteral("Downloading Program %1…").arg(reloadedIndex_ + 1);
    case Work::Upload:
      return QStringLiteral("Uploading…");
    case Work::None:
      break;
  }
  return {};
}
