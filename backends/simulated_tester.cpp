#include "backends/simulated_tester.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {
constexpr std::int64_t kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr std::int64_t kBaud = 19200;
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

SimTime SteadyNow() { return std::chrono::steady_clock::now().time_since_epoch(); }

// Bytes of a reply that have arrived `elapsed` after it started, at most `size`.
std::size_t BytesArrived(SimTime elapsed, std::size_t size) {
  if (elapsed >= SimulatedTester::WireTime(size)) return size;
  return static_cast<std::size_t>(elapsed.count() * kBaud / (kBitsPerByte * kNanosPerSecond));
}
}  // namespace

SimulatedTester::SimulatedTester() : SimulatedTester({"VELD32"}) {}

SimulatedTester::SimulatedTester(std::vector<std::string> descriptions, Clock clock)
    : clock_(clock ? std::move(clock) : Clock(SteadyNow)) {
  ports_.resize(descriptions.size());
  for (std::size_t i = 0; i < descriptions.size(); ++i) {
    Port& port = ports_[i];
    port.description = std::move(descriptions[i]);
    const std::string number = std::to_string(i + 1);
    port.usbSerialNumber =
        "SIM" + std::string(4 - std::min<std::size_t>(number.size(), 4), '0') + number;
    port.tester.serialNumber =
        std::string(5 - std::min<std::size_t>(number.size(), 5), '0') + number;
  }
}

SimTime SimulatedTester::WireTime(std::size_t bytes) {
  const std::int64_t bits = static_cast<std::int64_t>(bytes) * kBitsPerByte;
  return SimTime{(bits * kNanosPerSecond + kBaud - 1) / kBaud};
}

SimulatedTesterModel& SimulatedTester::Tester(std::size_t device) {
  return ports_.at(device).tester;
}

const SimulatedTesterModel& SimulatedTester::Tester(std::size_t device) const {
  return ports_.at(device).tester;
}

const SimulatedTester::WireSettings& SimulatedTester::Settings(std::size_t device) const {
  return ports_.at(device).settings;
}

void SimulatedTester::Unplug() {
  plugged_ = false;
  lostHandles_.insert(openHandles_.begin(), openHandles_.end());
  openHandles_.clear();
  for (Port& port : ports_) {
    // Whatever was on the cable is gone; the testers keep what they store.
    port.request.clear();
    port.inFlight.clear();
    port.readable.clear();
    port.settings = {};
  }
}

void SimulatedTester::Replug() { plugged_ = true; }

SimulatedTester::Port* SimulatedTester::Enter(std::int32_t handle, FT_STATUS& status) {
  if (auto it = openHandles_.find(handle); it != openHandles_.end()) {
    status = FT_OK;
    Port& port = ports_[it->second];
    Deliver(port);
    return &port;
  }
  status = lostHandles_.contains(handle) ? FT_IO_ERROR : FT_INVALID_HANDLE;
  return nullptr;
}

void SimulatedTester::Deliver(Port& port) {
  const SimTime now = clock_();
  while (!port.inFlight.empty()) {
    InFlight& reply = port.inFlight.front();
    const SimTime start = std::max(reply.notBefore, port.lineFreeAt);
    if (now < start) return;
    const std::size_t arrived = BytesArrived(now - start, reply.bytes.size());
    port.readable.append(reply.bytes, reply.arrived, arrived - reply.arrived);
    reply.arrived = arrived;
    if (arrived < reply.bytes.size()) return;
    port.lineFreeAt = start + WireTime(reply.bytes.size());
    port.inFlight.pop_front();
  }
}

void SimulatedTester::Receive(Port& port, const char* bytes, std::int32_t count) {
  port.request.append(bytes, static_cast<std::size_t>(count));
  // The tester starts a frame afresh at every "(" and ignores anything outside a frame.
  for (;;) {
    const std::size_t close = port.request.find(')');
    if (close == std::string::npos) break;
    const std::size_t open = port.request.rfind('(', close);
    if (open != std::string::npos && !silent_) {
      const std::string frame = port.request.substr(open, close - open + 1);
      for (const TimedReply& reply : port.tester.Answer(frame, clock_())) Send(port, reply);
    }
    port.request.erase(0, close + 1);
  }
  const std::size_t open = port.request.rfind('(');
  port.request.erase(0, open == std::string::npos ? port.request.size() : open);
}

void SimulatedTester::Send(Port& port, const TimedReply& reply) {
  InFlight flight{reply.frame, clock_() + reply.delay, 0};
  // Replies leave in the order the tester starts them; a delayed one waits its turn.
  auto later = std::upper_bound(
      port.inFlight.begin(), port.inFlight.end(), flight.notBefore,
      [](SimTime notBefore, const InFlight& queued) { return notBefore < queued.notBefore; });
  port.inFlight.insert(later, std::move(flight));
}

std::int32_t SimulatedTester::Deliverable(const Port& port) const {
  return static_cast<std::int32_t>(
      std::min<std::size_t>(port.readable.size(), std::numeric_limits<std::int32_t>::max()));
}

FT_STATUS SimulatedTester::FT_ListDevicesCount(std::int32_t& count) {
  count = plugged_ ? static_cast<std::int32_t>(ports_.size()) : 0;
  return FT_OK;
}

const SimulatedTester::Port* SimulatedTester::Listed(std::int32_t index, FT_STATUS& status) {
  status = FT_DEVICE_NOT_FOUND;
  if (!plugged_ || index < 0 || static_cast<std::size_t>(index) >= ports_.size()) return nullptr;
  status = FT_OK;
  return &ports_[static_cast<std::size_t>(index)];
}

namespace {
// Copies `text` into a listing buffer of `size` bytes, NUL-terminated when shorter.
FT_STATUS CopyListed(const std::string& text, char* buffer, std::size_t size) {
  if (buffer == nullptr) return FT_INVALID_PARAMETER;
  const std::size_t n = std::min(text.size(), size);
  std::memcpy(buffer, text.data(), n);
  if (n < size) buffer[n] = '\0';
  return FT_OK;
}
}  // namespace

FT_STATUS SimulatedTester::FT_ListDevicesDescription(std::int32_t index, char* buffer50) {
  FT_STATUS status = FT_OK;
  const Port* port = Listed(index, status);
  if (port == nullptr) return status;
  return CopyListed(port->description, buffer50, kDescriptionBufferSize);
}

FT_STATUS SimulatedTester::FT_ListDevicesSerialNumber(std::int32_t index, char* buffer16) {
  FT_STATUS status = FT_OK;
  const Port* port = Listed(index, status);
  if (port == nullptr) return status;
  return CopyListed(port->usbSerialNumber.substr(0, kSerialNumberBufferSize - 1), buffer16,
                    kSerialNumberBufferSize);
}

FT_STATUS SimulatedTester::FT_Open(std::int32_t index, std::int32_t& handle) {
  if (!plugged_ || index < 0 || static_cast<std::size_t>(index) >= ports_.size()) {
    return FT_DEVICE_NOT_FOUND;
  }
  const auto device = static_cast<std::size_t>(index);
  const bool busy = std::any_of(openHandles_.begin(), openHandles_.end(),
                                [device](const auto& open) { return open.second == device; });
  if (busy) return FT_DEVICE_NOT_OPENED;
  handle = nextHandle_++;
  openHandles_[handle] = device;
  Port& port = ports_[device];
  port.request.clear();
  port.readable.clear();
  return FT_OK;
}

FT_STATUS SimulatedTester::FT_GetQueueStatus(std::int32_t handle, std::int32_t& rxBytes) {
  FT_STATUS status = FT_OK;
  Port* port = Enter(handle, status);
  if (port == nullptr) return status;
  rxBytes = Deliverable(*port);
  return FT_OK;
}

FT_STATUS SimulatedTester::FT_Read(std::int32_t handle, char* buffer, std::int32_t wanted,
                                   std::int32_t& read) {
  FT_STATUS status = FT_OK;
  Port* port = Enter(handle, status);
  if (port == nullptr) return status;
  if (wanted < 0 || (wanted > 0 && buffer == nullptr)) return FT_INVALID_PARAMETER;
  const std::int32_t n = std::min(wanted, Deliverable(*port));
  // A read of nothing may name no buffer.
  std::copy_n(port->readable.data(), n, buffer);
  port->readable.erase(0, static_cast<std::size_t>(n));
  read = n;
  return FT_OK;
}

FT_STATUS SimulatedTester::FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                                    std::int32_t& written) {
  FT_STATUS status = FT_OK;
  Port* port = Enter(handle, status);
  if (port == nullptr) return status;
  if (count < 0 || (count > 0 && buffer == nullptr)) return FT_INVALID_PARAMETER;
  Receive(*port, buffer, count);
  written = count;
  return FT_OK;
}

FT_STATUS SimulatedTester::FT_SetLatencyTimer(std::int32_t handle, std::uint8_t milliseconds) {
  FT_STATUS status = FT_OK;
  Port* port = Enter(handle, status);
  if (port == nullptr) return status;
  port->settings.latencyMs = milliseconds;
  return FT_OK;
}

FT_STATUS SimulatedTester::FT_SetBaudRate(std::int32_t handle, std::uint32_t baud) {
  FT_STATUS status = FT_OK;
  Port* port = Enter(handle, status);
  if (port == nullptr) return status;
  port->settings.baud = baud;
  return FT_OK;
}

FT_STATUS SimulatedTester::FT_SetBitMode(std::int32_t handle, std::uint8_t mask,
                                         std::uint8_t mode) {
  FT_STATUS status = FT_OK;
  Port* port = Enter(handle, status);
  if (port == nullptr) return status;
  port->settings.bitMode = std::pair{mask, mode};
  return FT_OK;
}

FT_STATUS SimulatedTester::FT_Close(std::int32_t handle) {
  if (openHandles_.erase(handle) > 0) return FT_OK;
  // A handle whose device vanished is released all the same: nothing is left to close.
  if (lostHandles_.erase(handle) > 0) return FT_OK;
  return FT_INVALID_HANDLE;
}
