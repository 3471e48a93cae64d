// Hosts one data provider the way a data-provider program does, for tests that run
// it in a process of its own: marks the process as a data-provider program, starts
// ZEVP_StartDataProvider with the type named by the argument (a code of
// DPtypeString, e.g. FILE, or its number) on a thread, and once SIGTERM comes or
// standard input closes asks it to shut down as the console command SHUTDOWN does
// and waits for its thread.
//
// Once the data provider's thread runs the program writes "started <code>" and a
// newline to standard output. Exit status: 0 after a clean end, 1 when the data
// provider refused to start, 2 for a missing or unknown type.
#include <pthread.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shutdown_request.h"
#include "tool_ending.h"
#include "zev/dp_types.h"
#include "zevp/data_provider.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kEndLookMs = 200;

// The type of the argument: a code of the type table or its number; -1 when none.
int32_t TypeOf(const char* argument) {
  for (int32_t type = 0; type < ZEV_DP_TYPE_COUNT; ++type)
    if (std::strcmp(argument, DPtypeString[type]) == 0) return type;
  char* end = nullptr;
  long number = std::strtol(argument, &end, 10);
  return end != argument && *end == '\0' && number >= 0 && number < ZEV_DP_TYPE_COUNT ? static_cast<int32_t>(number)
                                                                                       : -1;
}

}  // namespace

int main(int argc, char** argv) {
  int32_t type = argc == 2 ? TypeOf(argv[1]) : -1;
  if (type < 0) {
    std::fprintf(stderr, "zevdphost: name one data-provider type (e.g. FILE)\n");
    return kUsageError;
  }
  int signalDescriptor = TerminationSignal();
  if (signalDescriptor < 0) {
    std::fprintf(stderr, "zevdphost: cannot take SIGTERM: errno=%d\n", errno);
    return 1;
  }
  ZEVP_SetDPprogramStart();
  pthread_t thread;
  if (pthread_create(&thread, nullptr, ZEVP_StartDataProvider, &type) != 0) {
    std::fprintf(stderr, "zevdphost: cannot start the data provider's thread\n");
    return 1;
  }
  std::printf("started %s\n", DPtypeString[type]);
  std::fflush(stdout);
  // A data provider that refused to start has ended its thread already.
  void* result = nullptr;
  bool joined = false;
  while (!joined && !EndRequested(signalDescriptor, kEndLookMs)) joined = pthread_tryjoin_np(thread, &result) == 0;
  if (!joined) {
    zevp::RequestShutdownOfEveryDP();
    pthread_join(thread, &result);
  }
  close(signalDescriptor);
  return result != nullptr ? 0 : 1;
}
