// libFuzzer harness of the console's command datagrams: each input is a datagram
// in the network code, taken as the console IO thread takes it (at most one byte
// less than its buffer, converted to the local code), split into its verb and
// argument, its verb checked, and the verbs that only look at the loaded
// applications carried out on a model parsed once (metafile fuzz.mdl).
#include <cstdint>
#include <cstring>
#include <string>

#include "console_area.h"
#include "console_commands.h"
#include "console_verbs.h"
#include "dp_anchor.h"
#include "fuzz_model.h"
#include "partner_code_conversion.h"
#include "zev/dp_types.h"

namespace {

DPAB* anchor = nullptr;

void Nothing(ProcessEntry*) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static const char* const lines[] = {
      "//APPL APPL", "//NAME GRP P 300", "//SOURCE FILE app.log", "//ATTRIBUTES ';'", "A1 D 32", "A2 C 999",
      "//NAME EVT E 60", "//SOURCE SOCK 127.0.0.1", "//ATTRIBUTES ';'", "When T 16", nullptr};
  ApplicationEntry* application = nullptr;
  anchor = LoadFuzzModel(lines, &application);
  anchor->dpType = ZEV_DP_FILE;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char buffer[ZEVP_CONSOLE_BUFFER_SIZE] = {};
  size_t taken = size < sizeof buffer - 1 ? size : sizeof buffer - 1;
  std::memcpy(buffer, data, taken);
  ZEVP_ConvertBufferToLocal(buffer, static_cast<int>(taken), 0);
  zevp::ConsoleCommandText command = zevp::SplitConsoleCommand(buffer);
  int32_t verb = zevp::ConsoleVerbIndex(command.verb);
  switch (verb) {
    case ZEVP_VERB_GETPORT:
    case ZEVP_VERB_CHECK:
    case ZEVP_VERB_SHOW:
    case ZEVP_VERB_LIST:
    case ZEVP_VERB_PING: {
      zevp::ConsoleContext context{anchor, Nothing, ZEV_DP_FILE, 7701};
      zevp::RunConsoleCommand(context, verb, command.argument);
      break;
    }
    default:
      break;
  }
  return 0;
}
