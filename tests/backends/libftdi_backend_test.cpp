#include "libftdi_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <string>

#include "fake_libftdi.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {
class LibftdiBackendTest : public ::testing::Test {
 protected:
  LibftdiBackendTest() { fake->devices = {{"FT232R USB UART"}, {"VELD32"}}; }

  std::int32_t Open(std::int32_t index = 1) {
    std::int32_t handle = 0;
    EXPECT_EQ(backend->FT_Open(index, handle), FT_OK);
    return handle;
  }

  std::string Description(std::int32_t index) {
    std::array<char, kDescriptionBufferSize + 1> buffer{};
    EXPECT_EQ(backend->FT_ListDevicesDescription(index, buffer.data()), FT_OK);
    return buffer.data();
  }

  std::shared_ptr<FakeLibftdi> fake = std::make_shared<FakeLibftdi>();
  std::unique_ptr<LibftdiBackend> backend = std::make_unique<LibftdiBackend>(fake);
};

TEST_F(LibftdiBackendTest, ListsTheAttachedDevicesWithTheirDescriptions) {
  std::int32_t count = 0;
  ASSERT_EQ(backend->FT_ListDevicesCount(count), FT_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(Description(0), "FT232R USB UART");
  EXPECT_EQ(Description(1), "VELD32");
  std::array<char, kDescriptionBufferSize> buffer{};
  EXPECT_EQ(backend->FT_ListDevicesDescription(2, buffer.data()), FT_DEVICE_NOT_FOUND);
  std::int32_t handle = 0;
  EXPECT_EQ(backend->FT_Open(2, handle), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(fake->LiveListNodes(), 0);
}

TEST_F(LibftdiBackendTest, ListingDoesNotReadTheOpenDeviceInsteadOfTheOneAskedFor) {
  Open(1);
  EXPECT_EQ(Description(0), "FT232R USB UART");
}

TEST_F(LibftdiBackendTest, CopiesTheFirstFiftyBytesOfALongerDescriptionWithoutNul) {
  fake->devices = {{std::string(50, 'a') + std::string(10, 'b')}};
  std::array<char, kDescriptionBufferSize + 1> buffer;
  buffer.fill('#');
  ASSERT_EQ(backend->FT_ListDevicesDescription(0, buffer.data()), FT_OK);
  EXPECT_EQ(std::string(buffer.data(), kDescriptionBufferSize), std::string(50, 'a'));
  EXPECT_EQ(buffer[kDescriptionBufferSize], '#');
}

TEST_F(LibftdiBackendTest, ConfiguresLatencyBaudRateWithEightNOneAndBitMode) {
  const std::int32_t handle = Open();
  EXPECT_NE(handle, 0);
  ASSERT_EQ(backend->FT_SetLatencyTimer(handle, 16), FT_OK);
  ASSERT_EQ(backend->FT_SetBaudRate(handle, 19200), FT_OK);
  ASSERT_EQ(backend->FT_SetBitMode(handle, 0, 0), FT_OK);
  EXPECT_EQ(fake->latency, 16);
  EXPECT_EQ(fake->baud, 19200);
  EXPECT_EQ(fake->line, std::tuple(BITS_8, STOP_BIT_1, NONE));
  EXPECT_EQ(fake->bitmode, (std::pair<unsigned char, unsigned char>{0, 0}));
}

TEST_F(LibftdiBackendTest, MapsRefusedSettingsToTheirStatuses) {
  const std::int32_t handle = Open();
  EXPECT_EQ(backend->FT_SetBaudRate(handle, 0), FT_INVALID_BAUD_RATE);
  EXPECT_EQ(backend->FT_SetBaudRate(handle, 0x80000000u), FT_INVALID_BAUD_RATE);
  EXPECT_EQ(backend->FT_SetLatencyTimer(handle, 0), FT_INVALID_PARAMETER);
  EXPECT_THAT(backend->LastErrorText(), HasSubstr("latency out of range"));
}

TEST_F(LibftdiBackendTest, CountsDataArrivingOverSeveralReads) {
  const std::int32_t handle = Open();
  fake->reads = {"(MV", "", "101.02)"};
  std::int32_t waiting = 0;
  ASSERT_EQ(backend->FT_GetQueueStatus(handle, waiting), FT_OK);
  EXPECT_EQ(waiting, 3);
  ASSERT_EQ(backend->FT_GetQueueStatus(handle, waiting), FT_OK);
  EXPECT_EQ(waiting, 3);  // a poll that brought nothing new
  ASSERT_EQ(backend->FT_GetQueueStatus(handle, waiting), FT_OK);
  EXPECT_EQ(waiting, 10);

  std::array<char, 16> buffer{};
  std::int32_t read = 0;
  ASSERT_EQ(backend->FT_Read(handle, buffer.data(), waiting, read), FT_OK);
  EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(read)), "(MV101.02)");
  ASSERT_EQ(backend->FT_GetQueueStatus(handle, waiting), FT_OK);
  EXPECT_EQ(waiting, 0);
}

TEST_F(LibftdiBackendTest, AReadFetchesWhatTheQueueCountHasNotYetSeen) {
  const std::int32_t handle = Open();
  fake->reads = {"(*)"};
  std::array<char, 8> buffer{};
  std::int32_t read = 0;
  ASSERT_EQ(backend->FT_Read(handle, buffer.data(), 3, read), FT_OK);
  EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(read)), "(*)");
}

TEST_F(LibftdiBackendTest, AReadThatTimesOutDeliversNothing) {
  const std::int32_t handle = Open();
  std::int32_t waiting = -1;
  ASSERT_EQ(backend->FT_GetQueueStatus(handle, waiting), FT_OK);
  EXPECT_EQ(waiting, 0);
  std::array<char, 8> buffer{};
  std::int32_t read = -1;
  ASSERT_EQ(backend->FT_Read(handle, buffer.data(), 5, read), FT_OK);
  EXPECT_EQ(read, 0);
}

TEST_F(LibftdiBackendTest, WritesReportWhatTheChipTook) {
  const std::int32_t handle = Open();
  std::int32_t written = 0;
  ASSERT_EQ(backend->FT_Write(handle, "(MP11)", 6, written), FT_OK);
  EXPECT_EQ(written, 6);
  fake->writeAccepts = 2;
  ASSERT_EQ(backend->FT_Write(handle, "(*)", 3, written), FT_OK);
  EXPECT_EQ(written, 2);
  EXPECT_EQ(fake->written, "(MP11)(*");
}

TEST_F(LibftdiBackendTest, AfterAnUnplugEveryCallOnTheHandleIsAnIoErrorAndCloseReleasesIt) {
  const std::int32_t handle = Open();
  fake->unplugged = true;
  std::int32_t n = 0;
  std::array<char, 8> buffer{};
  EXPECT_EQ(backend->FT_GetQueueStatus(handle, n), FT_IO_ERROR);
  EXPECT_THAT(backend->LastErrorText(), HasSubstr("usb bulk read failed"));
  EXPECT_EQ(backend->FT_Read(handle, buffer.data(), 4, n), FT_IO_ERROR);
  EXPECT_EQ(backend->FT_Write(handle, "(*)", 3, n), FT_IO_ERROR);
  EXPECT_THAT(backend->LastErrorText(), HasSubstr("usb bulk write failed"));
  EXPECT_EQ(backend->FT_SetLatencyTimer(handle, 16), FT_IO_ERROR);
  EXPECT_EQ(backend->FT_SetBaudRate(handle, 19200), FT_IO_ERROR);
  EXPECT_EQ(backend->FT_SetBitMode(handle, 0, 0), FT_IO_ERROR);

  EXPECT_EQ(backend->FT_Close(handle), FT_OK);
  EXPECT_EQ(fake->LiveContexts(), 0u);
  EXPECT_EQ(backend->FT_GetQueueStatus(handle, n), FT_INVALID_HANDLE);
  EXPECT_EQ(backend->FT_Close(handle), FT_INVALID_HANDLE);
  EXPECT_THAT(fake->misuse, IsEmpty());
}

TEST_F(LibftdiBackendTest, RefusesHandlesItNeverGave) {
  std::int32_t n = 0;
  EXPECT_EQ(backend->FT_GetQueueStatus(0, n), FT_INVALID_HANDLE);
  EXPECT_EQ(backend->FT_Write(5, "x", 1, n), FT_INVALID_HANDLE);
  EXPECT_EQ(backend->FT_Close(5), FT_INVALID_HANDLE);
}

TEST_F(LibftdiBackendTest, ReleasesEveryContextAndDeviceItHolds) {
  Open(0);
  Open(1);
  std::int32_t count = 0;
  backend->FT_ListDevicesCount(count);
  backend.reset();
  EXPECT_EQ(fake->usbCloses, 2);
  EXPECT_EQ(fake->LiveContexts(), 0u);
  EXPECT_EQ(fake->LiveListNodes(), 0);
  EXPECT_THAT(fake->misuse, IsEmpty());
}

struct Refusal {
  int result;
  int savedErrno;
  FT_STATUS status;
  bool permission;
};

class OpenRefusals : public LibftdiBackendTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(OpenRefusals, MapToADriverStatusAndTellAMissingPermission) {
  fake->devices[1].openResult = GetParam().result;
  fake->devices[1].openErrno = GetParam().savedErrno;
  std::int32_t handle = 0;
  EXPECT_EQ(backend->FT_Open(1, handle), GetParam().status);
  EXPECT_EQ(backend->PermissionRefused(), GetParam().permission);
  EXPECT_THAT(backend->LastErrorText(), HasSubstr("ftdi_usb_open_dev"));
  EXPECT_EQ(fake->LiveContexts(), 0u);

  fake->devices[1].openResult = 0;
  EXPECT_EQ(backend->FT_Open(1, handle), FT_OK);
  EXPECT_FALSE(backend->PermissionRefused());
}

INSTANTIATE_TEST_SUITE_P(Results, OpenRefusals,
                         ::testing::Values(Refusal{-4, EACCES, FT_DEVICE_NOT_OPENED, true},
                                           Refusal{-4, ENODEV, FT_DEVICE_NOT_OPENED, false},
                                           Refusal{-8, 0, FT_DEVICE_NOT_OPENED, true},
                                           Refusal{-5, 0, FT_DEVICE_NOT_OPENED, false},
                                           Refusal{-6, 0, FT_IO_ERROR, false}));

TEST_F(LibftdiBackendTest, ARefusedDescriptionReadTellsAMissingPermission) {
  fake->devices[0].stringsResult = -4;
  fake->devices[0].openErrno = EACCES;
  std::array<char, kDescriptionBufferSize> buffer{};
  EXPECT_EQ(backend->FT_ListDevicesDescription(0, buffer.data()), FT_DEVICE_NOT_OPENED);
  EXPECT_TRUE(backend->PermissionRefused());
  EXPECT_THAT(backend->LastErrorText(), HasSubstr("libusb_open() failed"));
}
TEST_F(LibftdiBackendTest, AFailedDescriptionReadDoesNotSpoilLaterListings) {
  fake->devices[0].stringsResult = -11;
  std::array<char, kDescriptionBufferSize> buffer{};
  EXPECT_EQ(backend->FT_ListDevicesDescription(0, buffer.data()), FT_IO_ERROR);
  EXPECT_EQ(Description(1), "VELD32");
  EXPECT_THAT(fake->misuse, IsEmpty());
}
}  // namespace
