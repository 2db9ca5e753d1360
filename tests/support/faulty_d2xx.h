#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backends/d2xx_decorator.h"

// Wraps any driver and passes every call on, but for the faults a test asks for. Calls are named
// by their D2XX names ("FT_Read"); each call made is kept with what it returned.
class FaultyD2xx final : public D2xxDecorator {
 public:
  struct Made {
    std::string function;
    FT_STATUS status;
  };

  using D2xxDecorator::D2xxDecorator;

  // The next call of `function` returns `status` and is not passed on.
  void FailNext(const std::string& function, FT_STATUS status);
  // So does every call of `function` from now on.
  void FailEvery(const std::string& function, FT_STATUS status);
  // Once `writes` writes to device `index` (from 0) went through, every call on its handle but
  // FT_Close fails with FT_IO_ERROR, as on a tester pulled off a bench whose others carry on.
  void LoseDevice(std::int32_t index, int writes);
  // Runs `then` once, right after the `writes`-th write that went through.
  void AfterWrites(int writes, std::function<void()> then);
  // Changes the bytes of every write on their way to the driver; the driver's count stands.
  std::function<void(std::string& bytes)> alterWrites;

  const std::vector<Made>& Calls() const { return made_; }
  std::ptrdiff_t Count(std::string_view function) const;

  FT_STATUS FT_Open(std::int32_t index, std::int32_t& handle) override;
  FT_STATUS FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                     std::int32_t& written) override;

 private:
  FT_STATUS Pass(std::string_view function, std::optional<std::int32_t> handle,
                 const std::function<FT_STATUS()>& passOn) override;
  bool OnLostDevice(std::int32_t handle) const;

  std::map<std::string, std::deque<FT_STATUS>> next_;
  std::map<std::string, FT_STATUS> every_;
  std::optional<std::int32_t> lostDevice_;
  int writesToLose_ = 0;
  std::map<std::int32_t, std::int32_t> devices_;  // handle -> device index, as last opened
  int writesUntil_ = 0;
  std::function<void()> then_;
  std::vector<Made> made_;
};
