#include "internal/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "trc1.h"

TRC_UNIT();

namespace raf {

namespace {

// The byte that ends the watch; a signal writes its own number.
constexpr unsigned char kEndOfWatch = 0;

std::atomic<int> signalPipe{-1};

extern "C" void noteTerminationSignal(int signalNumber) {
  int saved = errno;
  int descriptor = signalPipe.load();
  unsigned char byte = static_cast<unsigned char>(signalNumber);
  if (descriptor >= 0) (void)!write(descriptor, &byte, 1);
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
  if (pipe2(pipe_, O_CLOEXEC) != 0) {
    TRC(TRC_ERROR, "Error: no pipe for the termination signals: errno=%d; SIGTERM and SIGINT end the process", errno);
    return;
  }
  signalPipe.store(pipe_[1]);
  struct sigaction noted {};
  noted.sa_handler = noteTerminationSignal;
  sigemptyset(&noted.sa_mask);
  noted.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &noted, &previousTerm_);
  sigaction(SIGINT, &noted, &previousInt_);
  installed_ = true;
  watcher_ = std::thread([this] { watch(); });
}

TerminationSignals::~TerminationSignals() {
  if (!installed_) return;
  sigaction(SIGTERM, &previousTerm_, nullptr);
  sigaction(SIGINT, &previousInt_, nullptr);
  signalPipe.store(-1);
  unsigned char end = kEndOfWatch;
  (void)!write(pipe_[1], &end, 1);
  watcher_.join();
  close(pipe_[0]);
  close(pipe_[1]);
}

void TerminationSignals::watch() {
  for (;;) {
    unsigned char byte = kEndOfWatch;
    ssize_t got = read(pipe_[0], &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || byte == kEndOfWatch) return;
    TRC(TRC_DETAIL, "Signal %d received: the framework's main loop ends", byte);
    onSignal_();
  }
}

}  // namespace raf
