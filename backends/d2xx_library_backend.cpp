#include "backends/d2xx_library_backend.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "backends/d2xx_library_functions.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace lib = d2xx_library;

namespace {
#ifdef _WIN32
// A UTF-8 path as the loader takes it: wide characters, backslashes (it refuses a path with
// forward slashes).
std::wstring WindowsPath(const std::string& path) {
  std::wstring wide(path.size(), L'\0');
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()),
                                      wide.data(), static_cast<int>(wide.size()));
  wide.resize(static_cast<std::size_t>(std::max(n, 0)));
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

// "Windows error 126: The specified module could not be found."
std::string WindowsErrorText(DWORD code) {
  std::string text = "Windows error " + std::to_string(code);
  char* words = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&words), 0, nullptr);
  if (length > 0) {
    std::string said(words, length);
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
    text += ": " + said;
  }
  ::LocalFree(words);
  return text;
}
#endif

#ifdef _WIN32
// Loads the library named `path` the safe way. A bare name (the library's own, no path given)
// is looked for in the application's folder and the system folders only, never in the current
// folder or along PATH, where anyone may have left a library of that name. A path given is
// loaded from exactly there, made absolute, with its own dependencies looked for beside it and
// in those folders.
HMODULE LoadSafely(const std::string& path, bool givenPath) {
  const std::wstring name = WindowsPath(path);
  if (!givenPath) return ::LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  const DWORD size = ::GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (size == 0) return nullptr;
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return nullptr;
  full.resize(length);
  return ::LoadLibraryExW(full.c_str(), nullptr,
                          LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}
#endif

// An open shared library; closed when destroyed.
class SharedLibrary {
 public:
  // `givenPath`: `path` is the operator's, else the library's own name.
  static std::unique_ptr<SharedLibrary> Open(const std::string& path,
                                             [[maybe_unused]] bool givenPath, std::string& error) {
#ifdef _WIN32
    HMODULE module = LoadSafely(path, givenPath);
    if (module == nullptr) {
      error = WindowsErrorText(::GetLastError());
      return nullptr;
    }
    return std::unique_ptr<SharedLibrary>(new SharedLibrary(module));
#else
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      const char* text = ::dlerror();
      error = text != nullptr ? text : "unknown error";
      return nullptr;
    }
    return std::unique_ptr<SharedLibrary>(new SharedLibrary(module));
#endif
  }

  ~SharedLibrary() {
#ifdef _WIN32
    ::FreeLibrary(module_);
#else
    ::dlclose(module_);
#endif
  }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  template <typename Fn>
  bool Find(const char* name, Fn& function) const {
#ifdef _WIN32
    // Through the generic function pointer type, which any function pointer may be cast to.
    function = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module_, name)));
#else
    function = reinterpret_cast<Fn>(::dlsym(module_, name));
#endif
    return function != nullptr;
  }

 private:
#ifdef _WIN32
  explicit SharedLibrary(HMODULE module) : module_(module) {}
  HMODULE module_;
#else
  explicit SharedLibrary(void* module) : module_(module) {}
  void* module_;
#endif
};

// What the operator is told to do when the library cannot be loaded.
#ifdef _WIN32
constexpr const char* kInstallAdvice =
    "install FTDI's CDM driver package (D2XX and VCP drivers together), which puts ftd2xx.dll "
    "in the system folder, or give the library's path with --backend=d2xx:PATH";
#else
constexpr const char* kInstallAdvice =
    "install FTDI's D2XX driver package for Linux (libftd2xx.so) or give the library's path "
    "with --backend=d2xx:PATH";
#endif

// The library's 32-bit unsigned status as the seam's signed one.
FT_STATUS Status(lib::FT_STATUS status) { return static_cast<FT_STATUS>(status); }
}  // namespace

struct D2xxLibraryBackend::Library {
  std::unique_ptr<SharedLibrary> module;
  lib::ListDevicesFn ListDevices = nullptr;
  lib::OpenFn Open = nullptr;
  lib::GetQueueStatusFn GetQueueStatus = nullptr;
  lib::ReadFn Read = nullptr;
  lib::WriteFn Write = nullptr;
  lib::SetLatencyTimerFn SetLatencyTimer = nullptr;
  lib::SetBaudRateFn SetBaudRate = nullptr;
  lib::SetBitModeFn SetBitMode = nullptr;
  lib::CloseFn Close = nullptr;

  // The name of the first of the nine functions the library lacks, or nullptr.
  const char* Bind() {
    if (!module->Find("FT_ListDevices", ListDevices)) return "FT_ListDevices";
    if (!module->Find("FT_Open", Open)) return "FT_Open";
    if (!module->Find("FT_GetQueueStatus", GetQueueStatus)) return "FT_GetQueueStatus";
    if (!module->Find("FT_Read", Read)) return "FT_Read";
    if (!module->Find("FT_Write", Write)) return "FT_Write";
    if (!module->Find("FT_SetLatencyTimer", SetLatencyTimer)) return "FT_SetLatencyTimer";
    if (!module->Find("FT_SetBaudRate", SetBaudRate)) return "FT_SetBaudRate";
    if (!module->Find("FT_SetBitMode", SetBitMode)) return "FT_SetBitMode";
    if (!module->Find("FT_Close", Close)) return "FT_Close";
    return nullptr;
  }
};

const char* D2xxLibraryBackend::DefaultLibraryName() {
#ifdef _WIN32
  return "ftd2xx.dll";
#else
  return "libftd2xx.so";
#endif
}

D2xxLibraryBackend::LoadResult D2xxLibraryBackend::Load(const std::string& path) {
  const std::string name = path.empty() ? DefaultLibraryName() : path;
  std::string why;
  auto library = std::make_unique<Library>();
  library->module = SharedLibrary::Open(name, !path.empty(), why);
  if (!library->module) {
    return {nullptr,
            "D2XX library unavailable: cannot load " + name + " (" + why + "); " + kInstallAdvice};
  }
  if (const char* missing = library->Bind()) {
    return {nullptr, "D2XX library unavailable: " + name + " has no function " + missing};
  }
  return {std::unique_ptr<D2xxLibraryBackend>(new D2xxLibraryBackend(std::move(library))), {}};
}

D2xxLibraryBackend::D2xxLibraryBackend(std::unique_ptr<Library> library)
    : library_(std::move(library)) {}

D2xxLibraryBackend::~D2xxLibraryBackend() {
  for (const auto& [handle, native] : handles_) library_->Close(native);
}

std::optional<void*> D2xxLibraryBackend::Native(std::int32_t handle) const {
  auto it = handles_.find(handle);
  if (it == handles_.end()) return std::nullopt;
  return it->second;
}

FT_STATUS D2xxLibraryBackend::FT_ListDevicesCount(std::int32_t& count) {
  lib::DWORD devices = 0;
  const FT_STATUS status =
      Status(library_->ListDevices(&devices, nullptr, lib::FT_LIST_NUMBER_ONLY));
  if (status == FT_OK) count = static_cast<std::int32_t>(devices);
  return status;
}

FT_STATUS D2xxLibraryBackend::ListByIndex(std::int32_t index, lib::DWORD what, char* buffer,
                                          std::size_t size, std::size_t characters) {
  if (index < 0 || buffer == nullptr) return FT_INVALID_PARAMETER;
  std::array<char, lib::kDescriptionScratch + 1> scratch{};
  // By index, the library takes the index itself in place of its first pointer argument.
  void* byIndex = reinterpret_cast<void*>(static_cast<std::uintptr_t>(index));
  const FT_STATUS status =
      Status(library_->ListDevices(byIndex, scratch.data(), lib::FT_LIST_BY_INDEX | what));
  if (status != FT_OK) return status;
  const std::size_t length = ::strnlen(scratch.data(), lib::kDescriptionScratch);
  const std::size_t n = std::min(length, characters);
  std::memcpy(buffer, scratch.data(), n);
  if (n < size) buffer[n] = '\0';
  return FT_OK;
}

FT_STATUS D2xxLibraryBackend::FT_ListDevicesDescription(std::int32_t index, char* buffer50) {
  return ListByIndex(index, lib::FT_OPEN_BY_DESCRIPTION, buffer50, kDescriptionBufferSize,
                     kDescriptionBufferSize);
}

FT_STATUS D2xxLibraryBackend::FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) {
  return ListByIndex(index, lib::FT_OPEN_BY_SERIAL_NUMBER, buffer16, kSerialNumberBufferSize,
                     kSerialNumberBufferSize - 1);
}

FT_STATUS D2xxLibraryBackend::FT_Open(std::int32_t index, std::int32_t& handle) {
  lib::FT_HANDLE native = nullptr;
  const FT_STATUS status = Status(library_->Open(index, &native));
  if (status != FT_OK) return status;
  handle = nextHandle_++;
  handles_[handle] = native;
  return FT_OK;
}

FT_STATUS D2xxLibraryBackend::FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) {
  const auto native = Native(handle);
  if (!native) return FT_INVALID_HANDLE;
  lib::DWORD waiting = 0;
  const FT_STATUS status = Status(library_->GetQueueStatus(*native, &waiting));
  if (status == FT_OK) rxBytes = static_cast<std::int32_t>(waiting);
  return status;
}

FT_STATUS D2xxLibraryBackend::FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                                      std::int32_t& read) {
  const auto native = Native(handle);
  if (!native) return FT_INVALID_HANDLE;
  if (wanted < 0 || (wanted > 0 && buffer == nullptr)) return FT_INVALID_PARAMETER;
  lib::DWORD got = 0;
  const FT_STATUS status =
      Status(library_->Read(*native, buffer, static_cast<lib::DWORD>(wanted), &got));
  read = static_cast<std::int32_t>(std::min<lib::DWORD>(got, static_cast<lib::DWORD>(wanted)));
  return status;
}

FT_STATUS D2xxLibraryBackend::FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                                       std::int32_t& written) {
  const auto native = Native(handle);
  if (!native) return FT_INVALID_HANDLE;
  if (count < 0 || (count > 0 && buffer == nullptr)) return FT_INVALID_PARAMETER;
  lib::DWORD sent = 0;
  // The library's prototype takes a non-const buffer; it only reads from it.
  const FT_STATUS status = Status(
      library_->Write(*native, const_cast<char*>(buffer), static_cast<lib::DWORD>(count), &sent));
  written = static_cast<std::int32_t>(std::min<lib::DWORD>(sent, static_cast<lib::DWORD>(count)));
  return status;
}

FT_STATUS D2xxLibraryBackend::FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) {
  const auto native = Native(handle);
  if (!native) return FT_INVALID_HANDLE;
  return Status(library_->SetLatencyTimer(*native, milliseconds));
}

FT_STATUS D2xxLibraryBackend::FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) {
  const auto native = Native(handle);
  if (!native) return FT_INVALID_HANDLE;
  return Status(library_->SetBaudRate(*native, baud));
}

FT_STATUS D2xxLibraryBackend::FT_SetBitMode(std::int32_t handle, std::uint8_t mask,
                                            std::uint8_t mode) {
  const auto native = Native(handle);
  if (!native) return FT_INVALID_HANDLE;
  return Status(library_->SetBitMode(*native, mask, mode));
}

FT_STATUS D2xxLibraryBackend::FT_Close(std::int32_t handle) {
  const auto native = Native(handle);
  if (!native) return FT_INVALID_HANDLE;
  const FT_STATUS status = Status(library_->Close(*native));
  if (status == FT_OK) handles_.erase(handle);
  return status;
}
