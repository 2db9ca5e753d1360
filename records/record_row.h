#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <utility>
#include <vector>

#include "records/production_record.h"

// A record as named values: the members of veld32ctl's JSON lines and the columns of the CSV
// files, in their order. A value is null (nothing known), a bool, an int, a double, a text, or,
// for a change's programs, RecordRows (one row per program).
using RecordRow = std::vector<std::pair<QString, QVariant>>;
using RecordRows = std::vector<RecordRow>;

// id, started, ended, dut, operator, station, the tester (usb_serial, tester_serial, firmware,
// calibrated, calibration_overdue), program, the settings (programs/settings_values.h),
// impedance_ohms (null without a reading), verdict, error (null unless there is one), version,
// sent.
RecordRow RunRow(const RunRecord& run);
// id, time, operator, station, the tester, action, agreed, version, sent, programs_sent and
// programs_echoed (each program as program and its settings).
RecordRow ChangeRow(const ProgramChange& change);

// The names of the row's values, then one line per row; each line ends in "\n". A cell is as
// tester/run_record.h's CsvCell makes it (safe from a spreadsheet's formulas, quoted where it
// must be): null is empty, ohms are written as OhmsText writes them, and a list of programs
// is one cell of compact JSON ([{"program":1,"current_mA":100,...},...]).
QByteArray CsvHeader(const RecordRow& row);
QByteArray CsvLine(const RecordRow& row);
