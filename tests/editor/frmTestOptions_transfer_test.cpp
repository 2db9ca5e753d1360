#include <algorithm>

#include "editor_window_fixture.h"
#include "test_programs_model.h"

namespace {

// The tester's three programs; the second is a Single Measure program carrying 3 h 600 s.
const char* const kProgram1 = "(MP11,5,3,09,0030,1,000,100,100,0100,0000,1000)";
const char* const kProgram2 = "(MP12,4,8,29,0600,2,004,500,150,0150,0003,0900)";
const char* const kProgram3 = "(MP13,1,1,19,0015,1,000,002,010,0150,0000,1000)";

const QString kLimitsMessage =
    "ERROR - Pass(ohms) value must be less than Fail(ohms) value!  Save to VELD32 aborted.";
const QString kNotConnectedMessage = "ERROR - VELD32 not connected!  Save to VELD32 aborted.";
const QString kReplugMessage =
    "There is an error communicating with the VELD32 device. \r\n\r\n"
    "Please disconnect and reconnect the VELD32 device, and then click 'OK'";

class EditorTransfer : public EditorWindowTest {
 protected:
  EditorTransfer() {
    driver->replies["(MP11)"] = kProgram1;
    driver->replies["(MP12)"] = kProgram2;
    driver->replies["(MP13)"] = kProgram3;
    // The tester answers a program write with the program's values.
    driver->onWrite = [this](const std::string& frame) {
      if (frame.starts_with("(MP0")) driver->rx += frame;
    };
  }

  void Connect() { Link().OpenDevice(); }
  void Tick(int count = 1) {
    for (int i = 0; i < count; ++i) Link().PollingTimer_Timer();
  }
  // Connected, with the full download of the connection finished and the log emptied.
  void ConnectAndDownload() {
    Connect();
    Tick(4);
    ASSERT_FALSE(form->Transfer().LoadingPrograms());
    modMain::StatusLogText.clear();
  }
  int Calls(const std::string& function) const {
    return static_cast<int>(std::count(driver->calls.begin(), driver->calls.end(), function));
  }
  // The fields of the last program write for `program`, without "(MP0" and ")".
  QStringList WrittenFields(int program) const {
    const std::string head = "(MP0" + std::to_string(program) + ",";
    for (auto it = driver->writes.rbegin(); it != driver->writes.rend(); ++it) {
      if (it->starts_with(head)) {
        return QString::fromStdString(it->substr(4, it->size() - 5)).split(',');
      }
    }
    return {};
  }
};

TEST_F(EditorTransfer, ConnectionDownloadsAllProgramsAndLogsEveryFrame) {
  modMain::ShowVerbose = true;
  Connect();
  Tick(4);
  EXPECT_EQ(LogLines(),
            (QStringList{"TX -> (*)", "RX <- (*)", "* VELD32 Connected", "Loading program data...",
                         "TX -> (MP11)", QString("RX <- ") + kProgram1, "TX -> (MP12)",
                         QString("RX <- ") + kProgram2, "TX -> (MP13)",
                         QString("RX <- ") + kProgram3, "Program data load complete."}));
}

TEST_F(EditorTransfer, DownloadButtonReloadsItsOwnProgram) {
  ConnectAndDownload();
  Control<QPushButton>("cmdReload1")->click();
  EXPECT_EQ(LogLines(), QStringList{"Reloading Program 2 data from VELD32."});
  Tick();
  EXPECT_EQ(driver->writes.back(), "(MP12)");
  Tick();
  EXPECT_EQ(LogLines(),
            (QStringList{"Reloading Program 2 data from VELD32.", "Program data load complete."}));
}

TEST_F(EditorTransfer, UploadSendsAllProgramsWithSingleMeasureDurationsZero) {
  ConnectAndDownload();
  TestProgramsModel& model = form->Model();
  model.SetSliderValue(0, ProgramSlider::DurationHr, 2);
  model.SetSliderValue(0, ProgramSlider::Duration, 600);
  Control<QPushButton>("cmdSave")->click();
  Tick(6);
  const QStringList program1 = WrittenFields(1);
  const QStringList program2 = WrittenFields(2);
  ASSERT_EQ(program1.size(), 12);
  ASSERT_EQ(program2.size(), 12);
  EXPECT_EQ((QStringList{program1[4], program1[5], program1[10]}),
            (QStringList{"0600", "1", "0002"}));
  EXPECT_EQ((QStringList{program2[4], program2[5], program2[10]}),
            (QStringList{"0000", "2", "0000"}));
  EXPECT_EQ(WrittenFields(3).size(), 12);
  EXPECT_EQ(LogLines(),
            (QStringList{"Saving All Program Data to VELD32...", "Program data save complete."}));
}

TEST_F(EditorTransfer, LimitsAreCheckedBeforeTheConnection) {
  form->Model().SetSliderValue(2, ProgramSlider::PassOhms, 999);
  form->Model().SetSliderValue(2, ProgramSlider::FailOhms, 999);
  Control<QPushButton>("cmdSave")->click();
  EXPECT_EQ(prompts.shown, QStringList{kLimitsMessage});
  form->Model().SetSliderValue(2, ProgramSlider::FailOhms, 1000);
  Control<QPushButton>("cmdSave")->click();
  EXPECT_EQ(prompts.shown, (QStringList{kLimitsMessage, kNotConnectedMessage}));
  EXPECT_TRUE(LogLines().isEmpty());
  EXPECT_TRUE(driver->writes.empty());
}

TEST_F(EditorTransfer, LinkErrorAnsweredWithOkConnectsAgain) {
  Connect();
  prompts.okCancelAnswers = {true};
  driver->FailNext("FT_GetQueueStatus", FT_IO_ERROR);
  Tick();
  EXPECT_EQ(prompts.shown, QStringList{kReplugMessage});
  EXPECT_EQ(Calls("FT_ListDevicesCount"), 2);
  EXPECT_TRUE(Link().Connected());
  EXPECT_EQ(LogLines().count("* VELD32 Connected"), 2);
}

TEST_F(EditorTransfer, LinkErrorAnsweredWithCancelStaysDisconnected) {
  Connect();
  prompts.okCancelAnswers = {false};
  driver->FailNext("FT_GetQueueStatus", FT_IO_ERROR);
  Tick();
  EXPECT_EQ(prompts.shown, QStringList{kReplugMessage});
  EXPECT_EQ(Calls("FT_ListDevicesCount"), 1);
  EXPECT_FALSE(Link().Connected());
}

TEST_F(EditorTransfer, ClosingTheWindowDisconnects) {
  ConnectAndDownload();
  form->Form_QueryUnload();
  EXPECT_FALSE(Link().Connected());
  EXPECT_EQ(LogLines(), QStringList{"* VELD32 Disconnected"});
}

}  // namespace
