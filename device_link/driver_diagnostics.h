#pragma once

#include <string>
#include <string_view>

// What a driver backend knows about its last failure beyond the D2XX status the link sees, so
// the log and the command-line tool can tell the operator what to do about it.
class DriverDiagnostics {
 public:
  virtual ~DriverDiagnostics() = default;
  // The driver's own words for the last call that failed; empty while nothing has failed.
  virtual std::string LastErrorText() const = 0;
  // The last attempt to open a device (or to read its description) was refused because the
  // user may not open it.
  virtual bool PermissionRefused() const = 0;
};

// Where the udev rule that grants that permission lives in the source tree, and where it goes.
inline constexpr std::string_view kUdevRuleSource = "packaging/60-veld32.rules";
inline constexpr std::string_view kUdevRuleTarget = "/etc/udev/rules.d/60-veld32.rules";

// The advice to show when PermissionRefused() is true.
inline std::string PermissionHint() {
  return "Permission denied opening the USB device: install " + std::string(kUdevRuleSource) +
         " as " + std::string(kUdevRuleTarget) +
         ", run 'udevadm control --reload' and replug the tester.";
}
