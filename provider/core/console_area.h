// The console's communication area: where the console IO thread (and an action
// worker that runs a console command) hands one command at a time to the console
// service, and where the service leaves the command's final status.
//
// A command is handed over only while none is in progress: the status 99 marks
// one, set by whoever delivers and replaced by the service with the final status.
// The area is made by the service and freed with the anchor, so it outlives
// every thread that may deliver to it.
#pragma once

#include <netinet/in.h>
#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <memory>

struct DPAB;

// Console statuses, the first token of every reply.
enum ZEVP_ConsoleStatus : int32_t {
  ZEVP_CONSOLE_DONE = 0,
  ZEVP_CONSOLE_INVALID_COMMAND = 1,
  ZEVP_CONSOLE_NO_APPLICATION = 2,     // LIST
  ZEVP_CONSOLE_NOT_DEFINED = 3,
  ZEVP_CONSOLE_ALREADY_DEFINED = 4,    // CHECK
  ZEVP_CONSOLE_DEFINITION_ERROR = 5,   // IMPORT, REFRESH
  ZEVP_CONSOLE_KNOWN_TO_AGENT = 6,
  ZEVP_CONSOLE_BUSY = 7,               // sent by the IO thread
  ZEVP_CONSOLE_NOT_FOUND = 8,          // IMPORT, REFRESH: no metafile
  ZEVP_CONSOLE_NO_REPLY = 9,
  ZEVP_CONSOLE_NOT_SERVED = 10,        // not by this type of data provider
  ZEVP_CONSOLE_SNMP_DEFINITION = 12,   // an SNMP application to another type
  ZEVP_CONSOLE_NOT_ENABLED = 13,       // CHECK without ENABLE_METAFILE_COMMANDS
  ZEVP_CONSOLE_LIST_FAILED = 60,       // LOADLIST
  ZEVP_CONSOLE_IN_PROGRESS = 99,
};

// The console IO thread's life, as the service sees it.
enum ZEVP_ConsoleIOState : int32_t {
  ZEVP_CONSOLE_IO_STARTING = 0,
  ZEVP_CONSOLE_IO_RUNNING = 1,  // owns its socket
  ZEVP_CONSOLE_IO_GONE = 2,     // ended, or never owned a socket
};

// Bytes of a command buffer: a datagram of at most one byte less and its zero.
constexpr int32_t ZEVP_CONSOLE_BUFFER_SIZE = 1600;

namespace zevp {

// Where a deliverer that waits for its command's outcome finds it: the status
// stays ZEVP_CONSOLE_IN_PROGRESS until the service has carried the command out.
// Shared, so that a deliverer that gives up at shut-down may leave before the service.
struct ConsoleCommandWaiter {
  std::atomic<int32_t> status{99};
};

}  // namespace zevp

struct Console_Communication_Area {
  pthread_mutex_t mutex;     // guards the fields below that the comments name
  pthread_cond_t condition;  // a command handed over; the IO thread started or gone
  // The command being handed over (ZEVP_CONSOLE_BUFFER_SIZE bytes of storage), owned
  // by the service once taken; null when none waits. mutex.
  char* commandBuffer;
  int consoleSocket;                    // the console port's socket; replies go out from it
  std::atomic<int32_t> commandIndex;    // of the command in progress; -1 at start and after an invalid verb
  std::atomic<int32_t> commandStatus;   // ZEVP_CONSOLE_IN_PROGRESS while a command runs
  int32_t receivingType;                // of the port the command came on; mutex
  std::atomic<int32_t> ioState;         // ZEVP_ConsoleIOState; changed under mutex
  uint16_t consolePort;                 // network byte order
  sockaddr_in clientAddress;            // of the command; all zero for one from an action. mutex
  std::shared_ptr<zevp::ConsoleCommandWaiter> waiter;  // of the command handed over, when one waits; mutex
  // Set by the service when it ends: the IO thread stops, and nothing more is
  // delivered. The IO thread is also woken through wakePipe. ioStop under mutex.
  std::atomic<int32_t> ioStop;
  int32_t serviceEnded;  // mutex
  int wakePipe[2];       // read end watched by the IO thread; -1 when not made
};

namespace zevp {

// A new area with its mutex, condition and wake pipe, or null without storage.
Console_Communication_Area* NewConsoleArea();

// Frees the anchor's area, when it has one; once no thread can deliver any more.
void ReleaseConsoleArea(DPAB* anchor);

// Hands a command buffer (ZEVP_CONSOLE_BUFFER_SIZE bytes of storage) to the service,
// under the area's mutex: the status becomes 99, the command's index, the buffer,
// the receiving type, the client address and the waiter (may be null) are stored
// and the service is signalled. False, the buffer still the caller's, when a command is in progress
// or waits, or the service has ended.
bool DeliverConsoleCommand(Console_Communication_Area* area, char* buffer, int32_t receivingType,
                           const sockaddr_in& client,
                           const std::shared_ptr<ConsoleCommandWaiter>& waiter = nullptr);

}  // namespace zevp
