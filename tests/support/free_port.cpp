#include "free_port.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>

namespace {

constexpr unsigned short kFirstPort = 20000;
constexpr unsigned short kLastPort = 32000;  // the ephemeral range begins at 32768
constexpr char kReservations[] = "/tmp/zev-test-ports";
// A data provider's console port is its base and its type number, 0 (APIS) to 8 (HTTP).
constexpr int kConsolePorts = 9;

bool bindable(int type, unsigned short port) {
  int sockFD = socket(AF_INET, type, 0);
  if (sockFD < 0) return false;
  // As a DCH server binds: over TCP connections in TIME_WAIT, but never onto a UDP port
  // that a socket holds (with the option on before the bind, a UDP socket would share it).
  int reuse = type == SOCK_STREAM ? 1 : 0;
  setsockopt(sockFD, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool bound = bind(sockFD, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(sockFD);
  return bound;
}

// A port handed out stays this process's until it ends: a lock on a file named after
// it, which the system drops with the process. Between the check that a port is free
// and the bind of the server that takes it, another test process could otherwise take
// the same port. False when another process holds the port.
bool reserve(unsigned short port) {
  mkdir(kReservations, 01777);
  std::string path = std::string(kReservations) + "/" + std::to_string(port);
  int lockFD = open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
  if (lockFD < 0) return true;  // no reservations here: the check alone decides
  if (flock(lockFD, LOCK_EX | LOCK_NB) == 0) return true;  // held open for the process's life
  close(lockFD);
  return false;
}

}  // namespace

unsigned short FreeLoopbackPort() { return FreeLoopbackPorts(1); }

unsigned short FreeLoopbackPorts(int count) {
  std::random_device seed;
  std::mt19937 pick(seed());
  std::uniform_int_distribution<int> ports(kFirstPort, kLastPort - count);
  for (int attempt = 0; attempt < 200; ++attempt) {
    auto first = static_cast<unsigned short>(ports(pick));
    int free = 0;
    while (free < count && reserve(static_cast<unsigned short>(first + free)) &&
           LoopbackPortIsFree(static_cast<unsigned short>(first + free)))
      ++free;
    if (free == count) return first;
  }
  return 0;
}

unsigned short FreeConsoleBase() { return FreeLoopbackPorts(kConsolePorts); }

bool LoopbackPortIsFree(unsigned short port) { return bindable(SOCK_DGRAM, port) && bindable(SOCK_STREAM, port); }
