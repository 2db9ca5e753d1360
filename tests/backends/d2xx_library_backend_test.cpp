#include "d2xx_library_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "fake_ftd2xx.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {
class D2xxLibraryBackendTest : public ::testing::Test {
 protected:
  D2xxLibraryBackendTest() {
    FakeFtd2xxState() = {};
    FakeFtd2xxState().devices = {{"FT232R USB UART"}, {"VELD32"}};
    auto loaded = D2xxLibraryBackend::Load(FAKE_FTD2XX_PATH);
    EXPECT_EQ(loaded.error, "");
    backend = std::move(loaded.backend);
  }

  std::int32_t Open(std::int32_t index) {
    std::int32_t handle = 0;
    EXPECT_EQ(backend->FT_Open(index, handle), FT_OK);
    return handle;
  }

  FakeFtd2xx& fake = FakeFtd2xxState();
  std::unique_ptr<D2xxLibraryBackend> backend;
};

TEST(D2xxLibraryLoad, AMissingLibraryLeavesTheBackendUnavailable) {
  const auto loaded = D2xxLibraryBackend::Load("/nonexistent/libftd2xx.so");
  EXPECT_EQ(loaded.backend, nullptr);
  EXPECT_THAT(loaded.error, HasSubstr("D2XX library unavailable"));
  EXPECT_THAT(loaded.error, HasSubstr("/nonexistent/libftd2xx.so"));
}

TEST(D2xxLibraryLoad, ALibraryLackingAFunctionLeavesTheBackendUnavailable) {
  const auto loaded = D2xxLibraryBackend::Load(FAKE_FTD2XX_INCOMPLETE_PATH);
  EXPECT_EQ(loaded.backend, nullptr);
  EXPECT_THAT(loaded.error, HasSubstr("D2XX library unavailable"));
  EXPECT_THAT(loaded.error, HasSubstr("FT_SetBitMode"));
}

TEST_F(D2xxLibraryBackendTest, CountsAndDescribesDevicesWithTheListingFlags) {
  std::int32_t count = 0;
  ASSERT_EQ(backend->FT_ListDevicesCount(count), FT_OK);
  EXPECT_EQ(count, 2);
  std::array<char, kDescriptionBufferSize> buffer{};
  ASSERT_EQ(backend->FT_ListDevicesDescription(1, buffer.data()), FT_OK);
  EXPECT_STREQ(buffer.data(), "VELD32");
  EXPECT_EQ(backend->FT_ListDevicesDescription(2, buffer.data()), FT_DEVICE_NOT_FOUND);
  EXPECT_THAT(fake.listFlags, ElementsAre(0x80000000u, 0x40000002u, 0x40000002u));
}

TEST_F(D2xxLibraryBackendTest, CopiesTheFirstFiftyBytesOfALongerDescriptionWithoutNul) {
  fake.devices[0].description = std::string(50, 'a') + std::string(10, 'b');
  std::array<char, kDescriptionBufferSize + 1> buffer;
  buffer.fill('#');
  ASSERT_EQ(backend->FT_ListDevicesDescription(0, buffer.data()), FT_OK);
  EXPECT_EQ(std::string(buffer.data(), kDescriptionBufferSize), std::string(50, 'a'));
  EXPECT_EQ(buffer[kDescriptionBufferSize], '#');
}

TEST_F(D2xxLibraryBackendTest, EachHandleReachesTheDeviceItOpened) {
  const std::int32_t first = Open(0);
  const std::int32_t second = Open(1);
  EXPECT_NE(first, second);
  ASSERT_EQ(backend->FT_SetLatencyTimer(second, 16), FT_OK);
  ASSERT_EQ(backend->FT_SetBaudRate(second, 19200), FT_OK);
  ASSERT_EQ(backend->FT_SetBitMode(second, 0, 0), FT_OK);
  std::int32_t written = 0;
  ASSERT_EQ(backend->FT_Write(second, "(*)", 3, written), FT_OK);
  EXPECT_EQ(written, 3);

  EXPECT_EQ(fake.devices[1].latency, 16);
  EXPECT_EQ(fake.devices[1].baud, 19200u);
  EXPECT_EQ(fake.devices[1].bitMode, (std::pair<unsigned char, unsigned char>{0, 0}));
  EXPECT_EQ(fake.devices[1].written, "(*)");
  EXPECT_EQ(fake.devices[0].written, "");
  EXPECT_EQ(fake.devices[0].baud, 0u);
}

TEST_F(D2xxLibraryBackendTest, ReadsWhatTheQueueHolds) {
  const std::int32_t handle = Open(1);
  fake.devices[1].rx = "(MV101.02)";
  std::int32_t waiting = 0;
  ASSERT_EQ(backend->FT_GetQueueStatus(handle, waiting), FT_OK);
  EXPECT_EQ(waiting, 10);
  std::array<char, 16> buffer{};
  std::int32_t read = 0;
  ASSERT_EQ(backend->FT_Read(handle, buffer.data(), 4, read), FT_OK);
  EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(read)), "(MV1");
}

TEST_F(D2xxLibraryBackendTest, PassesTheLibrarysFailureStatusOn) {
  const std::int32_t handle = Open(1);
  fake.failNext = FT_IO_ERROR;
  std::int32_t waiting = 0;
  EXPECT_EQ(backend->FT_GetQueueStatus(handle, waiting), FT_IO_ERROR);
  EXPECT_EQ(backend->FT_GetQueueStatus(handle, waiting), FT_OK);
}

TEST_F(D2xxLibraryBackendTest, RefusesUnknownAndClosedHandlesWithoutAskingTheLibrary) {
  const std::int32_t handle = Open(1);
  ASSERT_EQ(backend->FT_Close(handle), FT_OK);
  std::int32_t n = 0;
  EXPECT_EQ(backend->FT_GetQueueStatus(handle, n), FT_INVALID_HANDLE);
  EXPECT_EQ(backend->FT_Write(handle, "x", 1, n), FT_INVALID_HANDLE);
  EXPECT_EQ(backend->FT_Close(handle), FT_INVALID_HANDLE);
  EXPECT_EQ(backend->FT_SetBaudRate(0, 19200), FT_INVALID_HANDLE);
  EXPECT_FALSE(fake.sawUnknownHandle);
}

TEST_F(D2xxLibraryBackendTest, ClosesHandlesStillOpenWhenDestroyed) {
  Open(0);
  Open(1);
  EXPECT_EQ(fake.openHandles, 2);
  backend.reset();
  EXPECT_EQ(fake.openHandles, 0);
}
}  // namespace
