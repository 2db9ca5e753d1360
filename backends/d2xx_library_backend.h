#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "device_link/d2xx.h"

// The D2XX calls carried out by FTDI's own D2XX library, loaded at run time (libftd2xx.so,
// ftd2xx.dll, or a library at a path given). A library that cannot be loaded, or lacks one of
// the functions, yields no backend and a message saying why. The library's pointer
// handles are handed to the link as small numbers; a number it never got is an invalid handle.
class D2xxLibraryBackend final : public D2xx {
 public:
  struct LoadResult {
    std::unique_ptr<D2xxLibraryBackend> backend;
    std::string error;  // set when there is no backend
  };

  // The name the platform's loader looks for when no path is given.
  static const char* DefaultLibraryName();
  // `path` empty means DefaultLibraryName(), which Windows looks for only in the application's
  // folder and the system folders (never the current folder or PATH). A path is loaded from
  // exactly where it points (a relative one from the current folder).
  static LoadResult Load(const std::string& path = {});

  ~D2xxLibraryBackend() override;
  D2xxLibraryBackend(const D2xxLibraryBackend&) = delete;
  D2xxLibraryBackend& operator=(const D2xxLibraryBackend&) = delete;

  FT_STATUS FT_ListDevicesCount(std::int32_t& count) override;
  FT_STATUS FT_ListDevicesDescription(std::int32_t index, char* buffer50) override;
  FT_STATUS FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) override;
  FT_STATUS FT_Open(std::int32_t index, std::int32_t& handle) override;
  FT_STATUS FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) override;
  FT_STATUS FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                    std::int32_t& read) override;
  FT_STATUS FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                     std::int32_t& written) override;
  FT_STATUS FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) override;
  FT_STATUS FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) override;
  FT_STATUS FT_SetBitMode(std::int32_t handle, std::uint8_t mask, std::uint8_t mode) override;
  FT_STATUS FT_Close(std::int32_t handle) override;

 private:
  struct Library;

  explicit D2xxLibraryBackend(std::unique_ptr<Library> library);
  std::optional<void*> Native(std::int32_t handle) const;
  // FT_ListDevices by index for `what` (description or serial number) into a buffer of `size`
  // bytes: at most `characters` of the text, NUL-terminated when that leaves room.
  FT_STATUS ListByIndex(std::int32_t index, std::uint32_t what, char* buffer, std::size_t size,
                        std::size_t characters);

  std::unique_ptr<Library> library_;
  std::map<std::int32_t, void*> handles_;
  std::int32_t nextHandle_ = 1;
};
