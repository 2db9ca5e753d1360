#pragma once

#include <QByteArray>

#include "records/production_record.h"

// Run records as comma-separated lines, the columns named as the records' JSON members (id,
// started, ended, dut, operator, station, usb_serial, tester_serial, firmware, calibrated,
// program, current_mA, frequency_Hz, pulse_width_us, mode, duration_s, pass_ohms, fail_ohms,
// impedance_ohms, verdict, version, sent); cells made safe for spreadsheets as in
// tester/run_record.h. Each line ends in "\n".
QByteArray RunRecordsCsvHeader();
QByteArray RunRecordsCsvLine(const RunRecord& run);
