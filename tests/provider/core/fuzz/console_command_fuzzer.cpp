// libFuzzer harness of the console's command datagrams: each input is a datagram
// in the network code, taken as the console IO thread takes it (at most one byte
// less than its buffer, converted to the local code), split into its verb and
// argument, its verb checked, and the verbs that only look at the loaded
// applications carried out on a model parsed once.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "console_area.h"
#include "console_commands.h"
#include "console_verbs.h"
#include "dp_anchor.h"
#include "metafile_parser.h"
#include "partner_code_conversion.h"
#include "zev/dp_types.h"

namespace {

DPAB* anchor = nullptr;

void Nothing(ProcessEntry*) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/zev_console_fuzz_XXXXXX";
  const char* directory = mkdtemp(pattern);
  if (directory == nullptr) std::abort();
  setenv("ZEVP_META_PATH", directory, 1);
  setenv("ZEV_PRODSPEC_PATH", ZEV_EXAMPLES_DIR "/", 1);
  setenv("ZEV_PRODSPEC_NAME", "ZEVPSF", 1);
  setenv("QFEB0_HOSTNAME", "dphost.example", 1);
  setenv("ZEV_TRACE", "*=0", 1);
  int devNull = open("/dev/null", O_WRONLY);
  dup2(devNull, STDOUT_FILENO);
  close(devNull);
  anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) std::abort();
  anchor->dpType = ZEV_DP_FILE;
  std::ofstream(std::string(directory) + "/app.mdl")
      << "//APPL APPL\n//NAME GRP P 300\n//SOURCE FILE app.log\n//ATTRIBUTES ';'\nA1 D 32\nA2 C 999\n"
      << "//NAME EVT E 60\n//SOURCE SOCK 127.0.0.1\n//ATTRIBUTES ';'\nWhen T 16\n";
  int opened = 0;
  if (ZEVP_ConstructApplDataModel(anchor, "app.mdl", 1, &opened, nullptr, 0, 1) == nullptr) std::abort();
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
