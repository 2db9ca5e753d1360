#include "shell/tester_picker.h"

#include <QStringList>

#include <algorithm>
#include <vector>

#include "device_link/ctlVELD32UsbComm.h"
#include "device_link/device_listing.h"
#include "device_link/tester_selection.h"
#include "ui_core/operator_prompts.h"
#include "ui_core/window_settings.h"

namespace {
const QString kWhichTester = QStringLiteral("Several VELD32 testers are attached.  Connect to:");
}  // namespace

TesterPicker::TesterPicker(std::shared_ptr<D2xx> driver, ctlVELD32UsbComm& link,
                           OperatorPrompts& prompts)
    : driver_(std::move(driver)), link_(link), prompts_(prompts) {}

QString TesterPicker::Fix(const QString& selector) {
  const DeviceListing listing = ListAttachedDevices(*driver_);
  if (listing.status != FT_OK) {
    return QStringLiteral("the attached devices could not be listed (%1 failed)")
        .arg(QString::fromStdString(listing.failedLabel));
  }
  const TesterSelection selection = SelectTester(listing.devices, selector);
  if (selection.outcome != TesterSelection::Outcome::Found) return selection.problem;
  link_.SetUsbSerialNumber(selection.usbSerialNumber);
  fixed_ = true;
  return {};
}

bool TesterPicker::BeforeConnect() {
  if (fixed_) return true;
  const DeviceListing listing = ListAttachedDevices(*driver_);
  // A listing that fails is the link's to report, as it always was.
  if (listing.status != FT_OK) return true;
  std::vector<QString> openBy;
  QStringList items;
  bool first = true;
  for (const ListedDevice& device : listing.devices) {
    if (!IsListedTester(device)) continue;
    const bool own = OpenableBySerial(listing.devices, device);
    if (own || first) {
      const QString usb = QString::fromLatin1(device.usbSerialNumber.c_str());
      const QString tester = window_settings::TesterSerialOf(usb);
      QString item = usb.isEmpty() ? QStringLiteral("Device %1").arg(device.index)
                                   : QStringLiteral("USB %1").arg(usb);
      if (!tester.isEmpty()) item += QStringLiteral(" \u00B7 tester %1").arg(tester);
      items << item;
      openBy.push_back(own ? usb : QString());
    }
    first = false;
  }
  if (items.size() <= 1) {
    link_.SetUsbSerialNumber({});
    return true;
  }
  const auto last = std::find(openBy.begin(), openBy.end(), window_settings::ChosenTester());
  const int current = last == openBy.end() ? 0 : static_cast<int>(last - openBy.begin());
  const int choice = prompts_.Choose(kWhichTester, items, current);
  if (choice < 0 || choice >= static_cast<int>(openBy.size())) return false;
  const QString& chosen = openBy[static_cast<std::size_t>(choice)];
  window_settings::SetChosenTester(chosen);
  link_.SetUsbSerialNumber(chosen);
  return true;
}
