#include "console_socket.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bsv1.h"
#include "console_area.h"
#include "dp_anchor.h"
#include "partner_code_conversion.h"
#include "process_entry.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev/dp_types.h"
#include "zev0/env.h"
#include "zev0/prodspec.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int kDefaultConsoleBase = 7700;
constexpr int kDefaultInterimMs = 15000;
// Each command handed over is followed by this pause, which bounds the command rate.
constexpr unsigned kPacingSeconds = 1;

std::atomic<int> interimMs{kDefaultInterimMs};

const char* TypeName(int32_t dpType) {
  return dpType >= 0 && dpType < ZEV_DP_TYPE_COUNT ? DPtypeString[dpType] : "?";
}

// A UDP socket bound to the port without address reuse, so that the bind fails
// while another process holds the port; -1 when it cannot be had.
int OpenConsoleSocket(uint16_t port) {
  sockaddr_in address{};
  return ZEV0_OpenLocalSocket(SOCK_DGRAM, htons(port), &address, 1);
}

// The sockets of one IO thread: its own, and on an ASFS data provider the ports of
// the types it serves besides, of which only the API port is listened on.
struct ConsoleSockets {
  int own = -1;
  int api = -1;
  std::vector<int> held;

  void closeAll() {
    for (int socket : held) ZEV0_CloseTheSocket(socket);
    if (api >= 0) ZEV0_CloseTheSocket(api);
    if (own >= 0) ZEV0_CloseTheSocket(own);
  }
};

void OpenTypeSockets(ConsoleSockets& sockets, uint16_t base) {
  // APIS, SOCK, FILE, in that order; one that cannot be had is left unopened.
  sockets.api = OpenConsoleSocket(static_cast<uint16_t>(base + ZEV_DP_APIS));
  for (int32_t type : {ZEV_DP_SOCK, ZEV_DP_FILE}) {
    int socket = OpenConsoleSocket(static_cast<uint16_t>(base + type));
    if (socket >= 0) sockets.held.push_back(socket);
  }
}

void TellService(Console_Communication_Area* area, ZEVP_ConsoleIOState state) {
  pthread_mutex_lock(&area->mutex);
  area->ioState = state;
  pthread_cond_broadcast(&area->condition);
  pthread_mutex_unlock(&area->mutex);
}

// The storage block of one command datagram, cleared.
char* NewCommandBuffer() {
  auto* buffer = static_cast<char*>(ZEV0_GetStorage(ZEVP_CONSOLE_BUFFER_SIZE));
  if (buffer != nullptr) std::memset(buffer, 0, ZEVP_CONSOLE_BUFFER_SIZE);
  return buffer;
}

class ConsoleIO {
 public:
  ConsoleIO(DPAB* anchor, Console_Communication_Area* area) : anchor_(anchor), area_(area) {}
  void run();

 private:
  bool open();
  void serve();
  void tellStillRunning();
  void receive(int socket, int32_t receivingType);

  DPAB* anchor_;
  Console_Communication_Area* area_;
  ConsoleSockets sockets_;
  char* buffer_ = nullptr;
};

bool ConsoleIO::open() {
  const uint16_t base = ZEVP_ConsoleBasePort();
  const uint16_t port = ZEVP_ConsolePortOf(anchor_->dpType);
  sockets_.own = OpenConsoleSocket(port);
  if (sockets_.own < 0) {
    TRC(TRC_ERROR, "***** Same Type DP already running. Console IO thread Exit *****");
    ZEVP_DisplayValidationMessage(ZEVPV89E, nullptr);
    return false;
  }
  buffer_ = NewCommandBuffer();
  if (buffer_ == nullptr) {
    TRC(TRC_ERROR, "***** No storage for the console receive buffer. Console IO thread Exit *****");
    return false;
  }
  TRC(TRC_DETAIL, "Console command port %d", port);
  if (anchor_->dpType == ZEV_DP_ASFS) OpenTypeSockets(sockets_, base);
  area_->consolePort = htons(port);
  area_->consoleSocket = sockets_.own;
  return true;
}

void ConsoleIO::run() {
  bool opened = open();
  TellService(area_, opened ? ZEVP_CONSOLE_IO_RUNNING : ZEVP_CONSOLE_IO_GONE);
  if (!opened) {
    sockets_.closeAll();
    return;
  }
  serve();
  ZEV0_FreeStorage(&buffer_);
  sockets_.closeAll();
  TellService(area_, ZEVP_CONSOLE_IO_GONE);
  TRC(TRC_DETAIL, ">>>>> Console IO thread processing completed. Exit");
}

void ConsoleIO::serve() {
  std::vector<pollfd> watched = {{sockets_.own, POLLIN, 0}, {area_->wakePipe[0], POLLIN, 0}};
  if (sockets_.api >= 0) watched.push_back({sockets_.api, POLLIN, 0});
  while (area_->ioStop == 0) {
    for (pollfd& entry : watched) entry.revents = 0;
    int ready = poll(watched.data(), watched.size(), zevp::ConsoleInterimMs());
    if (ready < 0) {
      // The thread keeps its sockets until the service ends: the service replies from one.
      if (errno != EINTR) {
        TRC(TRC_ERROR, "***** Console poll failed, errno %d", errno);
        BSV1_Sleep(kPacingSeconds);
      }
      continue;
    }
    if (ready == 0) {
      tellStillRunning();
    } else if (watched[0].revents != 0) {
      receive(sockets_.own, anchor_->dpType);
    } else if (watched.size() > 2 && watched[2].revents != 0) {
      receive(sockets_.api, ZEV_DP_APIS);
    }
    // The wake pipe only ends the wait: the loop looks at ioStop.
  }
}

void ConsoleIO::tellStillRunning() {
  if (area_->commandStatus != ZEVP_CONSOLE_IN_PROGRESS) return;
  pthread_mutex_lock(&area_->mutex);
  sockaddr_in client = area_->clientAddress;
  pthread_mutex_unlock(&area_->mutex);
  ZEVP_SendConsoleDatagram(sockets_.own, client, std::to_string(ZEVP_CONSOLE_IN_PROGRESS) + " ");
}

void ConsoleIO::receive(int socket, int32_t receivingType) {
  std::memset(buffer_, 0, ZEVP_CONSOLE_BUFFER_SIZE);
  sockaddr_in sender{};
  socklen_t senderLength = sizeof sender;
  // One byte less than the buffer: the command is always a terminated text.
  ssize_t received = recvfrom(socket, buffer_, ZEVP_CONSOLE_BUFFER_SIZE - 1, 0, reinterpret_cast<sockaddr*>(&sender),
                              &senderLength);
  if (received < 0) {
    TRC(TRC_ERROR, "### recvfrom rc %d, errno %d, %s[%d]", static_cast<int>(received), errno, std::strerror(errno),
        __LINE__);
    return;
  }
  ZEVP_ConvertBufferToLocal(buffer_, static_cast<int>(received), 0);
  sockaddr_in client{};
  client.sin_family = sender.sin_family;
  client.sin_port = sender.sin_port;
  client.sin_addr = sender.sin_addr;
  if (area_->commandStatus != ZEVP_CONSOLE_IN_PROGRESS) {
    char* next = NewCommandBuffer();
    if (next != nullptr && zevp::DeliverConsoleCommand(area_, buffer_, receivingType, client)) {
      buffer_ = next;
      BSV1_Sleep(kPacingSeconds);
      return;
    }
    ZEV0_FreeStorage(&next);
  }
  // A command is in progress (or was handed over meanwhile): busy, and its index.
  ZEVP_SendConsoleDatagram(sockets_.own, client,
                           std::to_string(ZEVP_CONSOLE_BUSY) + " " + std::to_string(area_->commandIndex.load()));
}

}  // namespace

uint16_t ZEVP_ConsoleBasePort() {
  if (const char* base = ZEV0_GetEnv("ZEVP_DPCONSOLE_PORT", nullptr)) return static_cast<uint16_t>(std::atoi(base));
  const char* offset = ZEV0_QueryProductSpec(ZEV2_DP_PORT_OFFSET);
  return static_cast<uint16_t>(kDefaultConsoleBase + (offset != nullptr ? std::atoi(offset) : 0));
}

uint16_t ZEVP_ConsolePortOf(int32_t dpType) { return static_cast<uint16_t>(ZEVP_ConsoleBasePort() + dpType); }

int ZEVP_CheckDPalreadyActive(DPAB* anchor) {
  if (anchor->batchMode) return 0;
  if (anchor->transportLetter == 'R') return 1;
  int socket = OpenConsoleSocket(ZEVP_ConsolePortOf(anchor->dpType));
  if (socket >= 0) {
    ZEV0_CloseTheSocket(socket);
    return 0;
  }
  TRC(TRC_ERROR, "***** Same Type DP <%s> already running on this system.", TypeName(anchor->dpType));
  ZEVP_DisplayValidationMessage(ZEVPV89E, nullptr);
  return 1;
}

void* ZEVP_SockConsoleSupport(void* argument) {
  auto* anchor = static_cast<DPAB*>(argument);
  ConsoleIO(anchor, anchor->consoleArea.load()).run();
  return &ZEVP_ThreadRC;
}

void* ZEVP_RPCConsoleSupport(void* argument) {
  auto* anchor = static_cast<DPAB*>(argument);
  TRC(TRC_ERROR, "***** RPC console support unavailable.");
  TellService(anchor->consoleArea.load(), ZEVP_CONSOLE_IO_GONE);
  return &ZEVP_ThreadRC;
}

void ZEVP_SendConsoleDatagram(int socket, const sockaddr_in& client, std::string text) {
  if (client.sin_family == 0 && client.sin_port == 0 && client.sin_addr.s_addr == 0) return;
  ZEVP_ConvertBufferToNetwork(text.data(), static_cast<int>(text.size()));
  ssize_t sent = sendto(socket, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&client), sizeof client);
  if (sent < 0)
    TRC(TRC_ERROR, "### sendto rc %d, errno %d, %s[%d]", static_cast<int>(sent), errno, std::strerror(errno), __LINE__);
}

namespace zevp {

int ConsoleInterimMs() { return interimMs; }

void SetConsoleInterimMs(int milliseconds) { interimMs = milliseconds; }

}  // namespace zevp
