// The console service: runs on the data provider's start thread from the end of
// its start-up until it has shut down, carrying out one console command at a time
// as the console IO thread (or an action worker) hands it over, and replying.
#include <arpa/inet.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "console_area.h"
#include "console_commands.h"
#include "console_socket.h"
#include "console_verbs.h"
#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "engine_routines.h"
#include "shutdown_request.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/console_message.h"
#include "zev0/storage.h"
#include "zev0/threads.h"
#include "zevp/console.h"

TRC_UNIT();

namespace {

// A command taken from the area, with what its reply needs.
struct TakenCommand {
  char* buffer = nullptr;
  int32_t receivingType = 0;
  sockaddr_in client{};
  std::shared_ptr<zevp::ConsoleCommandWaiter> waiter;
};

void ShutDown(DPAB* anchor) {
  ZEVP_ShutdownCleanUp(anchor, 1);
  anchor->shutdownFlag = 1;
  zevp::NotifyShutdownFlagSet();
}

// Starts the IO thread of the anchor's console transport and waits until it owns
// its socket (true) or has given up.
bool StartIOThread(DPAB* anchor, Console_Communication_Area* area) {
  void* (*routine)(void*) = ZEVP_SockConsoleSupport;
  if (anchor->transportLetter == 'R') {
    routine = ZEVP_RPCConsoleSupport;
  } else if (anchor->transportLetter != 'I') {
    TRC(TRC_ERROR, "***** Invalid console transport type. TCPIP Console interface assumed");
  }
  pthread_mutex_lock(&area->mutex);
  pthread_t thread;
  if (ZEV0_CreateThread(routine, anchor, PTHREAD_CREATE_DETACHED, &thread) != 0) {
    TRC(TRC_ERROR, "***** Console IO thread not started, errno %d", errno);
    area->ioState = ZEVP_CONSOLE_IO_GONE;
  }
  while (area->ioState == ZEVP_CONSOLE_IO_STARTING) pthread_cond_wait(&area->condition, &area->mutex);
  bool running = area->ioState == ZEVP_CONSOLE_IO_RUNNING;
  pthread_mutex_unlock(&area->mutex);
  return running;
}

void Announce(DPAB* anchor) {
  if (zevp::ShutdownRequested(anchor)) return;
  zevp::EngineRoutines& routines = zevp::Routines();
  routines.sendDPlogMessage(anchor, ZEVP_DPLOG_CONSOLE_ACTIVE, nullptr, nullptr, nullptr, nullptr, nullptr);
  routines.sendDPlogMessage(anchor, ZEVP_DPLOG_DP_READY, nullptr, nullptr, nullptr, nullptr, nullptr);
  const char* typeName = anchor->dpType >= 0 && anchor->dpType < ZEV_DP_TYPE_COUNT ? DPtypeString[anchor->dpType] : "";
  std::string active = std::string(typeName) + " DP Active! Initialization completed successfully.";
  ZEV0_PXconsoleMessage("SystemStatus", "Status", active.c_str());
}

// The next command handed over; none (a null buffer) once shut-down is requested.
TakenCommand NextCommand(DPAB* anchor, Console_Communication_Area* area) {
  TakenCommand taken;
  pthread_mutex_lock(&area->mutex);
  while (area->commandBuffer == nullptr && !zevp::ShutdownRequested(anchor))
    pthread_cond_wait(&area->condition, &area->mutex);
  taken.buffer = area->commandBuffer;
  area->commandBuffer = nullptr;
  taken.receivingType = area->receivingType;
  taken.client = area->clientAddress;
  taken.waiter = std::move(area->waiter);
  pthread_mutex_unlock(&area->mutex);
  return taken;
}

// The reply datagrams: the status, a blank and the verb's text; SHOW's further
// segments each alone, the last one headed "3 ".
void SendConsoleReply(int socket, const sockaddr_in& client, const zevp::ConsoleOutcome& outcome) {
  const std::vector<std::string>& segments = outcome.show.segments;
  std::string first = std::to_string(outcome.status) + " " + (segments.empty() ? outcome.text : segments.front());
  ZEVP_SendConsoleDatagram(socket, client, first);
  for (size_t n = 1; n < segments.size(); ++n) {
    std::string segment = segments[n];
    if (n + 1 == segments.size()) segment.replace(0, 2, "3 ");
    ZEVP_SendConsoleDatagram(socket, client, segment);
  }
}

// Carries out one command and answers it; true when it was SHUTDOWN.
bool RunCommand(DPAB* anchor, Console_Communication_Area* area, ZEVP_ProcessRoutine typeRoutine,
                const TakenCommand& taken) {
  zevp::ConsoleCommandText command = zevp::SplitConsoleCommand(taken.buffer);
  int32_t verb = ZEVP_VERB_UNKNOWN;
  zevp::ConsoleOutcome outcome;
  if (command.verb.empty()) {
    TRC(TRC_ERROR, ">>>>>Failed to find token in Console Buffer <%s>, releasing EntryLock", taken.buffer);
    area->commandIndex = -1;
    outcome.status = ZEVP_CONSOLE_INVALID_COMMAND;
  } else if (verb = zevp::ConsoleVerbIndex(command.verb); !zevp::ServedConsoleVerb(verb)) {
    TRC(TRC_ERROR, "***** Invalid console command %s, ignored", command.verb.c_str());
    area->commandIndex = -1;
    outcome.status = ZEVP_CONSOLE_INVALID_COMMAND;
  } else {
    area->commandIndex = verb;
    zevp::ConsoleContext context{anchor, typeRoutine, taken.receivingType, ntohs(area->consolePort)};
    outcome = zevp::RunConsoleCommand(context, verb, command.argument);
  }
  area->commandStatus = outcome.status;
  if (taken.waiter != nullptr) taken.waiter->status = outcome.status;
  if (outcome.status != ZEVP_CONSOLE_NO_REPLY) SendConsoleReply(area->consoleSocket, taken.client, outcome);
  return verb == ZEVP_VERB_SHUTDOWN;
}

// Serves commands until shut-down; true when SHUTDOWN has shut the data provider down.
bool ServeCommands(DPAB* anchor, Console_Communication_Area* area, ZEVP_ProcessRoutine typeRoutine) {
  for (;;) {
    TakenCommand taken = NextCommand(anchor, area);
    if (taken.buffer == nullptr) return false;
    bool shutDown = RunCommand(anchor, area, typeRoutine, taken);
    ZEV0_FreeStorage(&taken.buffer);
    if (shutDown) return true;
  }
}

// Stops the IO thread and waits until it has gone; from then on nothing is delivered.
void EndConsole(Console_Communication_Area* area) {
  TRC(TRC_DETAIL, ">>>>>Wait for command IO thread to complete");
  pthread_mutex_lock(&area->mutex);
  area->ioStop = 1;
  pthread_mutex_unlock(&area->mutex);
  if (area->wakePipe[1] >= 0 && write(area->wakePipe[1], "", 1) < 0)
    TRC(TRC_ERROR, "***** Console IO thread not woken, errno %d", errno);
  pthread_mutex_lock(&area->mutex);
  while (area->ioState != ZEVP_CONSOLE_IO_GONE) pthread_cond_wait(&area->condition, &area->mutex);
  area->serviceEnded = 1;
  char* undelivered = area->commandBuffer;
  area->commandBuffer = nullptr;
  area->waiter.reset();
  pthread_mutex_unlock(&area->mutex);
  ZEV0_FreeStorage(&undelivered);
}

}  // namespace

void ZEVP_ConsoleService(DPAB* anchor, ZEVP_ProcessRoutine typeRoutine) {
  Console_Communication_Area* area = zevp::NewConsoleArea();
  if (area == nullptr) {
    TRC(TRC_ERROR, "*** No storage for the console communication area");
    ShutDown(anchor);
    return;
  }
  anchor->consoleArea = area;
  bool shutDown = false;
  {
    // Every shut-down request wakes the service's wait for a command.
    zevp::ShutdownWake wake(&area->mutex, &area->condition);
    if (StartIOThread(anchor, area)) {
      Announce(anchor);
      shutDown = ServeCommands(anchor, area, typeRoutine);
    } else {
      TRC(TRC_ERROR, "*** Console IO thread initialization unsuccessful");
    }
    EndConsole(area);
  }
  // A shut-down requested from elsewhere ends the data provider as SHUTDOWN does.
  if (!shutDown) ShutDown(anchor);
  TRC(TRC_DETAIL, ">>>>>Console service ended");
}
