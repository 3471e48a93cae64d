// A console's reply to a control request, in local code: a decimal code, and perhaps a
// blank and a parameter (tokens are separated by blanks). Read within its length, as a
// datagram carries no terminator; a zero byte ends the text as it would a string.
#pragma once

namespace zevpapi {

// The longest parameter a caller gets: its area holds 80 characters with the terminator.
constexpr int kLongestReplyParameter = 79;

struct ControlReplyReading {
  enum Kind {
    kDiscarded,  // empty, or its first token is not a code: the wait goes on
    kInterim,    // 99: the command still runs, the wait goes on
    kFinal,      // the exchange's result
  };
  Kind kind = kDiscarded;
  int code = 0;
  // The second token, within the reply; length 0 when there is none.
  int parameterOffset = 0;
  int parameterLength = 0;
};

ControlReplyReading ReadControlReply(const char* reply, int length);

// The parameter into the caller's area: at most kLongestReplyParameter characters and a
// terminator; nothing when there is no parameter.
void CopyReplyParameter(const char* reply, const ControlReplyReading& reading, char* replyParm);

}  // namespace zevpapi
