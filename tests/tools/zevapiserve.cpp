// zevapiserve APPLICATION GROUP RESULT: a user program of the client API that serves
// the actions routed to it. It begins input for the application's group, tells the
// data provider that it accepts requests, prints "accepting requests", then takes the
// first request that comes, prints its text and answers it with RESULT. Each failed
// call prints its message. Exit code 0 once the result was taken, 1 when a call
// failed, 2 when SIGTERM or the end of standard input came before any request.
#include <cstdio>
#include <cstring>

#include "tool_ending.h"
#include "zevpapi/dp_api.h"

namespace {

constexpr int kReplyWaitSeconds = 30;
constexpr int kNothingOutstanding = 82;
constexpr int kFetchPauseMs = 100;
constexpr int kRequestArea = 1024;

// Prints the message of the call's status.
void Failed(int status) {
  dp_ShowMessage(status, nullptr, 0);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: zevapiserve APPLICATION GROUP RESULT\n", stderr);
    return 1;
  }
  const int signalDescriptor = TerminationSignal();
  int status = 0;
  APIhandle* handle = dp_AllocateHandle(&status);
  if (handle == nullptr) {
    Failed(status);
    return 1;
  }
  int code = 1;
  if (!dp_BeginInput(handle, argv[1], argv[2], &status) || !dp_AcceptRequest(handle, 1, kReplyWaitSeconds, &status)) {
    Failed(status);
  } else {
    std::puts("accepting requests");
    std::fflush(stdout);
    char request[kRequestArea];
    int id = 0;
    int size = 0;
    // The library's own wait for a request polls every five seconds; this one polls
    // more often and also ends when its test asks.
    while (!dp_ReceiveRequest(handle, 0, request, sizeof request, &id, &size, &status) &&
           status == kNothingOutstanding && !EndRequested(signalDescriptor, kFetchPauseMs)) {
    }
    if (status == kNothingOutstanding) {
      code = 2;
    } else if (status != 0) {
      Failed(status);
    } else {
      std::printf("%s\n", request);
      std::fflush(stdout);
      if (dp_SendRequestResult(handle, &id, argv[3], static_cast<int>(std::strlen(argv[3])), &status) &&
          dp_EndInput(handle, &status))
        code = 0;
      else
        Failed(status);
    }
  }
  dp_FreeHandle(handle, nullptr);
  return code;
}
