// One exchange with the selected data provider (or every one found): the command
// sent, and its reply read, with the interim replies and a SHOW reply's pieces.
#pragma once

#include <cstdint>
#include <string>

#include "console_transport.h"

namespace zevpcon {

// A SHOW reply is assembled up to this size; a longer one is refused.
constexpr size_t kShowTextLimit = 1u << 20;

// A SHOW reply as its datagrams come: the first is "<rc> <piece> <records>", piece
// 2 being the whole reply and piece 1 the start of several; each later one
// "<piece> <records>", piece 0 followed by more and piece 3 the last. The records
// of later pieces are appended to the first datagram.
class ShowAssembly {
 public:
  enum class Step { kWaitOn, kComplete, kTooLong };
  Step take(const std::string& datagram);
  // The reply once complete.
  const std::string& text() const { return text_; }

 private:
  bool assembling_ = false;
  std::string text_;
};

// Sends the command text and waits for its reply: waitSeconds when above 0, else
// the transport's command wait, else 30 seconds; a reply that does not begin with
// a digit is discarded and one of status 99 (still running) shows message 41, and
// the wait goes on after both. 1 with the reply; 0 on failure (a short send shows
// message 8, a reply too long for its buffer message 64; a time-out shows nothing).
int SendReceiveDPcommand(ConsoleTransport* transport, const std::string& command, std::string* reply,
                         int waitSeconds, int32_t code);

}  // namespace zevpcon
