#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

#include "device_link/program_settings.h"
#include "tester/verdict.h"

// What production keeps: one record per finished test and one per change of a tester's
// programs. A record is written once and never changed; times are UTC. `sent` is true once a
// record is in the database it was meant for (the SQLite file itself, or the PostgreSQL server)
// and false while it waits in the local file for the server.

// The tester as it identified itself when the record was made.
struct TesterFacts {
  QString usbSerial;
  QString testerSerial;
  QString firmware;
  QString calibrated;  // the calibration date as the tester reports it
  bool calibrationOverdue = false;
};

enum class RunOutcome { Pass, Fail, BetweenLimits, NoReading, Stopped, Error };

// "pass", "fail", "between limits", "no reading" (as VerdictName), "stopped", "error".
QString RunOutcomeName(RunOutcome outcome);
// The outcome a name stands for; none for any other text.
std::optional<RunOutcome> RunOutcomeFromName(const QString& name);
RunOutcome OutcomeOf(Verdict verdict);

struct RunRecord {
  QUuid id = QUuid::createUuid();
  QDateTime started, ended;
  QString dut, operatorName, station;
  TesterFacts tester;
  ProgramSettings settings;  // as the tester reported them; carries the program number
  std::optional<double> impedanceOhms;
  RunOutcome outcome = RunOutcome::NoReading;
  QString errorText;  // why, for RunOutcome::Error
  QString version;    // of the software that made the record
  bool sent = false;  // set by the store
};

struct ProgramChange {
  QUuid id = QUuid::createUuid();
  QDateTime time;
  QString operatorName, station;
  TesterFacts tester;
  QString action;  // "upload", or the service command's words
  std::vector<ProgramSettings> programsSent, programsEchoed;
  bool agreed = false;  // the tester echoed back what was sent
  QString version;
  bool sent = false;  // set by the store
};

// A record's place in a listing, newest first: its start (a change's time), then its id.
struct RecordKey {
  QDateTime time;
  QUuid id;
};

// Which records a listing takes; an empty or absent member takes every record. `since` and
// `until` bound the start (a change's time) inclusively; `dutPrefix` matches the start of the
// DUT id exactly (case counts); `tester` is the tester's serial. `after` takes only the records
// listed after that one: the next page, which the index finds without reading the pages before.
struct RecordFilter {
  std::optional<QDateTime> since, until;
  QString dutPrefix;
  QString tester;
  QString station;
  std::optional<int> program;
  std::optional<RunOutcome> outcome;
  std::optional<RecordKey> after;
};

// One program's figures over the filtered runs; the impedance figures leave out runs without a
// reading and are absent when no run has one. passRate is passes / count.
struct ProgramStats {
  int program = 0;
  qint64 count = 0;
  double passRate = 0;
  std::optional<double> minOhms, medianOhms, maxOhms;
};
