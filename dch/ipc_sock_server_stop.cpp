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
// drops entries until the loop has ended. Each of its takes makes room, so the one entry put
// afterwards, which wakes it from an empty ring, never waits.
void ipcSock::joinWhileTaking() {
  std::atomic<bool> loopEnded{false};
  std::thread taker([this, &loopEnded] {
    char* buffer = nullptr;
    int size = 0;
    do {
      unsigned char address[IPC_CLIENT_ADDR_SIZE];
      int addressLength = 0;
      char name[IPC_CLIENT_NAME_SIZE];
      unsigned int sockFD = 0;
      DCHmessageKind kind = DCHmessageKind::message;
      unsigned int generation = 0;
      ipc_get_data(&buffer, &size, address, &addressLength, name, &sockFD, &kind, &generation);
    } while (!loopEnded.load());
    delete[] buffer;
  });
  joinServerThread();
  loopEnded = true;
  putPseudoMessage(DCHmessageKind::serverReady, _sockAddress, nullptr, 0, 0);
  taker.join();
}
