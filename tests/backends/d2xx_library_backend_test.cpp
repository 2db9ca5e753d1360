#include "d2xx_library_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "fake_ftd2xx.h"

using ::testing::HasSubstr;

namespace {
TEST(D2xxLibraryBackend, ALibraryLackingOneOfTheNineFunctionsLeavesTheBackendUnavailable) {
  const auto loaded = D2xxLibraryBackend::Load(FAKE_FTD2XX_INCOMPLETE_PATH);
  EXPECT_EQ(loaded.backend, nullptr);
  EXPECT_THAT(loaded.error, HasSubstr("D2XX library unavailable"));
  EXPECT_THAT(loaded.error, HasSubstr("FT_SetBitMode"));
}

TEST(D2xxLibraryBackend, LoadedByPathCarriesEachCallToTheDeviceItsHandleOpened) {
  FakeFtd2xx& fake = FakeFtd2xxState();
  fake = {};
  fake.devices = {{std::string(50, 'a') + std::string(10, 'b')}, {"VELD32"}};
  auto loaded = D2xxLibraryBackend::Load(FAKE_FTD2XX_PATH);
  ASSERT_NE(loaded.backend, nullptr) << loaded.error;
  D2xxLibraryBackend& backend = *loaded.backend;

  std::int32_t n = 0;
  ASSERT_EQ(backend.FT_ListDevicesCount(n), FT_OK);
  EXPECT_EQ(n, 2);
  std::array<char, kDescriptionBufferSize + 1> buffer;
  buffer.fill('#');
  ASSERT_EQ(backend.FT_ListDevicesDescription(0, buffer.data()), FT_OK);
  EXPECT_EQ(std::string(buffer.data(), buffer.size()), std::string(50, 'a') + "#");
  ASSERT_EQ(backend.FT_ListDevicesDescription(1, buffer.data()), FT_OK);
  EXPECT_STREQ(buffer.data(), "VELD32");
  EXPECT_EQ(backend.FT_Open(2, n), FT_DEVICE_NOT_FOUND);  // the library's own status

  std::int32_t first = 0, second = 0, written = 0, queued = 0, read = 0;
  ASSERT_EQ(backend.FT_Open(0, first), FT_OK);
  ASSERT_EQ(backend.FT_Open(1, second), FT_OK);
  const std::vector<FT_STATUS> statuses{backend.FT_SetLatencyTimer(second, 16),
                                        backend.FT_SetBaudRate(second, 19200),
                                        backend.FT_SetBitMode(second, 0, 0),
                                        backend.FT_Write(second, "(*)", 3, written),
                                        backend.FT_GetQueueStatus(second, queued),
                                        backend.FT_Read(second, buffer.data(), queued, read)};
  EXPECT_EQ(statuses, std::vector<FT_STATUS>(6, FT_OK));
  EXPECT_EQ(fake.devices[1].log, "latency 16;baud 19200;bitmode 0 0;write (*);queue;read 7;");
  EXPECT_EQ(fake.devices[0].log, "");
  EXPECT_EQ(std::pair(written, read), std::pair(3, 7));

  // A closed handle never reaches the library; those still open are closed with the backend.
  ASSERT_EQ(backend.FT_Close(second), FT_OK);
  EXPECT_EQ(backend.FT_GetQueueStatus(second, n), FT_INVALID_HANDLE);
  EXPECT_EQ(backend.FT_Close(second), FT_INVALID_HANDLE);
  EXPECT_EQ(fake.unknownHandles, 0);
  loaded.backend.reset();
  EXPECT_FALSE(fake.devices[0].open);
}
}  // namespace
