#include "dp_exchange.h"

#include <sys/select.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "console_input.h"
#include "trc1.h"
#include "zevp/console.h"
#include "zevp/console_verbs.h"
#include "zevp/network_code.h"

TRC_UNIT();

namespace zevpcon {

namespace {

constexpr int kDefaultWaitMs = 30000;
constexpr int kNotProcessed = 8;
constexpr int kInProgress = 41;
constexpr int kReplyTooLong = 64;
constexpr long kStillRunning = 99;

// The text after the first blank, and the word before it.
std::string AfterFirstBlank(const std::string& text) {
  size_t blank = text.find(' ');
  return blank == std::string::npos ? std::string() : text.substr(blank + 1);
}
std::string FirstWord(const std::string& text) { return text.substr(0, text.find(' ')); }

bool SendToTargets(const ConsoleTransport& transport, const std::string& command) {
  std::string text = command;
  ZEVP_ConvertBufferToNetwork(text.data(), static_cast<int>(text.size()));
  for (size_t number = 1; number <= transport.found.size(); ++number) {
    if (transport.selected != 0 && transport.selected != number) continue;
    const sockaddr_in& address = transport.found[number - 1].address;
    ssize_t sent = sendto(transport.socket, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                          sizeof address);
    if (sent != static_cast<ssize_t>(text.size())) {
      ZEVP_ShowConsoleMessage(kNotProcessed, nullptr);
      TRC(TRC_ERROR, "*** Console to DP communication failed, errno %d", errno);
      return false;
    }
  }
  return true;
}

// Waits for the next datagram into the buffer: its length, 0 after the wait without
// one, -1 on failure, and above the buffer's room when it did not fit.
ssize_t ReceiveReply(int socket, char* buffer, size_t size, int waitMs) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket, &readable);
  timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
  int ready = select(socket + 1, &readable, nullptr, nullptr, &wait);
  if (ready <= 0) return ready;
  // One byte is kept for the terminator; MSG_TRUNC tells the datagram's whole length.
  return recv(socket, buffer, size - 1, MSG_TRUNC);
}

int SendReceiveDPcommandViaSock(ConsoleTransport* transport, const std::string& command, std::string* reply,
                                int waitSeconds, int32_t code) {
  if (!SendToTargets(*transport, command)) return 0;
  const int waitMs = waitSeconds > 0 ? waitSeconds * 1000
                                     : (transport->commandWaitMs > 0 ? transport->commandWaitMs : kDefaultWaitMs);
  ShowAssembly show;
  for (;;) {
    char buffer[kCommandBufferSize];
    ssize_t length = ReceiveReply(transport->socket, buffer, sizeof buffer, waitMs);
    if (length == 0) {
      TRC(TRC_ERROR, "*** Console reply for {%s} timed out", command.c_str());
      return 0;
    }
    if (length < 0) {
      TRC(TRC_ERROR, "*** Console reply for {%s} not received, errno %d", command.c_str(), errno);
      return 0;
    }
    if (static_cast<size_t>(length) > sizeof buffer - 1) {
      TRC(TRC_ERROR, "*** Console reply of %zd bytes too long", length);
      ZEVP_ShowConsoleMessage(kReplyTooLong, nullptr);
      return 0;
    }
    ZEVP_ConvertBufferToLocal(buffer, static_cast<int>(length), 0);
    std::string datagram(buffer, static_cast<size_t>(length));
    if (datagram.empty() || !std::isdigit(static_cast<unsigned char>(datagram[0]))) {
      TRC(TRC_ERROR, "*****Invalid/Unrecognized response discarded {%s}", datagram.c_str());
      continue;
    }
    if (std::strtol(datagram.c_str(), nullptr, 10) == kStillRunning) {
      ZEVP_ShowConsoleMessage(kInProgress, nullptr);
      continue;
    }
    if (code != ZEVP_VERB_SHOW) {
      *reply = datagram;
      return 1;
    }
    switch (show.take(datagram)) {
      case ShowAssembly::Step::kComplete:
        *reply = show.text();
        return 1;
      case ShowAssembly::Step::kTooLong:
        ZEVP_ShowConsoleMessage(kReplyTooLong, nullptr);
        return 0;
      case ShowAssembly::Step::kWaitOn:
        break;
    }
  }
}

int SendReceiveDPcommandViaRPC() {
  TRC(TRC_ERROR, "*** unsupport DP console transport type");
  return 0;
}

}  // namespace

ShowAssembly::Step ShowAssembly::take(const std::string& datagram) {
  if (!assembling_) {
    text_ = datagram;
    if (datagram.size() <= 2 || FirstWord(AfterFirstBlank(datagram)) != "1") return Step::kComplete;
    assembling_ = true;
    return Step::kWaitOn;
  }
  const std::string piece = FirstWord(datagram);
  if (piece != "0" && piece != "3") {
    TRC(TRC_ERROR, "*****Invalid/Unrecognized response discarded {%s}", datagram.c_str());
    return Step::kWaitOn;
  }
  const std::string records = AfterFirstBlank(datagram);
  if (text_.size() + records.size() > kShowTextLimit) return Step::kTooLong;
  text_ += records;
  return piece == "3" ? Step::kComplete : Step::kWaitOn;
}

int SendReceiveDPcommand(ConsoleTransport* transport, const std::string& command, std::string* reply,
                         int waitSeconds, int32_t code) {
  if (transport->transportLetter == 'R') return SendReceiveDPcommandViaRPC();
  return SendReceiveDPcommandViaSock(transport, command, reply, waitSeconds, code);
}

}  // namespace zevpcon
