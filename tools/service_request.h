#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <variant>

// What `veld32ctl service ...` asks of the tester, checked before any tester is reached:
//   set-serial N                 serial number 0..99999
//   set-calibration-date DATE    a date that exists, YYYY-MM-DD
//   adjust-current LEVEL up|down one step of the set-point of current level 1..5

struct SetSerialRequest {
  qint32 serial = 0;
};
struct SetCalibrationDateRequest {
  QDate date;
};
struct AdjustCurrentRequest {
  qint16 level = 1;
  bool up = true;
};
using ServiceRequest =
    std::variant<SetSerialRequest, SetCalibrationDateRequest, AdjustCurrentRequest>;

struct ParsedServiceRequest {
  ServiceRequest request;
  QString error;  // why the words are not a service request; empty when they are
};

// `words` after "service".
ParsedServiceRequest ParseServiceRequest(const QStringList& words);

// The request in the words of the command line ("set-serial 12345", "adjust-current 3 up").
QString ServiceWords(const ServiceRequest& request);

// The frame the request sends ("(MS012345)", "(MD02025,03,09)", "(I3+)").
QString ServiceFrame(const ServiceRequest& request);
