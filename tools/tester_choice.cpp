#include "tools/tester_choice.h"

#include <algorithm>

#include "device_link/tester_selection.h"
#include "tools/command_context.h"

namespace {

QString Latin1(const std::string& text) { return QString::fromLatin1(text.c_str()); }

CommandResult NoTester(const QString& why) {
  return CommandResult::Failure(ExitStatus::NoTester, QStringLiteral("No tester found: ") + why);
}

}  // namespace

ChosenTester ChooseTester(const CommandContext& context, const QString& selector) {
  const DeviceListing listing = ListAttachedDevices(*context.backend.driver);
  if (listing.status != FT_OK) return {ListingFailed(context, listing), {}};
  const TesterSelection selection = SelectTester(listing.devices, selector);
  if (selection.outcome != TesterSelection::Outcome::Found)
    return {NoTester(selection.problem), {}};
  return {{}, selection.usbSerialNumber};
}

Bench ListBench(const CommandContext& context) {
  Bench bench;
  const DeviceListing listing = ListAttachedDevices(*context.backend.driver);
  if (listing.status != FT_OK) {
    bench.result = ListingFailed(context, listing);
    return bench;
  }
  // Alone on the bench, a tester needs no serial number: the plain rule opens it.
  const bool alone =
      std::count_if(listing.devices.begin(), listing.devices.end(), IsListedTester) == 1;
  for (const ListedDevice& device : listing.devices) {
    if (!IsListedTester(device)) continue;
    BenchTester tester{device, Latin1(device.usbSerialNumber), {}};
    if (alone) {
      tester.openBy.clear();
    } else if (!OpenableBySerial(listing.devices, device)) {
      tester.unreachable =
          NoTester(QStringLiteral("no USB serial number of its own tells it from the others"));
    }
    bench.testers.push_back(std::move(tester));
  }
  if (bench.testers.empty()) {
    bench.result = NoTester(QStringLiteral("no FTDI device is described \"VELD32\""));
  }
  return bench;
}
