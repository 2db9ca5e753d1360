#pragma once

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "device_link/reply_decoder.h"

// Records every decoder event as one readable line, e.g. "RXFirmwareVersion(01.02)".
class RecordingEvents : public ReplyEvents {
 public:
  std::vector<std::string> lines;
  bool recordBuffer = true;  // whether RXDataInBuffer is recorded

  void RXData(const std::string& frame) override { Add("RXData(" + frame + ")"); }
  void RXDataInBuffer(const std::string& text) override {
    if (recordBuffer) Add("RXDataInBuffer(" + text + ")");
  }
  void RXIdle() override { Add("RXIdle"); }
  void RXRunningTest() override { Add("RXRunningTest"); }
  void RXCurrentSetpoint(std::int16_t index, std::int16_t value) override {
    Add("RXCurrentSetpoint(" + Join({index, value}) + ")");
  }
  void RXAllCurrentSetpoints(std::int16_t a, std::int16_t b, std::int16_t c, std::int16_t d,
                             std::int16_t e) override {
    Add("RXAllCurrentSetpoints(" + Join({a, b, c, d, e}) + ")");
  }
  void RXLastData(std::int16_t programId, std::int16_t avgM, std::int16_t divideBy,
                  std::int16_t scaleFactor, double impedance) override {
    std::ostringstream out;
    out << "RXLastData(" << Join({programId, avgM, divideBy, scaleFactor}) << ",";
    std::isnan(impedance) ? out << "nan" : out << impedance;  // 0/0 would print as "-nan"
    Add(out.str() + ")");
  }
  void RXCalibrationDate(const std::string& y, const std::string& m,
                         const std::string& d) override {
    Add("RXCalibrationDate(" + y + "|" + m + "|" + d + ")");
  }
  void RXFirmwareVersion(const std::string& v) override { Add("RXFirmwareVersion(" + v + ")"); }
  void RXSerialNumber(const std::string& s) override { Add("RXSerialNumber(" + s + ")"); }
  void RXProgramValues(const ProgramValuesReply& r) override {
    const ProgramSettings& p = r.program;
    std::ostringstream out;
    out << "RXProgramValues("
        << Join({p.number, p.currentIndex, p.frequencyIndex, r.pulseCode, p.durationSeconds,
                 p.durationHours, static_cast<std::int16_t>(p.mode), r.avgmA, r.avguA, r.charge,
                 p.passOhms, p.failOhms})
        << "," << r.averageCurrent << "," << p.pulseWidthUs << "," << r.commandText << ")";
    Add(out.str());
  }

 private:
  void Add(std::string line) { lines.push_back(std::move(line)); }
  static std::string Join(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += (out.empty() ? "" : ",") + std::to_string(v);
    return out;
  }
};
