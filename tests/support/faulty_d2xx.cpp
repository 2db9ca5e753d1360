#include "tests/support/faulty_d2xx.h"

#include <algorithm>
#include <utility>

void FaultyD2xx::FailNext(const std::string& function, FT_STATUS status) {
  next_[function].push_back(status);
}

void FaultyD2xx::FailEvery(const std::string& function, FT_STATUS status) {
  every_[function] = status;
}

void FaultyD2xx::LoseDevice(std::int32_t index, int writes) {
  lostDevice_ = index;
  writesToLose_ = writes;
}

void FaultyD2xx::AfterWrites(int writes, std::function<void()> then) {
  writesUntil_ = writes;
  then_ = std::move(then);
}

std::ptrdiff_t FaultyD2xx::Count(std::string_view function) const {
  return std::ranges::count(made_, function, &Made::function);
}

bool FaultyD2xx::OnLostDevice(std::int32_t handle) const {
  const auto device = devices_.find(handle);
  return lostDevice_ && device != devices_.end() && device->second == *lostDevice_;
}

FT_STATUS FaultyD2xx::Pass(std::string_view name, std::optional<std::int32_t> handle,
                           const std::function<FT_STATUS()>& passOn) {
  const std::string function(name);
  std::optional<FT_STATUS> fault;
  if (auto next = next_.find(function); next != next_.end() && !next->second.empty()) {
    fault = next->second.front();
    next->second.pop_front();
  } else if (auto every = every_.find(function); every != every_.end()) {
    fault = every->second;
  } else if (handle && function != "FT_Close" && writesToLose_ <= 0 && OnLostDevice(*handle)) {
    fault = FT_IO_ERROR;
  }
  made_.push_back({function, fault ? *fault : passOn()});
  return made_.back().status;
}

FT_STATUS FaultyD2xx::FT_Open(std::int32_t index, std::int32_t& handle) {
  const FT_STATUS status = D2xxDecorator::FT_Open(index, handle);
  if (status == FT_OK) devices_[handle] = index;
  return status;
}

FT_STATUS FaultyD2xx::FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                               std::int32_t& written) {
  std::string bytes(buffer, static_cast<std::size_t>(count));
  if (alterWrites) alterWrites(bytes);
  const FT_STATUS status = D2xxDecorator::FT_Write(
      handle, bytes.data(), static_cast<std::int32_t>(bytes.size()), written);
  if (status != FT_OK) return status;
  if (OnLostDevice(handle)) --writesToLose_;
  if (then_ && --writesUntil_ == 0) std::exchange(then_, nullptr)();
  return status;
}
