// The console program's reading of what a data provider sends: a discovery reply,
// the tokens of a reply, a SHOW reply's datagrams (one a line of the input) and the
// records of the assembled text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dp_exchange.h"
#include "console_transport.h"
#include "reply_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  zevpcon::ParseDiscoveryReply(input);
  zevpcon::ReplyTokens(input);

  zevpcon::ShowAssembly show;
  zevpcon::ShowAssembly::Step step = zevpcon::ShowAssembly::Step::kWaitOn;
  for (size_t from = 0; from <= input.size() && step == zevpcon::ShowAssembly::Step::kWaitOn;) {
    size_t end = input.find('\n', from);
    if (end == std::string::npos) end = input.size();
    step = show.take(input.substr(from, end - from));
    from = end + 1;
  }
  if (step == zevpcon::ShowAssembly::Step::kComplete) zevpcon::ShowRecordLines(zevpcon::TextFromToken(show.text(), 2));
  zevpcon::ShowRecordLines(input);
  return 0;
}
