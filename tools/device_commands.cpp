#include <QLocale>

#include <algorithm>
#include <array>

#include "command_context.h"
#include "ctlVELD32UsbComm.h"
#include "driver_details.h"
#include "ft_status.h"
#include "json_text.h"
#include "protocol_numbers.h"
#include "test_programs_model.h"
#include "tester_session.h"

namespace {

struct Device {
  int index = 0;
  QString description;
  bool selected = false;
};

CommandResult ListingFailed(const CommandContext& context, const char* label, FT_STATUS status) {
  return CommandResult::Failure(ExitStatus::LinkFailure,
                                QStringLiteral("Cannot list the FTDI devices: %1")
                                        .arg(QString::fromStdString(FtErrorText(label, status))) +
                                    DriverDetails(context.backend.diagnostics.get()));
}

}  // namespace

CommandResult ListDevices(const CommandContext& context) {
  D2xx& driver = *context.backend.driver;
  std::int32_t count = 0;
  if (const FT_STATUS status = driver.FT_ListDevicesCount(count); status != FT_OK) {
    return ListingFailed(context, "GetFTDeviceCount", status);
  }
  std::vector<Device> devices;
  bool found = false;
  for (std::int32_t index = 0; index < count; ++index) {
    std::array<char, kDescriptionBufferSize> buffer{};
    if (const FT_STATUS status = driver.FT_ListDevicesDescription(index, buffer.data());
        status != FT_OK) {
      return ListingFailed(context, "GetFTDeviceDescription", status);
    }
    // A description that fills the whole buffer comes without a NUL.
    const std::string description(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
    const bool selected = !found && ctlVELD32UsbComm::IsTesterDescription(description);
    found = found || selected;
    devices.push_back({index, QString::fromLatin1(description.c_str()), selected});
  }

  if (context.options.json) {
    QStringList items;
    for (const Device& d : devices) {
      items << json_text::Object({{QStringLiteral("index"), json_text::Integer(d.index)},
                                  {QStringLiteral("description"), json_text::String(d.description)},
                                  {QStringLiteral("selected"), json_text::Boolean(d.selected)}});
    }
    context.out << json_text::Array(items) << '\n';
  } else {
    for (const Device& d : devices) {
      context.out << (d.selected ? "* " : "  ") << d.index << "  " << d.description << '\n';
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
  TesterIdentity identity;
  Setpoints setpoints{};
  CommandResult result = session.Open();
  if (result.Ok()) result = session.ReadIdentity(identity);
  if (result.Ok()) result = session.ReadSetpoints(setpoints);
  if (!result.Ok()) return result;

  const QString date =
      QStringList{*identity.calibrationYear, *identity.calibrationMonth, *identity.calibrationDay}
          .join(u'-');
  // The set-points by current level, 5 mA first.
  QStringList values;
  QStringList levels;
  for (std::size_t i = 0; i < setpoints.size(); ++i) {
    values << json_text::Integer(setpoints[i]);
    levels << QStringLiteral("%1 mA %2")
                  .arg(CurrentLevelMilliamps(static_cast<std::int16_t>(i + 1)))
                  .arg(setpoints[i]);
  }
  if (context.options.json) {
    context.out << json_text::Object(
                       {{QStringLiteral("firmware"), json_text::String(*identity.firmware)},
                        {QStringLiteral("serial"), json_text::String(*identity.serial)},
                        {QStringLiteral("calibration_date"), json_text::String(date)},
                        {QStringLiteral("current_setpoints"), json_text::Array(values)}})
                << '\n';
  } else {
    context.out << "Firmware version:  " << *identity.firmware << '\n'
                << "Serial number:     " << *identity.serial << '\n'
                << "Calibration date:  " << date << '\n'
                << "Set-points:        " << levels.join(QLatin1String(", ")) << '\n';
  }
  return {};
}
