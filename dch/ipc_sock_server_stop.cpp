// Stopping a server when its owner destroys it: the receive loop ends at a wake-up, and what
// it owned is closed after it. Nothing else ever stops the loop.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "dch/ipc_sock.h"
#include "ipc_sock_server_state.h"
#include "server_endpoints.h"
#include "trc1.h"
#include "zev0/sockets.h"

TRC_UNIT();

void ipcSock::stopServer() {
  if (_stopPipe[1] >= 0) {
    char wake = 1;
    if (write(_stopPipe[1], &wake, 1) != 1) TRC(TRC_ERROR, "Error: waking the server failed. errno=%d", errno);
  }
  // A loop that failed at once never waits on the ring.
  if (_serverStarted)
    joinWhileTaking();
  else
    joinServerThread();
  ServerEndpoints::setPortSocket(IPCSOCK_NO_SOCKET);
  for (int& sockFD : _sockClientFD) {
    if (sockFD > 0) ServerEndpoints::close(sockFD);
    sockFD = 0;
  }
  if (_sockUDP >= 0) ZEV0_CloseTheSocket(_sockUDP);
  if (_sockTCP >= 0) ZEV0_CloseTheSocket(_sockTCP);
  for (int& end : _stopPipe) {
    if (end >= 0) close(end);
    end = -1;
  }
  delete _server;
  _server = nullptr;
}

// The owner has stopped taking, so the loop may be blocked on a full ring: a taker of our own
// drops entries until it takes the wake-up entry, put once the loop has ended. Being the last
// entry ever put, it always finds room: the taker keeps taking until it has it.
void ipcSock::joinWhileTaking() {
  constexpr unsigned int kStopGeneration = ~0u;  // no connection ever reaches it
  std::thread taker([this] {
    char* buffer = nullptr;
    int size = 0;
    DCHmessageKind kind;
    unsigned int generation;
    do {
      unsigned char address[IPC_CLIENT_ADDR_SIZE];
      int addressLength = 0;
      char name[IPC_CLIENT_NAME_SIZE];
      unsigned int sockFD = 0;
      kind = DCHmessageKind::message;
      generation = 0;
      ipc_get_data(&buffer, &size, address, &addressLength, name, &sockFD, &kind, &generation);
    } while (kind != DCHmessageKind::serverReady || generation != kStopGeneration);
    delete[] buffer;
  });
  joinServerThread();
  putPseudoMessage(DCHmessageKind::serverReady, _sockAddress, nullptr, 0, kStopGeneration);
  taker.join();
}
