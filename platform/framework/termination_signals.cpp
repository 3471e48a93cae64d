#include "internal/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "trc1.h"

TRC_UNIT();

namespace raf {

namespace {

std::atomic<int> signalPipe{-1};

extern "C" void noteTerminationSignal(int signalNumber) {
  int saved = errno;
  int descriptor = signalPipe.load();
  unsigned char byte = static_cast<unsigned char>(signalNumber);
  // A full pipe holds a signal already.
  if (descriptor >= 0) (void)!write(descriptor, &byte, 1);
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals() {
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    TRC(TRC_ERROR, "Error: no pipe for the termination signals: errno=%d; SIGTERM and SIGINT end the process", errno);
    pipe_[0] = pipe_[1] = -1;
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
}

TerminationSignals::~TerminationSignals() {
  if (!installed_) return;
  sigaction(SIGTERM, &previousTerm_, nullptr);
  sigaction(SIGINT, &previousInt_, nullptr);
  signalPipe.store(-1);
  close(pipe_[0]);
  close(pipe_[1]);
}

int TerminationSignals::take() {
  int signalNumber = 0;
  unsigned char byte = 0;
  while (pipe_[0] >= 0 && read(pipe_[0], &byte, 1) == 1) signalNumber = byte;
  return signalNumber;
}

}  // namespace raf
