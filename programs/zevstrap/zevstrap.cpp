// zevstrap: owns UDP port 162 on a host where several SNMP data providers want
// traps, and forwards every trap it receives, unchanged, to each data provider
// registered with it (docs/trap-daemon-protocol.md). Single-threaded; no
// arguments; ends on a socket error or SIGTERM/SIGINT, always with 0.
#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "registrations.h"

namespace {

constexpr uint16_t kTrapPort = 162;
constexpr size_t kBufferSize = 2000;
constexpr char kRegister[] = "DP-REGISTER-TRAP-INTEREST";
constexpr char kAcknowledge[] = "DP-REGISTER-TRAP-INTEREST-ACK";
constexpr char kShutdown[] = "DP-SHUTDOWN";

FILE* trace = nullptr;

// Every trace line begins with the time in seconds as eight hexadecimal digits.
__attribute__((format(printf, 1, 2))) void Trace(const char* format, ...) {
  if (trace == nullptr) return;
  std::fprintf(trace, "%08X", static_cast<unsigned>(std::time(nullptr)));
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(trace, format, arguments);
  va_end(arguments);
  std::fflush(trace);
}

// ZEVP_SNMP_TRAP_VERBOSE: Y or y first turns the trace on; the file name follows
// the first '>' (else the first '='), past further blanks, '>' and '='; without
// either, standard output.
void OpenTrace() {
  const char* setting = std::getenv("ZEVP_SNMP_TRAP_VERBOSE");
  if (setting == nullptr || (setting[0] != 'Y' && setting[0] != 'y')) return;
  const char* mark = std::strchr(setting, '>');
  if (mark == nullptr) mark = std::strchr(setting, '=');
  if (mark == nullptr) {
    trace = stdout;
  } else {
    const char* name = mark + std::strspn(mark, " >=");
    trace = std::fopen(name, "we");
    if (trace == nullptr) return;
  }
  Trace(" ----- Ploven SNMP trap listener Daemon started\n");
  if (trace != stdout) Trace(" ----- Verbose output file is %s\n", mark + std::strspn(mark, " >="));
}

void CloseTrace() {
  if (trace == nullptr) return;
  std::fflush(trace);
  if (trace != stdout) std::fclose(trace);
  trace = nullptr;
}

// The first address of ZEV_DP_HOSTNAME, else of the system's host name, port 162.
bool LocalAddress(sockaddr_in* address) {
  char hostName[256] = "";
  const char* name = std::getenv("ZEV_DP_HOSTNAME");
  if (name == nullptr || name[0] == '\0') {
    if (gethostname(hostName, sizeof(hostName) - 1) != 0) {
      Trace(" ***** gethostname failed. errno %d\n", errno);
      return false;
    }
    name = hostName;
  }
  hostent* host = gethostbyname(name);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list[0] == nullptr) {
    Trace(" ***** gethostbyname failed, errno %d\n", errno);
    return false;
  }
  *address = sockaddr_in{};
  address->sin_family = AF_INET;
  address->sin_port = htons(kTrapPort);
  std::memcpy(&address->sin_addr, host->h_addr_list[0], sizeof(address->sin_addr));
  return true;
}

std::string AddressText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof(text));
  return text;
}

int OpenSocket(const sockaddr_in& local) {
  int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket < 0) {
    Trace(" ***** socket open failed. errno %d\n", errno);
    return -1;
  }
  Trace(" ----- socket %d opened and set to blocking IO\n", socket);
  if (bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
    Trace(" ***** bind failed for local socket %d port %d errno %d", socket, kTrapPort, errno);
    close(socket);
    return -1;
  }
  Trace(" ----- socket %d bound to %s[%d]\n", socket, AddressText(local).c_str(), kTrapPort);
  return socket;
}

class Daemon {
 public:
  Daemon(int socket, const sockaddr_in& local) : socket_(socket), local_(local) {}

  // Serves datagrams until the socket fails or a termination signal comes; the
  // error number of the end.
  int serve(const sigset_t& waitMask) {
    for (;;) {
      Trace(" ----- Listen for trap\n");
      std::memset(buffer_, 0, sizeof(buffer_));
      // The signals are let through only while waiting, so none is lost between
      // a look at them and the wait.
      pollfd readable{socket_, POLLIN, 0};
      if (ppoll(&readable, 1, nullptr, &waitMask) < 0) return errno;
      socklen_t senderSize = sizeof(sender_);
      // One byte of the buffer stays zero, so the received text always ends. The
      // poll's datagram may have been dropped since (a bad checksum): nothing waits.
      ssize_t length = recvfrom(socket_, buffer_, sizeof(buffer_) - 1, MSG_DONTWAIT,
                                reinterpret_cast<sockaddr*>(&sender_), &senderSize);
      if (length < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) continue;
        return errno;
      }
      // An empty datagram is no trap and no request; anyone can send one, so it
      // must not end the service of every registered data provider.
      if (length == 0) {
        Trace(" ***** empty datagram from %s ignored\n", senderText().c_str());
        continue;
      }
      if (std::strcmp(buffer_, kShutdown) == 0) {
        unregister();
      } else if (std::strcmp(buffer_, kRegister) == 0) {
        registerSender();
      } else {
        forward(static_cast<size_t>(length));
      }
    }
  }

  void release() { registrations_.clear(); }

 private:
  std::string senderText() const { return AddressText(sender_) + "[" + std::to_string(ntohs(sender_.sin_port)) + "]"; }

  bool fromThisHost(const char* what) {
    if (zevstrap::IsLocalOrigin(sender_, local_)) return true;
    Trace(" ***** %s from %s refused: not an address of this host\n", what, senderText().c_str());
    return false;
  }

  void unregister() {
    if (!fromThisHost("shutdown")) return;
    if (registrations_.remove(sender_))
      Trace(" >>>>> shutdown received from DP %s\n", senderText().c_str());
    else
      Trace(" >>>>> shutdown received from unregistered DP %s\n", senderText().c_str());
  }

  void registerSender() {
    if (!fromThisHost("RegisterTrapInterest")) return;
    Trace(" >>>>> RegisterTrapInterest received from DP %s\n", senderText().c_str());
    if (!registrations_.add(sender_)) {
      Trace(" ***** RegisterTrapInterest from DP %s refused: %d registrations already\n", senderText().c_str(),
            static_cast<int>(zevstrap::kMaxRegistrations));
      return;
    }
    sendto(socket_, kAcknowledge, std::strlen(kAcknowledge), 0, reinterpret_cast<const sockaddr*>(&sender_),
           sizeof(sender_));
  }

  void forward(size_t length) {
    if (trace != nullptr) {
      Trace(" >>>>> Trap received from %s length %d\n", senderText().c_str(), static_cast<int>(length));
      std::fprintf(trace, "               ");
      for (size_t i = 0; i < length; ++i) std::fprintf(trace, "%02X", static_cast<unsigned char>(buffer_[i]));
      std::fprintf(trace, "\n");
    }
    for (const sockaddr_in& to : registrations_.all()) {
      std::string target = AddressText(to) + "[" + std::to_string(ntohs(to.sin_port)) + "]";
      ssize_t sent = sendto(socket_, buffer_, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
      if (sent != static_cast<ssize_t>(length))
        Trace(" ***** send trap to SNMP DP %sfailed. errno %d\n", target.c_str(), errno);
      else
        Trace(" <<<<< trap sent to SNMP DP at %s\n", target.c_str());
    }
  }

  int socket_;
  sockaddr_in local_;
  sockaddr_in sender_{};
  char buffer_[kBufferSize]{};
  zevstrap::Registrations registrations_;
};

}  // namespace

int main() {
  // SIGTERM and SIGINT end the loop as a receive error does: they are held back
  // except during the wait for a datagram, which they then interrupt.
  struct sigaction action{};
  action.sa_handler = [](int) {};
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigset_t stops;
  sigset_t waitMask;
  sigemptyset(&stops);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGINT);
  sigprocmask(SIG_BLOCK, &stops, &waitMask);
  sigdelset(&waitMask, SIGTERM);
  sigdelset(&waitMask, SIGINT);

  OpenTrace();
  sockaddr_in local{};
  int socket = LocalAddress(&local) ? OpenSocket(local) : -1;
  if (socket < 0) {
    CloseTrace();
    return 0;
  }
  Daemon daemon(socket, local);
  int error = daemon.serve(waitMask);
  Trace(" ***** trap receive error. Errno %d\n", error);
  daemon.release();
  close(socket);
  CloseTrace();
  return 0;
}
