// libFuzzer target: the reply decoder must take any byte stream, cut anywhere, without crashing,
// tripping a sanitizer, or keeping more unfinished text than its bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reply_decoder.h"

namespace {
class CheckingEvents : public ReplyEvents {
 public:
  void RXData(const std::string& frame) override {
    if (frame.size() < 2 || frame.front() != '(' || frame.back() != ')') std::abort();
  }
  void RXDataInBuffer(const std::string& text) override {
    if (text.empty()) std::abort();
  }
  void RXProgramValues(const ProgramValuesReply& reply) override {
    if (reply.commandText.size() > 1024 * 2) std::abort();
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses where the stream is cut into reads.
  const std::size_t piece = 1 + data[0] % 64;
  const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
  ReplyDecoder decoder;
  CheckingEvents events;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    decoder.Decode(stream.substr(at, piece), events);
    if (decoder.remainder().size() > ReplyDecoder::kMaxRemainder) std::abort();
  }
  return 0;
}
