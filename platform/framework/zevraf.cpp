// zevraf: asks the framework stand-in's management-server port one question and prints
// the answer, fields tab-separated (docs/framework-port.md).
//
//   zevraf [-p PORT] subnodes
//   zevraf [-p PORT] tables
//   zevraf [-p PORT] sample [-w COLUMN=VALUE]... APPL TABLE [SUBNODE]
//   zevraf [-p PORT] action SUBNODE COMMAND...
//
// The port is -p, else ZEVA_RAF_PORT, else 1920. Exit status: 0 answered, 1 the agent
// answered an error (its text on standard error), 2 usage error, 3 nobody answered.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "internal/framework_port.h"

namespace {

constexpr int kAnswered = 0;
constexpr int kErrorAnswered = 1;
constexpr int kUsage = 2;
constexpr int kNoAnswer = 3;
constexpr int kAnswerWaitMs = 60000;
// An answer line longer than this is not one of the port's.
constexpr size_t kAnswerLineLimit = 1 << 20;

int usage(const char* why) {
  std::fprintf(stderr,
               "zevraf: %s\n"
               "usage: zevraf [-p PORT] subnodes | tables | sample [-w COLUMN=VALUE]... APPL TABLE [SUBNODE] |\n"
               "              action SUBNODE COMMAND...\n",
               why);
  return kUsage;
}

// An argument as one field: a tab or a line feed would break the request line.
std::string field(const char* argument) {
  std::string text = argument;
  for (char& c : text)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return text;
}

// The request line, or empty when the arguments name no request.
std::string requestLine(const std::vector<const char*>& words) {
  if (words.empty()) return "";
  std::string command = words[0];
  size_t count = words.size() - 1;
  std::string line = command;
  if ((command == "subnodes" || command == "tables") && count == 0) return line + "\n";
  if (command == "sample") {
    // The predicates go first, as they were given; the port checks each.
    size_t first = 1;
    while (first + 1 < words.size() && std::strcmp(words[first], "-w") == 0) first += 2;
    if (words.size() - first != 2 && words.size() - first != 3) return "";
    for (size_t i = 1; i < words.size(); ++i) line += "\t" + field(words[i]);
    return line + "\n";
  }
  if (command == "action" && count >= 2) {
    std::string text = field(words[2]);
    for (size_t i = 3; i < words.size(); ++i) text += " " + field(words[i]);
    return line + "\t" + field(words[1]) + "\t" + text + "\n";
  }
  return "";
}

int connectTo(int port) {
  int socketFD = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (socketFD >= 0 && connect(socketFD, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return socketFD;
  int failure = errno;
  if (socketFD >= 0) close(socketFD);
  errno = failure;
  return -1;
}


// Reads the answer's lines as they come, within the overall wait.
class AnswerReader {
 public:
  explicit AnswerReader(int socketFD)
      : socketFD_(socketFD), deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerWaitMs)) {}

  // False when the answer ends or stalls before a whole line.
  bool nextLine(std::string* line) {
    for (;;) {
      size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        line->assign(pending_, 0, end);
        pending_.erase(0, end + 1);
        return true;
      }
      if (pending_.size() > kAnswerLineLimit) return false;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
      pollfd readable{socketFD_, POLLIN, 0};
      int ready = poll(&readable, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return false;
      char buffer[4096];
      ssize_t n = recv(socketFD_, buffer, sizeof buffer, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      pending_.append(buffer, static_cast<size_t>(n));
    }
  }

 private:
  int socketFD_;
  std::chrono::steady_clock::time_point deadline_;
  std::string pending_;
};

// "OK<tab>n": n; anything else: -1.
long lineCount(const std::string& header) {
  if (header.compare(0, 3, "OK\t") != 0 || header.size() == 3 || header.size() > 12) return -1;
  long count = 0;
  for (size_t i = 3; i < header.size(); ++i) {
    if (header[i] < '0' || header[i] > '9') return -1;
    count = count * 10 + (header[i] - '0');
  }
  return count;
}

int printAnswer(int socketFD) {
  AnswerReader answer(socketFD);
  std::string header;
  if (!answer.nextLine(&header)) {
    std::fprintf(stderr, "zevraf: no answer\n");
    return kNoAnswer;
  }
  if (header.compare(0, 6, "ERROR\t") == 0) {
    std::fprintf(stderr, "zevraf: %s\n", header.c_str() + 6);
    return kErrorAnswered;
  }
  long count = lineCount(header);
  if (count < 0) {
    std::fprintf(stderr, "zevraf: not an answer of the framework's port\n");
    return kNoAnswer;
  }
  std::string line;
  for (long i = 0; i < count; ++i) {
    if (!answer.nextLine(&line)) {
      std::fprintf(stderr, "zevraf: the answer broke off after %ld of %ld lines\n", i, count);
      return kNoAnswer;
    }
    std::printf("%s\n", line.c_str());
  }
  return kAnswered;
}

}  // namespace

int main(int argc, char* argv[]) {
  int port = raf::FrameworkPortFrom(std::getenv(raf::kFrameworkPortVariable));
  std::vector<const char*> words(argv + 1, argv + argc);
  if (!words.empty() && std::strcmp(words[0], "-p") == 0) {
    if (words.size() < 2) return usage("-p needs a port");
    port = raf::FrameworkPortFrom(words[1]);
    if (port == 0 || words[1][0] == '\0') return usage("-p needs a port (1 to 65535)");
    words.erase(words.begin(), words.begin() + 2);
  } else if (port == 0) {
    return usage("ZEVA_RAF_PORT does not name a port (1 to 65535)");
  }
  std::string request = requestLine(words);
  if (request.empty()) return usage(words.empty() ? "no request" : "unknown request or wrong arguments");
  int socketFD = connectTo(port);
  if (socketFD < 0) {
    std::fprintf(stderr, "zevraf: nobody answers on 127.0.0.1 port %d: %s\n", port, std::strerror(errno));
    return kNoAnswer;
  }
  // A port that refuses the client (busy) answers before it reads: read even when the send failed.
  raf::SendWhole(socketFD, request);
  int status = printAnswer(socketFD);
  close(socketFD);
  return status;
}
