// libFuzzer target: the reply decoder must take any byte stream, cut anywhere, without crashing,
// tripping a sanitizer, or keeping more unfinished text than its bound. A run in which no input
// ever took the unfinished text past the bound has not tested it, and fails at its end.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "device_link/reply_decoder.h"

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

// Set once an unfinished frame outgrew the bound, so that the decoder had to cut it.
bool boundReached = false;
struct BoundReachedCheck {
  ~BoundReachedCheck() {
    if (boundReached) return;
    std::fputs("decoder_fuzz: no input reached the bound of the unfinished text\n", stderr);
    std::_Exit(1);
  }
} boundReachedCheck;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses where the stream is cut into reads.
  const std::size_t piece = 1 + data[0] % 64;
  const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
  ReplyDecoder decoder;
  CheckingEvents events;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    const std::string_view read = stream.substr(at, piece);
    if (decoder.remainder().size() + read.size() > ReplyDecoder::kMaxRemainder &&
        read.find(')') == std::string_view::npos)
      boundReached = true;
    decoder.Decode(read, events);
    if (decoder.remainder().size() > ReplyDecoder::kMaxRemainder) std::abort();
  }
  return 0;
}
