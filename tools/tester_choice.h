#pragma once

#include <QString>

#include <vector>

#include "device_link/device_listing.h"
#include "tools/command_result.h"

struct CommandContext;

// Which testers a command line means on a bench of several, by the USB serial numbers of their
// bridges: the link opens a tester by that number.

struct ChosenTester {
  CommandResult result;     // NoTester when SELECTOR names no tester, LinkFailure when unlisted
  QString usbSerialNumber;  // empty: the first described "VELD32", as without --device
};

// --device=SELECTOR: the tester with that USB serial number, or else at that index of list.
ChosenTester ChooseTester(const CommandContext& context, const QString& selector);

struct BenchTester {
  ListedDevice device;
  QString openBy;  // the USB serial number to open it by; empty for a tester alone on the bench
  // Set when the driver gives this tester no USB serial number of its own to open it by.
  CommandResult unreachable;
};

struct Bench {
  CommandResult result;  // LinkFailure when the listing failed, NoTester when no tester is there
  std::vector<BenchTester> testers;  // every device described "VELD32", in listing order
};

// --all: every attached tester.
Bench ListBench(const CommandContext& context);
