#include <QLocale>

#include <algorithm>

#include "device_link/ctlVELD32UsbComm.h"
#include "device_link/device_listing.h"
#include "device_link/ft_status.h"
#include "device_link/protocol_numbers.h"
#include "programs/programs_model.h"
#include "tools/command_context.h"
#include "tools/driver_details.h"
#include "tools/json_text.h"
#include "tools/record_keeping.h"
#include "tools/tester_session.h"

namespace {

struct Device {
  ListedDevice listed;
  bool selected = false;
};

}  // namespace

CommandResult ListingFailed(const CommandContext& context, const DeviceListing& listing) {
  return CommandResult::Failure(
      ExitStatus::LinkFailure,
      QStringLiteral("Cannot list the FTDI devices: %1")
              .arg(QString::fromStdString(FtErrorText(listing.failedLabel, listing.status))) +
          DriverDetails(context.backend.diagnostics.get()));
}

CommandResult ListDevices(const CommandContext& context) {
  const DeviceListing listing = ListAttachedDevices(*context.backend.driver);
  if (listing.status != FT_OK) return ListingFailed(context, listing);
  std::vector<Device> devices;
  bool found = false;
  for (const ListedDevice& listed : listing.devices) {
    const bool selected = !found && ctlVELD32UsbComm::IsTesterDescription(listed.description);
    found = found || selected;
    devices.push_back({listed, selected});
  }

  if (context.options.json) {
    QStringList items;
    for (const Device& d : devices) {
      const QString serial = QString::fromLatin1(d.listed.usbSerialNumber.c_str());
      items << json_text::Object(
          {{QStringLiteral("index"), json_text::Integer(d.listed.index)},
           {QStringLiteral("description"),
            json_text::String(QString::fromLatin1(d.listed.description.c_str()))},
           {QStringLiteral("usb_serial"),
            serial.isEmpty() ? QStringLiteral("null") : json_text::String(serial)},
           {QStringLiteral("selected"), json_text::Boolean(d.selected)}});
    }
    context.out << json_text::Array(items) << '\n';
  } else {
    // The serial number first: a description may hold blanks of its own.
    for (const Device& d : devices) {
      const std::string& serial = d.listed.usbSerialNumber;
      context.out << (d.selected ? "* " : "  ") << d.listed.index << "  "
                  << QString::fromLatin1(serial.empty() ? "-" : serial.c_str()) << "  "
                  << QString::fromLatin1(d.listed.description.c_str()) << '\n';
    }
  }
  if (found) return {};
  return CommandResult::Failure(
      ExitStatus::NoTester,
      devices.empty()
          ? QStringLiteral("No tester found: no FTDI device is attached")
          : QStringLiteral("No tester found: none of the %1 FTDI devices is described \"VELD32\"")
                .arg(devices.size()));
}

CommandResult ShowIdentity(const CommandContext& context) {
  // Replies are applied as the window would; identity requests draw none.
  TestProgramsModel programs(QLocale::c());
  TesterSession session(context.backend.driver, context.backend.diagnostics,
                        SessionSettings(context.options), context.log, programs);
  TesterIdentity own;
  TesterIdentity& identity = context.identity ? *context.identity : own;
  std::optional<Setpoints> setpoints;
  CommandResult result = session.Open();
  if (result.Ok()) result = session.ReadIdentity(identity);
  if (result.Ok())
    result = session.ReadSetpointsIfReported(
        setpoints, std::max(kSetpointsWaitMs, 3 * int{context.options.intervalMs}));
  if (!result.Ok()) return result;
  WarnIfCalibrationOverdue(context, identity);

  const QString date = CalibrationDateText(identity);
  // The set-points by current level, 5 mA first.
  QStringList values;
  QStringList levels;
  for (std::size_t i = 0; setpoints && i < setpoints->size(); ++i) {
    values << json_text::Integer((*setpoints)[i]);
    levels << QStringLiteral("%1 mA %2")
                  .arg(CurrentLevelMilliamps(static_cast<std::int16_t>(i + 1)))
                  .arg((*setpoints)[i]);
  }
  if (context.options.json) {
    context.out << json_text::Object(
                       {{QStringLiteral("firmware"), json_text::String(*identity.firmware)},
                        {QStringLiteral("serial"), json_text::String(*identity.serial)},
                        {QStringLiteral("calibration_date"), json_text::String(date)},
                        {QStringLiteral("current_setpoints"),
                         setpoints ? json_text::Array(values) : QStringLiteral("null")}})
                << '\n';
  } else {
    context.out << "Firmware version:  " << *identity.firmware << '\n'
                << "Serial number:     " << *identity.serial << '\n'
                << "Calibration date:  " << date << '\n'
                << "Set-points:        "
                << (setpoints ? levels.join(QLatin1String(", ")) : kNotReported) << '\n';
  }
  return {};
}
