// zevb350: the batch data provider, which runs the engine once for one metafile.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "batch_job.h"

int main(int argc, char** argv) {
  // SIGTERM is blocked before any thread starts, so every thread inherits the mask,
  // and arrives through a descriptor that the job's wait watches.
  sigset_t termination;
  sigemptyset(&termination);
  sigaddset(&termination, SIGTERM);
  int signalDescriptor = -1;
  if (pthread_sigmask(SIG_BLOCK, &termination, nullptr) == 0) signalDescriptor = signalfd(-1, &termination, SFD_CLOEXEC);
  int code = zevb350::RunBatchJob(argv[0], std::vector<std::string>(argv + 1, argv + argc), signalDescriptor);
  if (signalDescriptor >= 0) close(signalDescriptor);
  return code;
}
