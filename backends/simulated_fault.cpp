#include "backends/simulated_fault.h"

#include <array>
#include <charconv>
#include <string_view>
#include <utility>

#include "backends/simulated_tester.h"

namespace {

using Kind = SimulatedFaultOptions::Kind;

constexpr std::array<std::pair<std::string_view, Kind>, 4> kKinds{{
    {"unplug", Kind::Unplug},
    {"silent", Kind::Silent},
    {"echo-mismatch", Kind::EchoMismatch},
    {"readback-mismatch", Kind::ReadbackMismatch},
}};

// Another digit in place of the one at `at`, so that the value stays a number of its width.
void Bump(std::string& text, std::size_t at) {
  if (at < text.size()) text[at] = text[at] == '9' ? '8' : static_cast<char>(text[at] + 1);
}

// The last digit of comma-separated field `field` of the frame body that starts after `prefix`.
void BumpField(std::string& frame, std::size_t prefix, int field) {
  std::size_t start = prefix;
  for (int i = 0; i < field && start != std::string::npos; ++i) {
    start = frame.find(',', start);
    if (start != std::string::npos) ++start;
  }
  if (start == std::string::npos) return;
  const std::size_t end = frame.find_first_of(",)", start);
  if (end != std::string::npos && end > start) Bump(frame, end - 1);
}

}  // namespace

std::optional<SimulatedFaultOptions> ParseSimulatedFault(const std::string& text) {
  const std::size_t at = text.find('@');
  const std::string_view name = std::string_view(text).substr(0, at);
  SimulatedFaultOptions fault;
  bool known = false;
  for (const auto& [kindName, kind] : kKinds) {
    if (name == kindName) {
      fault.kind = kind;
      known = true;
    }
  }
  if (!known) return std::nullopt;
  if (at == std::string::npos) return fault;
  const std::string_view count = std::string_view(text).substr(at + 1);
  const char* end = count.data() + count.size();
  const auto [stop, error] = std::from_chars(count.data(), end, fault.afterFrames);
  if (count.empty() || count.front() == '-' || count.front() == '+' || error != std::errc() ||
      stop != end) {
    return std::nullopt;
  }
  return fault;
}

SimulatedFault::SimulatedFault(std::shared_ptr<D2xx> driver,
                               std::shared_ptr<SimulatedTester> simulator,
                               SimulatedFaultOptions fault)
    : D2xxDecorator(std::move(driver)), simulator_(std::move(simulator)), fault_(fault) {
  StartIfDue();
}

void SimulatedFault::StartIfDue() {
  if (frames_ != fault_.afterFrames) return;
  if (fault_.kind == Kind::Unplug) simulator_->Unplug();
  if (fault_.kind == Kind::Silent) simulator_->SetSilent(true);
}

// The tester takes another value than the one sent, as a worn memory or a disturbed line would
// have it: the echo or the read-back then differs from what the host wrote.
void SimulatedFault::Change(std::string& frame) const {
  if (frames_ < fault_.afterFrames) return;
  constexpr int kPassField = 9;
  if (fault_.kind == Kind::EchoMismatch && frame.starts_with("(MP0")) {
    BumpField(frame, 4, kPassField);
  } else if (fault_.kind == Kind::ReadbackMismatch) {
    if (frame.starts_with("(MS0")) BumpField(frame, 4, 0);
    if (frame.starts_with("(MD0")) Bump(frame, 7);  // the year's last digit
    if (frame.starts_with("(I") && frame.size() == 5) frame[3] = frame[3] == '+' ? '-' : '+';
  }
}

FT_STATUS SimulatedFault::FT_Write(std::int32_t handle, const char* buffer, std::int32_t count,
                                   std::int32_t& written) {
  std::string frame(buffer, static_cast<std::size_t>(count));
  Change(frame);
  const FT_STATUS status = D2xxDecorator::FT_Write(handle, frame.data(), count, written);
  if (status == FT_OK) {
    ++frames_;
    StartIfDue();
  }
  return status;
}
