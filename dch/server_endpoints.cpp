// The DCH server's open connections and its port socket, shared with the reply transport.
#include "server_endpoints.h"

#include <pthread.h>
#include <sys/select.h>
#include <sys/socket.h>

#include "dch/ipc_sock.h"
#include "zev0/sockets.h"

namespace {

pthread_mutex_t endpointsLock = PTHREAD_MUTEX_INITIALIZER;
// The generation of the connection open on each descriptor; 0 when none is.
unsigned int connectionGeneration[FD_SETSIZE] = {};
unsigned int lastGeneration = 0;
int portSocket = IPCSOCK_NO_SOCKET;

bool heldDescriptor(unsigned int sockFD) { return sockFD > 0 && sockFD < FD_SETSIZE; }

// The lock is plain and only ever held for one table update or one non-blocking send.
class EndpointsLocked {
 public:
  EndpointsLocked() { pthread_mutex_lock(&endpointsLock); }
  ~EndpointsLocked() { pthread_mutex_unlock(&endpointsLock); }
  EndpointsLocked(const EndpointsLocked&) = delete;
  EndpointsLocked& operator=(const EndpointsLocked&) = delete;
};

}  // namespace

unsigned int ServerEndpoints::opened(int sockFD) {
  if (sockFD < 0 || !heldDescriptor(static_cast<unsigned int>(sockFD))) return 0;
  EndpointsLocked locked;
  if (++lastGeneration == 0) ++lastGeneration;
  connectionGeneration[sockFD] = lastGeneration;
  return lastGeneration;
}

void ServerEndpoints::close(int sockFD) {
  EndpointsLocked locked;
  if (sockFD >= 0 && heldDescriptor(static_cast<unsigned int>(sockFD))) connectionGeneration[sockFD] = 0;
  ZEV0_CloseTheSocket(sockFD);
}

bool ServerEndpoints::send(unsigned int sockFD, unsigned int generation, const void* data, size_t length,
                           ssize_t* result) {
  if (!heldDescriptor(sockFD)) return false;
  EndpointsLocked locked;
  unsigned int current = connectionGeneration[sockFD];
  if (current == 0 || (generation != 0 && generation != current)) return false;
  // No SIGPIPE: a peer that has gone must not end the process.
  *result = ::send(static_cast<int>(sockFD), data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
  return true;
}

void ServerEndpoints::setPortSocket(int sockFD) {
  EndpointsLocked locked;
  portSocket = sockFD;
}

bool ServerEndpoints::sendFromPort(const void* data, size_t length, const sockaddr_in& destination,
                                   ssize_t* result) {
  EndpointsLocked locked;
  if (portSocket < 0) return false;
  *result = sendto(portSocket, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&destination),
                   sizeof destination);
  return true;
}
