#include "tools/tester_choice.h"

#include <algorithm>

#include "device_link/ctlVELD32UsbComm.h"
#include "tools/command_context.h"
#include "tools/plain_number.h"

namespace {

bool IsTester(const ListedDevice& device) {
  return ctlVELD32UsbComm::IsTesterDescription(device.description);
}

QString Latin1(const std::string& text) { return QString::fromLatin1(text.c_str()); }

CommandResult NoTester(const QString& why) {
  return CommandResult::Failure(ExitStatus::NoTester, QStringLiteral("No tester found: ") + why);
}

// A tester can be opened by its serial number when no other tester shares it; the first tester
// can always be opened by the plain rule.
bool OpenableBySerial(const std::vector<ListedDevice>& devices, const ListedDevice& device) {
  return !device.usbSerialNumber.empty() &&
         std::count_if(devices.begin(), devices.end(), [&device](const ListedDevice& other) {
           return IsTester(other) && other.usbSerialNumber == device.usbSerialNumber;
         }) == 1;
}

const ListedDevice* FirstTester(const std::vector<ListedDevice>& devices) {
  const auto first = std::find_if(devices.begin(), devices.end(), IsTester);
  return first == devices.end() ? nullptr : &*first;
}

}  // namespace

ChosenTester ChooseTester(const CommandContext& context, const QString& selector) {
  const DeviceListing listing = ListAttachedDevices(*context.backend.driver);
  if (listing.status != FT_OK) return {ListingFailed(context, listing), {}};
  const std::vector<ListedDevice>& devices = listing.devices;
  const auto bySerial = std::find_if(devices.begin(), devices.end(), [&](const ListedDevice& d) {
    return IsTester(d) && Latin1(d.usbSerialNumber) == selector;
  });
  if (bySerial != devices.end()) return {{}, selector};

  // An index is written as list prints it: plain digits without leading zeros.
  const std::optional<qint64> number = PlainNumber(selector);
  const bool isIndex = number && QString::number(*number) == selector;
  const int index = isIndex ? static_cast<int>(*number) : -1;
  if (!isIndex || index >= static_cast<int>(devices.size())) {
    return {NoTester(QStringLiteral("no device described \"VELD32\" has the USB serial number "
                                    "or the index '%1'")
                         .arg(selector)),
            {}};
  }
  const ListedDevice& device = devices[static_cast<std::size_t>(index)];
  if (!IsTester(device)) {
    return {NoTester(QStringLiteral("device %1 is described \"%2\", not \"VELD32\"")
                         .arg(index)
                         .arg(Latin1(device.description))),
            {}};
  }
  if (&device == FirstTester(devices)) return {{}, {}};
  if (!OpenableBySerial(devices, device)) {
    return {NoTester(QStringLiteral("device %1 has no USB serial number of its own to open it by")
                         .arg(index)),
            {}};
  }
  return {{}, Latin1(device.usbSerialNumber)};
}

Bench ListBench(const CommandContext& context) {
  Bench bench;
  const DeviceListing listing = ListAttachedDevices(*context.backend.driver);
  if (listing.status != FT_OK) {
    bench.result = ListingFailed(context, listing);
    return bench;
  }
  // Alone on the bench, a tester needs no serial number: the plain rule opens it.
  const bool alone = std::count_if(listing.devices.begin(), listing.devices.end(), IsTester) == 1;
  for (const ListedDevice& device : listing.devices) {
    if (!IsTester(device)) continue;
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
