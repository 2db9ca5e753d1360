#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "backends/simulated_tester_model.h"
#include "device_link/d2xx.h"

// A D2XX driver with VELD32 testers behind it, for the demo and the tests. Each listed device
// is a tester of its own: device n (from 0) has the USB serial number "SIM" and n + 1 in four
// digits, and the tester serial number n + 1 in five. Replies travel a 19200-baud wire (10 bits a
// byte): a byte becomes readable only once it has had time to arrive, measured on an injectable
// monotonic clock, so replies show up on a later polling tick as from real hardware. Its cable can
// be pulled and its tester fall silent.

class SimulatedTester : public D2xx {
 public:
  using Clock = std::function<SimTime()>;

  // What the host last set on a device.
  struct WireSettings {
    std::optional<std::uint8_t> latencyMs;
    std::optional<std::uint32_t> baud;
    std::optional<std::pair<std::uint8_t, std::uint8_t>> bitMode;  // mask, mode
  };

  // One tester described "VELD32", timed by the steady clock.
  SimulatedTester();
  // `clock` empty means the steady clock.
  explicit SimulatedTester(std::vector<std::string> descriptions, Clock clock = {});

  SimulatedTesterModel& Tester(std::size_t device = 0);
  const SimulatedTesterModel& Tester(std::size_t device = 0) const;
  const WireSettings& Settings(std::size_t device = 0) const;
  std::size_t DeviceCount() const { return ports_.size(); }

  // The programs of the first tester, for tools that keep them between runs.
  std::optional<ProgramSettings> Program(int number) const { return Tester().Program(number); }
  bool SetProgram(const ProgramSettings& program) { return Tester().SetProgram(program); }

  // Time a reply of `bytes` bytes takes on the wire.
  static SimTime WireTime(std::size_t bytes);

  // Unplugged, no device is listed or opened. Every call on a handle opened before the unplug
  // fails with FT_IO_ERROR, also after Replug, except FT_Close, which releases it.
  void Unplug();
  void Replug();
  // A silent tester takes every write and answers nothing.
  void SetSilent(bool silent) { silent_ = silent; }

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
  struct InFlight {
    std::string bytes;
    SimTime notBefore{0};
    std::size_t arrived = 0;
  };

  struct Port {
    std::string description;
    std::string usbSerialNumber;
    SimulatedTesterModel tester;
    WireSettings settings;
    std::string request;            // bytes of a request frame not yet complete
    std::deque<InFlight> inFlight;  // replies on the wire, in sending order
    SimTime lineFreeAt{0};          // when the reply being sent has left the tester
    std::string readable;           // arrived, waiting to be read
  };

  // The port listed at `index`, or none with the status a listing call gets.
  const Port* Listed(std::int32_t index, FT_STATUS& status);
  // The port a call on `handle` works on, or none with the status the call gets (a lost or an
  // unknown handle).
  Port* Enter(std::int32_t handle, FT_STATUS& status);
  void Deliver(Port& port);
  void Receive(Port& port, const char* bytes, std::int32_t count);
  void Send(Port& port, const TimedReply& reply);
  std::int32_t Deliverable(const Port& port) const;

  std::vector<Port> ports_;
  Clock clock_;
  std::map<std::int32_t, std::size_t> openHandles_;  // handle -> port index
  std::map<std::int32_t, std::size_t> lostHandles_;  // opened before an unplug
  std::int32_t nextHandle_ = 1;
  bool plugged_ = true;
  bool silent_ = false;
};
