// zevpsend msg=Message [cat=Category] [dp=DP_HostName] [port=DP_Listen_Port] [ack=y|n]:
// posts one message to a POST data provider, over UDP, or over TCP when an
// acknowledgement is wanted. Links only the system's libraries.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultPort = 7575;
constexpr size_t kShortestMessage = 32;
constexpr size_t kLongestKeyword = 8;
constexpr int kConnectWaitMs = 30000;
constexpr int kAcknowledgementWaitMs = 30000;
constexpr int kBindFailed = -1;

const char* const kUsage[] = {
    "Usage:\n",
    ": zevpsend msg= Message cat=Category dp=DP_HostName port=DP_Listen_Port ack=y|n\n\n",
    "           msg= Post message to send to DP enclosed in quotes,\n\n",
    "  Optional parameter:\n",
    "           ack= Yes or No that requires positive acknowledgment from DP\n",
    "            dp= Target DP host name, default to local machine\n",
    "          port= Target DP listening port, default to 7575\n",
    "           cat= Post message category,\n",
    "                standard defined categories are:\n",
    "                         I - Information, (default)\n",
    "                         O - Operation,\n",
    "                         P - Application\n",
    "                         S - System,\n",
    "                         N - Network\n",
    "                         A - Alert,\n",
    "                         C - Critical\n",
    "                         W - Warning,\n",
    "                         R - Reset\n",
    "                         D - Detail\n",
};

struct Post {
  bool hasMessage = false;
  std::string message;
  std::string category = "I";
  std::string host;
  bool hasPort = false;
  std::string port;
  std::string acknowledgement;
};

enum Keyword { kMsg, kCat, kDp, kPort, kAck, kKeywordCount };
const char* const kKeywords[kKeywordCount] = {"MSG", "CAT", "DP", "PORT", "ACK"};

// The first keyword that begins with the given one (so "M" is MSG and "P" PORT);
// kKeywordCount when none does. An empty keyword or one longer than any is none.
int KeywordOf(const std::string& given) {
  if (given.empty() || given.size() > kLongestKeyword) return kKeywordCount;
  for (int keyword = 0; keyword < kKeywordCount; ++keyword)
    if (std::strncmp(kKeywords[keyword], given.c_str(), given.size()) == 0) return keyword;
  return kKeywordCount;
}

void TakeArgument(const char* argument, Post* post) {
  const char* mark = std::strchr(argument, '=');
  if (mark == nullptr) {
    std::printf("Invalid input parameter %s, ignored\n", argument);
    return;
  }
  std::string keyword(argument, static_cast<size_t>(mark - argument));
  for (char& c : keyword) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string value = mark + 1;
  switch (KeywordOf(keyword)) {
    case kMsg:
      post->hasMessage = true;
      post->message = value;
      return;
    case kCat:
      post->category = value;
      return;
    case kDp:
      post->host = value;
      return;
    case kPort:
      post->hasPort = true;
      post->port = value;
      return;
    case kAck:
      post->acknowledgement = value;
      return;
    default:
      std::printf("Invalid parameter keyword %s ignored\n", keyword.c_str());
  }
}

// The message, ';', the category, ';', and zero bytes up to the shortest length.
std::vector<char> MessageBytes(const Post& post) {
  std::string text = post.message + ";" + post.category + ";";
  std::vector<char> bytes(text.begin(), text.end());
  if (bytes.size() < kShortestMessage) bytes.resize(kShortestMessage, '\0');
  return bytes;
}

uint16_t PortOf(const Post& post) {
  // Kept to the 16 bits a port has, as the address holds it.
  return post.hasPort ? static_cast<uint16_t>(std::strtol(post.port.c_str(), nullptr, 10)) : kDefaultPort;
}

bool Resolve(const std::string& host, in_addr* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  *address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

bool AwaitSocket(int socket, short events, int waitMs) {
  for (;;) {
    pollfd wait{socket, events, 0};
    int ready = poll(&wait, 1, waitMs);
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

void ReportConnectFailure(int error) {
  if (error == ECONNREFUSED)
    std::printf("DP not active, error status %d\n", error);
  else
    std::printf("Connecting to DP failed, error status %d\n", error);
}

// Connects the non-blocking socket, and leaves it blocking once connected. A refused
// connection shows only once the connect has ended, also as a writable socket.
bool Connect(int socket, const sockaddr_in& destination, const std::string& host) {
  if (connect(socket, reinterpret_cast<const sockaddr*>(&destination), sizeof destination) != 0 && errno != EAGAIN &&
      errno != EINPROGRESS) {
    ReportConnectFailure(errno);
    return false;
  }
  if (!AwaitSocket(socket, POLLOUT, kConnectWaitMs)) {
    std::printf("connect to target DP %s timed-out\n", host.c_str());
    return false;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  if (error != 0) {
    ReportConnectFailure(error);
    return false;
  }
  fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) & ~O_NONBLOCK);
  return true;
}

bool AwaitAcknowledgement(int socket, const std::string& host) {
  if (AwaitSocket(socket, POLLIN, kAcknowledgementWaitMs)) return true;
  std::printf("send post message to target DP %s acknowledgment timed-out\n", host.c_str());
  return false;
}

// The acknowledgement, read into the zeroed message area within its length; the
// receive's result.
ssize_t ReceiveAcknowledgement(int socket, std::vector<char>& area) {
  std::fill(area.begin(), area.end(), '\0');
  ssize_t received = recv(socket, area.data(), area.size(), 0);
  if (received > 0)
    std::printf("Acknowledgment stamp %.*s\n", static_cast<int>(received), area.data());
  else
    std::printf("receive post message acknowledgment failed, error status %d\n", received < 0 ? errno : 0);
  return received;
}

int SendPost(const Post& post) {
  std::string host = post.host;
  if (host.empty()) {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    host = name;
  }
  in_addr address{};
  if (!Resolve(host, &address)) {
    std::printf("Destination DP name %s cannot be resolved\n", host.c_str());
    return 0;
  }
  const bool acknowledged = std::toupper(static_cast<unsigned char>(post.acknowledgement[0])) == 'Y';
  int socket = ::socket(AF_INET, (acknowledged ? SOCK_STREAM | SOCK_NONBLOCK : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (socket < 0 || bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    std::printf("Unable to bind to local socket port, error status %d\n", errno);
    if (socket >= 0) close(socket);
    return kBindFailed;
  }
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_port = htons(PortOf(post));
  destination.sin_addr = address;
  if (acknowledged && !Connect(socket, destination, host)) {
    close(socket);
    return 0;
  }
  std::vector<char> message = MessageBytes(post);
  ssize_t last = acknowledged ? send(socket, message.data(), message.size(), MSG_NOSIGNAL)
                              : sendto(socket, message.data(), message.size(), 0,
                                       reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
  if (last != static_cast<ssize_t>(message.size())) {
    std::printf("send post message to DP failed, error status %d\n", errno);
  } else if (acknowledged && AwaitAcknowledgement(socket, host)) {
    last = ReceiveAcknowledgement(socket, message);
  }
  if (last > 0) std::printf("send post message to DP %s successful\n", host.c_str());
  close(socket);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '?') {
    for (const char* line : kUsage) std::fputs(line, stdout);
    return 0;
  }
  Post post;
  for (int i = 1; i < argc; ++i) TakeArgument(argv[i], &post);
  if (!post.hasMessage) {
    std::printf("No input message specified, exit\n");
    return 0;
  }
  return SendPost(post);
}
