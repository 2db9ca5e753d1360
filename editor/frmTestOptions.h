#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "programs/program_transfer_state.h"
#include "programs/tester_identity.h"

class D2xx;
class OperatorPrompts;
class ProgramTab;
class ProgramTransfer;
class QPushButton;
class QTabWidget;
class TestProgramsModel;
class ctlVELD32UsbComm;
class ctlVELD32UsbCommStrip;

// The test program editor window ("Test Options"): the link's status strip, one tab per
// program and the upload button. It owns the one device link of the utility and is its only
// user: it downloads all programs whenever the link connects, one program on its tab's
// button, uploads all three after checking the limits and the link, logs the transfer and
// asks the operator to replug the tester when the link fails. A download that would replace
// programs holding changes the tester does not have asks first; a tab whose program differs
// from what the tester last reported is marked on its caption, and while a transfer awaits its
// replies the tabs are read-only and the strip says what is in progress; while a test runs the
// download and upload buttons are disabled. After each download it
// asks the tester who it is and announces the identity line, cleared when the link closes. Its
// size is fixed once
// built: kWidth wide unless the desktop's fonts need more, so width() is what neighbours go by.
class frmTestOptions : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 330;

  // Builds the window and runs Form_Load; it does not connect.
  frmTestOptions(std::shared_ptr<D2xx> driver, OperatorPrompts& prompts, QWidget* parent = nullptr);
  ~frmTestOptions() override;

  // Start-up: no Close command, the defaults, then the derived values of every program.
  void Form_Load();
  // The window goes away: a connected link is disconnected. Never cancels.
  void Form_QueryUnload();

  void cmdSave_Click();
  void cmdReload_Click(int Index);

  ctlVELD32UsbComm& ctlVELD32UsbComm1() { return *link_; }
  TestProgramsModel& Model() { return *model_; }
  const ProgramTransferState& Transfer() const;
  // A download or upload awaits its replies; the programs must not be changed meanwhile.
  bool TransferInProgress() const;
  // Whether the tester's programs may replace the given ones (0..2): yes when none holds
  // unsent changes, else the operator decides.
  bool MayReplace(const std::vector<int>& indexes);
  // A test runs on the tester: the download and upload buttons are disabled meanwhile.
  void SetRunInProgress(bool running);
  // Asked before the strip's button disconnects the link; false keeps it connected.
  void SetDisconnectCheck(std::function<bool()> check);
  // Asked before the strip's button connects the link (to choose the tester); false leaves it
  // down.
  void SetConnectCheck(std::function<bool()> check);
  // The connected tester as it last identified itself; empty while it has not.
  const TesterIdentity& Identity() const { return identified_; }
  // The program (0..2) of the tab in front.
  int CurrentProgram() const;

 signals:
  void TransferInProgressChanged(bool inProgress);
  // The connected tester identified itself (after each download), or the link went down
  // (an empty identity).
  void TesterIdentified(const TesterIdentity& identity);

 signals:
  // The connected tester's identity line (IdentityLine); empty once the link has closed.
  void TesterIdentityChanged(const QString& text);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ctlVELD32UsbComm1_UsbConnected();
  void ctlVELD32UsbComm1_UsbError();
  // Captions, tooltips and read-only state from what the tester holds and what is in progress.
  void ShowTesterState();
  void ClearIdentity();

  OperatorPrompts& prompts_;
  TestProgramsModel* model_;
  ctlVELD32UsbComm* link_;
  ProgramTransfer* transfer_;
  TesterIdentityRequest* identity_;
  TesterIdentity identified_;
  QTabWidget* SSTab1;
  std::array<ProgramTab*, 3> tabs_{};
  QPushButton* cmdSave;
  ctlVELD32UsbCommStrip* strip_;
  bool transferShown_ = false;
  bool runInProgress_ = false;
};
