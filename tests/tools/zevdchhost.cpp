// Hosts the agent's DCH server the way the agent core does, for tests that talk to it
// over the DCH port: initialises the channel library's environment lock, builds the
// server, waits until it takes requests, makes the channel library's locks for
// consumers, then serves until SIGTERM comes or standard input closes, and destroys
// the locks and the server.
//
// The port is ZEVA_DCH_PORT (required). Once the server is ready the program writes
// "ready <port>" and a newline to standard output; a line "heap" on its standard input
// it answers with "heap <bytes of heap in use>".
// Exit status: 0 after a clean end, 1 when the server could not start (the server
// ends the process itself), 2 for a missing or malformed ZEVA_DCH_PORT.

#include <malloc.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "dch/channel_functions.h"
#include "dch/dch_api.h"
#include "dch_server.h"
#include "tool_ending.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

// Present only in a program built with a sanitizer.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

constexpr int kUsageError = 2;
constexpr long kReadyPollNanoseconds = 100 * 1000 * 1000;

// The port the server will take, or 0 when the variable does not name one.
int portFromEnvironment() {
  const char* text = std::getenv("ZEVA_DCH_PORT");
  if (text == nullptr) return 0;
  char* end = nullptr;
  long port = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && port > 0 && port < 65536 ? static_cast<int>(port) : 0;
}

// The bytes of heap in use: the sanitizer's count where one runs, else the C library's.
size_t heapInUse() {
  if (__sanitizer_get_current_allocated_bytes != nullptr) return __sanitizer_get_current_allocated_bytes();
  struct mallinfo2 heap = mallinfo2();
  return heap.uordblks + heap.hblkhd;
}

// Answers the lines of standard input it knows: "heap" with "heap <bytes in use>".
void answerInput(const char* input, ssize_t length) {
  static std::string pending;
  pending.append(input, static_cast<size_t>(length));
  for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
    if (pending.compare(0, end, "heap") != 0) continue;
    std::printf("heap %zu\n", heapInUse());
    std::fflush(stdout);
  }
}

// A wait on the ready condition short enough to notice an end soon.
void waitBriefly(DCHserver& server) {
  timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_nsec += kReadyPollNanoseconds;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  pthread_cond_timedwait(server.readyCond(), server.readyLock(), &deadline);
}

// As the agent core waits; false when the end was asked for first.
bool waitUntilReady(DCHserver& server, int signalDescriptor) {
  if (ZEVA_GetLock(server.readyLock(), &server) != 0) return false;
  bool ready = true;
  if (server.readyState() == 0) TRC(TRC_DETAIL, "Waiting for DCHServer to notify us it is ready for request.");
  while (server.readyState() == 0) {
    if (EndRequested(signalDescriptor, 0, answerInput)) {
      ready = false;
      break;
    }
    waitBriefly(server);
  }
  ZEVA_ReleaseLock(server.readyLock(), &server);
  return ready;
}

}  // namespace

int main() {
  int port = portFromEnvironment();
  if (port == 0) {
    std::fprintf(stderr, "zevdchhost: ZEVA_DCH_PORT must name a port (1..65535)\n");
    return kUsageError;
  }
  int signalDescriptor = TerminationSignal();
  if (signalDescriptor < 0) {
    std::fprintf(stderr, "zevdchhost: cannot take SIGTERM: errno=%d\n", errno);
    return 1;
  }
  ZEV0_InitializeMutex(ZEVA_GetEnvVarsInitLock());
  {
    DCHserver server;
    if (waitUntilReady(server, signalDescriptor)) {
      DCH_api_init();
      std::printf("ready %d\n", port);
      std::fflush(stdout);
      while (!EndRequested(signalDescriptor, -1, answerInput)) {
      }
      DCH_api_destroy();
    }
  }
  close(signalDescriptor);
  return 0;
}
