// How the test tools that host a server learn that their test wants them to end:
// SIGTERM, or their standard input closing.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

// SIGTERM arrives through a descriptor. It is blocked before any thread starts, so
// that every thread inherits the mask and none is interrupted by it. -1 on failure.
inline int TerminationSignal() {
  sigset_t termination;
  sigemptyset(&termination);
  sigaddset(&termination, SIGTERM);
  if (pthread_sigmask(SIG_BLOCK, &termination, nullptr) != 0) return -1;
  return signalfd(-1, &termination, SFD_CLOEXEC);
}

// True once SIGTERM has come or standard input has closed; waits at most waitMs
// (-1: without limit) for either. Input that comes goes to onInput, when given, and
// is dropped otherwise.
inline bool EndRequested(int signalDescriptor, int waitMs, void (*onInput)(const char*, ssize_t) = nullptr) {
  pollfd watched[] = {{signalDescriptor, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
  if (poll(watched, 2, waitMs) <= 0) return false;
  if (watched[0].revents != 0) return true;
  if (watched[1].revents == 0) return false;
  char input[256];
  ssize_t length = read(STDIN_FILENO, input, sizeof input);
  if (length <= 0) return true;
  if (onInput != nullptr) onInput(input, length);
  return false;
}
