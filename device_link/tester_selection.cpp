#include "device_link/tester_selection.h"

#include <QRegularExpression>

#include <algorithm>

#include "device_link/ctlVELD32UsbComm.h"

namespace {

QString Latin1(const std::string& text) { return QString::fromLatin1(text.c_str()); }

TesterSelection NotFound(TesterSelection::Outcome outcome, const QString& problem) {
  TesterSelection selection;
  selection.outcome = outcome;
  selection.problem = problem;
  return selection;
}

}  // namespace

bool IsListedTester(const ListedDevice& device) {
  return ctlVELD32UsbComm::IsTesterDescription(device.description);
}

bool OpenableBySerial(const std::vector<ListedDevice>& devices, const ListedDevice& device) {
  return !device.usbSerialNumber.empty() &&
         std::count_if(devices.begin(), devices.end(), [&device](const ListedDevice& other) {
           return IsListedTester(other) && other.usbSerialNumber == device.usbSerialNumber;
         }) == 1;
}

TesterSelection SelectTester(const std::vector<ListedDevice>& devices, const QString& selector) {
  TesterSelection found;
  found.outcome = TesterSelection::Outcome::Found;
  const auto bySerial = std::find_if(devices.begin(), devices.end(), [&](const ListedDevice& d) {
    return IsListedTester(d) && Latin1(d.usbSerialNumber) == selector;
  });
  if (bySerial != devices.end()) {
    found.usbSerialNumber = selector;
    return found;
  }
  // An index is written as the listing prints it: plain digits without leading zeros.
  static const QRegularExpression kPlainIndex(QStringLiteral("^(0|[1-9][0-9]*)$"));
  bool isIndex = kPlainIndex.match(selector).hasMatch();
  const int index = isIndex ? selector.toInt(&isIndex) : -1;
  if (!isIndex || index >= static_cast<int>(devices.size())) {
    return NotFound(TesterSelection::Outcome::NoSuchTester,
                    QStringLiteral("no device described \"VELD32\" has the USB serial number "
                                   "or the index '%1'")
                        .arg(selector));
  }
  const ListedDevice& device = devices[static_cast<std::size_t>(index)];
  if (!IsListedTester(device)) {
    return NotFound(TesterSelection::Outcome::NotATester,
                    QStringLiteral("device %1 is described \"%2\", not \"VELD32\"")
                        .arg(index)
                        .arg(Latin1(device.description)));
  }
  const auto first = std::find_if(devices.begin(), devices.end(), IsListedTester);
  if (&device == &*first) return found;
  if (!OpenableBySerial(devices, device)) {
    return NotFound(
        TesterSelection::Outcome::NoOwnSerial,
        QStringLiteral("device %1 has no USB serial number of its own to open it by").arg(index));
  }
  found.usbSerialNumber = Latin1(device.usbSerialNumber);
  return found;
}
