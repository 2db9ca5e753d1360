#include <gtest/gtest.h>

#include <random>

#include "device_link/reply_decoder.h"
#include "tests/device_link/recording_events.h"

namespace {

struct DecodeCase {
  const char* name;
  std::vector<std::string> reads;
  std::vector<std::string> events;
  std::string remainder = {};
};

// Decodes each case's reads in turn; `buffer`: whether RXDataInBuffer is recorded.
void ExpectDecoded(const std::vector<DecodeCase>& cases, bool buffer) {
  for (const DecodeCase& c : cases) {
    ReplyDecoder decoder;
    RecordingEvents events;
    events.recordBuffer = buffer;
    for (const std::string& read : c.reads) decoder.Decode(read, events);
    EXPECT_EQ(events.lines, c.events) << c.name;
    if (buffer) {
      EXPECT_EQ(decoder.remainder(), c.remainder) << c.name;
    }
  }
}

// How received text is cut into frames and kept between reads, pass by pass.
TEST(Decoder, PassesRaiseBufferAndFrameEventsAndKeepTheTail) {
  ExpectDecoded({{"SplitAcrossReads",
                  {"(MV1", "01.02)"},
                  {"RXDataInBuffer((MV1)", "RXDataInBuffer((MV101.02))", "RXData((MV101.02))",
                   "RXFirmwareVersion(01.02)"}},
                 {"TwoFramesOneRead",
                  {"(*)(!)"},
                  {"RXDataInBuffer((*)(!))", "RXData((*))", "RXIdle", "RXDataInBuffer((!))",
                   "RXData((!))", "RXRunningTest"}},
                 {"TrailingCharacterIsKept",
                  {"(*)x"},
                  {"RXDataInBuffer((*)x)", "RXData((*))", "RXIdle", "RXDataInBuffer(x)"},
                  "x"},
                 {"TrailingCharacterStartsTheNextReply",
                  {"(*)(", "!)"},
                  {"RXDataInBuffer((*)()", "RXData((*))", "RXIdle", "RXDataInBuffer(()",
                   "RXDataInBuffer((!))", "RXData((!))", "RXRunningTest"}},
                 {"ResynchroniseKeepsTheFollowingFrames",
                  {"x)(*)(!)"},
                  {"RXDataInBuffer(x)(*)(!))", "RXDataInBuffer((*)(!))", "RXData((*))", "RXIdle",
                   "RXDataInBuffer((!))", "RXData((!))", "RXRunningTest"}},
                 {"ResynchroniseThenFrameCompletedLater",
                  {"x)(MV1", "01.02)"},
                  {"RXDataInBuffer(x)(MV1)", "RXDataInBuffer((MV1)", "RXDataInBuffer((MV101.02))",
                   "RXData((MV101.02))", "RXFirmwareVersion(01.02)"}},
                 {"TextWithoutOpeningWaits",
                  {"abc", "def"},
                  {"RXDataInBuffer(abc)", "RXDataInBuffer(abcdef)"},
                  "abcdef"}},
                true);
}

const std::string kProgramBody = "MP11,5,3,09,0030,1,000,100,100,0100,0000,1000";
const std::string kProgramEvent = "RXProgramValues(1,5,3,9,30,0,1,0,100,100,100,1000,0.1,100,";

// What each reply kind raises, read in one piece (the buffer events left out).
TEST(Decoder, EachReplyKindRaisesItsEventWithTheDecodedFields) {
  ExpectDecoded(
      {{"ProgramValuesRead",
        {"(" + kProgramBody + ")"},
        {"RXData((" + kProgramBody + "))", kProgramEvent + kProgramBody + ")"}},
       {"ProgramValuesWriteEchoHasNoCommandText",
        {"(MP01,5,3,09,0030,1,000,100,100,0100,0007,1000)"},
        {"RXData((MP01,5,3,09,0030,1,000,100,100,0100,0007,1000))",
         "RXProgramValues(1,5,3,9,30,7,1,0,100,100,100,1000,0.1,100,)"}},
       {"ShortProgramBodyUsesZeroSlots",
        {"(MP1)"},
        {"RXData((MP1))", "RXProgramValues(0,0,0,0,0,0,0,0,0,0,0,0,0,10,MP1)"}},
       {"FailedConversionKeepsEarlierFrameSlot",
        {"(" + kProgramBody + ")(MP12,x,3,09,0030,1,000,100,100,0100,0000,1000)"},
        {"RXData((" + kProgramBody + "))", kProgramEvent + kProgramBody + ")",
         "RXData((MP12,x,3,09,0030,1,000,100,100,0100,0000,1000))",
         "RXProgramValues(2,5,3,9,30,0,1,0,100,100,100,1000,0.1,100,"
         "MP12,x,3,09,0030,1,000,100,100,0100,0000,1000)"}},
       {"UnknownProgramSelectorRaisesOnlyRXData", {"(MP2)"}, {"RXData((MP2))"}},
       // The pulse code slot keeps an earlier frame's scale factor; past 16 bits the
       // microsecond arithmetic fails and the frame raises no event.
       {"PulseWidthArithmeticOverflowAbandonsTheFrame",
        {"(G10100,0004,3275)(MP1)(G10100,0004,3276)(MP1)"},
        {"RXData((G10100,0004,3275))", "RXLastData(1,100,4,3275,204688)", "RXData((MP1))",
         "RXProgramValues(1,100,4,3275,0,0,0,0,0,0,0,0,0,32760,MP1)", "RXData((G10100,0004,3276))",
         "RXLastData(1,100,4,3276,204750)", "RXData((MP1))"}},
       {"LastDataImpedance",
        {"(G10100,0004,0001)(G10100,0000,0001)(G10000,0000,0000)"},
        {"RXData((G10100,0004,0001))", "RXLastData(1,100,4,1,62.5)", "RXData((G10100,0000,0001))",
         "RXLastData(1,100,0,1,inf)", "RXData((G10000,0000,0000))", "RXLastData(1,0,0,0,nan)"}},
       {"SetpointsByLength",
        {"(I13,205)(I005,010,020,050,100)(I123456789)(I005,010,0x0,050,100)"},
        {"RXData((I13,205))", "RXCurrentSetpoint(3,205)", "RXData((I005,010,020,050,100))",
         "RXAllCurrentSetpoints(5,10,20,50,100)", "RXData((I123456789))",
         "RXData((I005,010,0x0,050,100))"}},
       {"DateVersionAndSerialTextsAsReceived",
        {"(MV101.02)(MD12020,01,05)(MS0 0042)(MD0 20)"},
        {"RXData((MV101.02))", "RXFirmwareVersion(01.02)", "RXData((MD12020,01,05))",
         "RXCalibrationDate(2020|01|05)", "RXData((MS0 0042))", "RXSerialNumber( 0042)",
         "RXData((MD0 20))", "RXCalibrationDate( 20||)"}},
       {"UnknownKindsRaiseOnlyRXData",
        {"(MX1)(Z)()"},
        {"RXData((MX1))", "RXData((Z))", "RXData(())"}}},
      false);
}

TEST(Decoder, RemainderNeverGrowsPastItsBound) {
  ReplyDecoder decoder;
  RecordingEvents events;
  decoder.Decode(std::string(1000, 'z'), events);
  decoder.Decode(std::string(100, 'z'), events);
  EXPECT_LE(decoder.remainder().size(), ReplyDecoder::kMaxRemainder);
  // A frame that starts after the noise still arrives whole.
  decoder.Decode(std::string(2000, 'n') + "(MV1", events);
  decoder.Decode("01.02)", events);
  EXPECT_EQ(events.lines.back(), "RXFirmwareVersion(01.02)");
  EXPECT_TRUE(decoder.remainder().empty());
}

// Any stream of valid frames, cut at random points and with noise between frames, yields
// every frame exactly once and in order.
TEST(Decoder, RandomCutsAndNoiseNeverLoseOrRepeatAFrame) {
  const std::vector<std::string> kinds = {"(*)",
                                          "(!)",
                                          "(MV101.02)",
                                          "(MS112345)",
                                          "(MD12024,02,29)",
                                          "(I13,205)",
                                          "(I005,010,020,050,100)",
                                          "(G10100,0004,0001)",
                                          "(" + kProgramBody + ")"};
  const std::string noiseChars = "xyz )\r\n0";
  std::mt19937 random(20261206);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> sent;
    std::string stream;
    for (int i = 0; i < 12; ++i) {
      const int noise = static_cast<int>(random() % 4);
      for (int n = 0; n < noise; ++n) stream += noiseChars[random() % noiseChars.size()];
      sent.push_back(kinds[random() % kinds.size()]);
      stream += sent.back();
    }
    ReplyDecoder decoder;
    RecordingEvents events;
    for (std::size_t at = 0; at < stream.size();) {
      const std::size_t piece = 1 + random() % 20;
      decoder.Decode(std::string_view(stream).substr(at, piece), events);
      at += piece;
    }
    std::vector<std::string> received;
    for (const std::string& line : events.lines) {
      if (line.rfind("RXData(", 0) == 0) received.push_back(line.substr(7, line.size() - 8));
    }
    ASSERT_EQ(received, sent) << "stream: " << stream;
  }
}

}  // namespace
