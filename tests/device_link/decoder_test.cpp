#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "device_link/reply_decoder.h"

namespace {

// Records every decoder event as one line, e.g. "RXFirmwareVersion(01.02)"; RXDataInBuffer only
// when `buffer`.
struct Recording : ReplyEvents {
  bool buffer = true;
  std::vector<std::string> lines;

  template <typename... Fields>
  void Add(const char* event, const Fields&... fields) {
    std::ostringstream out;
    out << event;
    [[maybe_unused]] const char* separator = "(";
    ((out << separator << fields, separator = ","), ...);
    lines.push_back(out.str() + (sizeof...(fields) > 0 ? ")" : ""));
  }
  void RXData(const std::string& frame) override { Add("RXData", frame); }
  void RXDataInBuffer(const std::string& text) override {
    if (buffer) Add("RXDataInBuffer", text);
  }
  void RXIdle() override { Add("RXIdle"); }
  void RXRunningTest() override { Add("RXRunningTest"); }
  void RXCurrentSetpoint(std::int16_t index, std::int16_t value) override {
    Add("RXCurrentSetpoint", index, value);
  }
  void RXAllCurrentSetpoints(std::int16_t a, std::int16_t b, std::int16_t c, std::int16_t d,
                             std::int16_t e) override {
    Add("RXAllCurrentSetpoints", a, b, c, d, e);
  }
  void RXLastData(std::int16_t id, std::int16_t avgM, std::int16_t divideBy, std::int16_t scale,
                  double ohms) override {
    Add("RXLastData", id, avgM, divideBy, scale, std::isnan(ohms) ? std::nan("") : ohms);
  }
  void RXCalibrationDate(const std::string& y, const std::string& m,
                         const std::string& d) override {
    Add("RXCalibrationDate", y, m, d);
  }
  void RXFirmwareVersion(const std::string& v) override { Add("RXFirmwareVersion", v); }
  void RXSerialNumber(const std::string& s) override { Add("RXSerialNumber", s); }
  void RXProgramValues(const ProgramValuesReply& r) override {
    const ProgramSettings& p = r.program;
    Add("RXProgramValues", p.number, p.currentIndex, p.frequencyIndex, r.pulseCode,
        p.durationSeconds, p.durationHours, static_cast<int>(p.mode), r.avgmA, r.avguA, r.charge,
        p.passOhms, p.failOhms, r.averageCurrent, p.pulseWidthUs, r.commandText);
  }
};

// Reads decoded in turn, the events they raise and the text kept after them.
struct DecodeCase {
  std::vector<std::string> reads;
  std::vector<std::string> events;
  std::string remainder = {};
};

// Decodes each case's reads in turn; `buffer`: whether RXDataInBuffer is recorded.
void ExpectDecoded(const std::vector<DecodeCase>& cases, bool buffer) {
  for (const DecodeCase& c : cases) {
    ReplyDecoder decoder;
    Recording events;
    events.buffer = buffer;
    for (const std::string& read : c.reads) decoder.Decode(read, events);
    EXPECT_EQ(events.lines, c.events) << c.reads.front().substr(0, 50);
    EXPECT_EQ(decoder.remainder(), c.remainder) << c.reads.front().substr(0, 50);
  }
}

// How received text is cut into frames and kept between reads, pass by pass.
TEST(Decoder, PassesRaiseBufferAndFrameEventsAndKeepTheTail) {
  ExpectDecoded(
      {// Split across reads
       {{"(MV1", "01.02)"},
        {"RXDataInBuffer((MV1)", "RXDataInBuffer((MV101.02))", "RXData((MV101.02))",
         "RXFirmwareVersion(01.02)"}},
       // Two frames one read
       {{"(*)(!)"},
        {"RXDataInBuffer((*)(!))", "RXData((*))", "RXIdle", "RXDataInBuffer((!))", "RXData((!))",
         "RXRunningTest"}},
       // Trailing character is kept
       {{"(*)x"}, {"RXDataInBuffer((*)x)", "RXData((*))", "RXIdle", "RXDataInBuffer(x)"}, "x"},
       // Trailing character starts the next reply
       {{"(*)(", "!)"},
        {"RXDataInBuffer((*)()", "RXData((*))", "RXIdle", "RXDataInBuffer(()",
         "RXDataInBuffer((!))", "RXData((!))", "RXRunningTest"}},
       // Resynchronise keeps the following frames
       {{"x)(*)(!)"},
        {"RXDataInBuffer(x)(*)(!))", "RXDataInBuffer((*)(!))", "RXData((*))", "RXIdle",
         "RXDataInBuffer((!))", "RXData((!))", "RXRunningTest"}},
       // Resynchronise then frame completed later
       {{"x)(MV1", "01.02)"},
        {"RXDataInBuffer(x)(MV1)", "RXDataInBuffer((MV1)", "RXDataInBuffer((MV101.02))",
         "RXData((MV101.02))", "RXFirmwareVersion(01.02)"}},
       // Text without opening waits
       {{"abc", "def"}, {"RXDataInBuffer(abc)", "RXDataInBuffer(abcdef)"}, "abcdef"}},
      true);
}

const std::string kProgramBody = "MP11,5,3,09,0030,1,000,100,100,0100,0000,1000";
const std::string kProgramEvent = "RXProgramValues(1,5,3,9,30,0,1,0,100,100,100,1000,0.1,100,";

// What each reply kind raises, read in one piece (the buffer events left out).
TEST(Decoder, EachReplyKindRaisesItsEventWithTheDecodedFields) {
  ExpectDecoded(
      {// Program values read
       {{"(" + kProgramBody + ")"},
        {"RXData((" + kProgramBody + "))", kProgramEvent + kProgramBody + ")"}},
       // Program values write echo has no command text
       {{"(MP01,5,3,09,0030,1,000,100,100,0100,0007,1000)"},
        {"RXData((MP01,5,3,09,0030,1,000,100,100,0100,0007,1000))",
         "RXProgramValues(1,5,3,9,30,7,1,0,100,100,100,1000,0.1,100,)"}},
       // Short program body uses zero slots
       {{"(MP1)"}, {"RXData((MP1))", "RXProgramValues(0,0,0,0,0,0,0,0,0,0,0,0,0,10,MP1)"}},
       // Failed conversion keeps earlier frame slot
       {{"(" + kProgramBody + ")(MP12,x,3,09,0030,1,000,100,100,0100,0000,1000)"},
        {"RXData((" + kProgramBody + "))", kProgramEvent + kProgramBody + ")",
         "RXData((MP12,x,3,09,0030,1,000,100,100,0100,0000,1000))",
         "RXProgramValues(2,5,3,9,30,0,1,0,100,100,100,1000,0.1,100,"
         "MP12,x,3,09,0030,1,000,100,100,0100,0000,1000)"}},
       // Unknown program selector raises only RXData
       {{"(MP2)"}, {"RXData((MP2))"}},
       // Pulse width arithmetic overflow abandons the frame: the pulse code slot keeps an
       // earlier frame's scale factor; past 16 bits the microsecond arithmetic fails and the
       // frame raises no event.
       {{"(G10100,0004,3275)(MP1)(G10100,0004,3276)(MP1)"},
        {"RXData((G10100,0004,3275))", "RXLastData(1,100,4,3275,204688)", "RXData((MP1))",
         "RXProgramValues(1,100,4,3275,0,0,0,0,0,0,0,0,0,32760,MP1)", "RXData((G10100,0004,3276))",
         "RXLastData(1,100,4,3276,204750)", "RXData((MP1))"}},
       // Last data impedance
       {{"(G10100,0004,0001)(G10100,0000,0001)(G10000,0000,0000)"},
        {"RXData((G10100,0004,0001))", "RXLastData(1,100,4,1,62.5)", "RXData((G10100,0000,0001))",
         "RXLastData(1,100,0,1,inf)", "RXData((G10000,0000,0000))", "RXLastData(1,0,0,0,nan)"}},
       // Setpoints by length
       {{"(I13,205)(I005,010,020,050,100)(I123456789)(I005,010,0x0,050,100)"},
        {"RXData((I13,205))", "RXCurrentSetpoint(3,205)", "RXData((I005,010,020,050,100))",
         "RXAllCurrentSetpoints(5,10,20,50,100)", "RXData((I123456789))",
         "RXData((I005,010,0x0,050,100))"}},
       // Date version and serial texts as received
       {{"(MV101.02)(MD12020,01,05)(MS0 0042)(MD0 20)"},
        {"RXData((MV101.02))", "RXFirmwareVersion(01.02)", "RXData((MD12020,01,05))",
         "RXCalibrationDate(2020,01,05)", "RXData((MS0 0042))", "RXSerialNumber( 0042)",
         "RXData((MD0 20))", "RXCalibrationDate( 20,,)"}},
       // Unknown kinds raise only RXData
       {{"(MX1)(Z)()"}, {"RXData((MX1))", "RXData((Z))", "RXData(())"}},
       // The kept text never grows past its bound, yet a frame that starts after the noise still
       // arrives whole.
       {{std::string(1000, 'z'), std::string(100, 'z')}, {}},
       {{std::string(2000, 'n') + "(MV1", "01.02)"},
        {"RXData((MV101.02))", "RXFirmwareVersion(01.02)"}}},
      false);
}

}  // namespace
