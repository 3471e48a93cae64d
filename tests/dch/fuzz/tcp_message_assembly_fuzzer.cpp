// A data provider's TCP stream, cut into reads as the network pleases: the first
// bytes of the input choose the size of each read, the rest is the stream. Every
// message handed on is exactly as long as it declares and holds the bytes sent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tcp_message_assembly.h"
#include "trc1.h"

namespace {

constexpr size_t kReadSizes = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  if (size < kReadSizes) return 0;
  const uint8_t* reads = data;
  const uint8_t* stream = data + kReadSizes;
  const size_t streamSize = size - kReadSizes;

  TcpMessageAssembly message;
  size_t at = 0;      // next byte of the stream
  size_t start = 0;   // where the message being joined began
  for (size_t read = 0; at < streamSize; ++read) {
    size_t piece = std::min<size_t>(streamSize - at, 1 + reads[read % kReadSizes] * 17u);
    if (!message.inProgress()) start = at;
    TcpMessageState state = message.add(reinterpret_cast<const char*>(stream + at), static_cast<int>(piece), 30);
    at += piece;
    switch (state) {
      case TcpMessageState::partial:
        break;
      case TcpMessageState::complete:
        if (message.totalRead() != message.totalLen() || message.totalRead() != at - start ||
            std::memcmp(message.data(), stream + start, message.totalRead()) != 0)
          std::abort();
        message.reset();
        break;
      case TcpMessageState::wrongLength:
        message.reset();
        break;
      case TcpMessageState::refusedTotal:
        message.release();
        break;
    }
  }
  return 0;
}
