// Starts a data-provider program as a child process that the agent does not wait for.
//
// Between fork and exec the child runs only async-signal-safe calls (the parent may have
// other threads holding locks): everything it needs, the paths to try included, is made
// before the fork. The child reports a failed exec over a close-on-exec pipe so that the
// parent can trace it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dch/channel_functions.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr size_t kMaxProgramName = 253;
constexpr int kExecFailedStatus = 127;
// What exec searches when PATH is not set.
constexpr char kDefaultSearchPath[] = "/bin:/usr/bin";

// "./name" first, then what a search of PATH for the bare name would try.
std::vector<std::string> candidatePaths(const std::string& program) {
  std::vector<std::string> paths{"./" + program};
  if (program.find('/') != std::string::npos) {
    paths.push_back(program);
    return paths;
  }
  const char* searchPath = getenv("PATH");
  std::string directories = searchPath != nullptr ? searchPath : kDefaultSearchPath;
  size_t begin = 0;
  while (begin <= directories.size()) {
    size_t end = directories.find(':', begin);
    if (end == std::string::npos) end = directories.size();
    std::string directory = directories.substr(begin, end - begin);
    paths.push_back((directory.empty() ? "." : directory) + "/" + program);
    begin = end + 1;
  }
  return paths;
}

// In the child: of the agent's descriptors the program gets standard input, output
// and error only, also of those opened without close-on-exec; the report pipe stays
// until the exec.
void closeAllButStandardAnd(int reportFD) {
  constexpr int kFirstNotPassed = 3;
  if (reportFD < kFirstNotPassed) {
    closefrom(kFirstNotPassed);
    return;
  }
  if (reportFD > kFirstNotPassed) close_range(kFirstNotPassed, static_cast<unsigned>(reportFD) - 1, 0);
  closefrom(reportFD + 1);
}

// In the child: async-signal-safe calls only.
[[noreturn]] void execOrExit(const std::vector<std::string>& paths, char* const argv[], int reportFD) {
  closeAllButStandardAnd(reportFD);
  int execErrno = 0;
  for (const std::string& path : paths) {
    execv(path.c_str(), argv);
    execErrno = errno;
  }
  ssize_t ignored = write(reportFD, &execErrno, sizeof execErrno);
  (void)ignored;
  _exit(kExecFailedStatus);
}

// In the parent: the child's exec errno, or 0 when the exec succeeded (the pipe closed).
int execResult(int reportFD) {
  int execErrno = 0;
  ssize_t got;
  do {
    got = read(reportFD, &execErrno, sizeof execErrno);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof execErrno) ? execErrno : 0;
}

}  // namespace

int ZEVA_StartDPprocess(const char* program) {
  if (program == nullptr || strnlen(program, kMaxProgramName + 1) > kMaxProgramName) {
    TRC(TRC_ERROR, "Error: program name missing or longer than %d characters", static_cast<int>(kMaxProgramName));
    return -1;
  }
  std::string name(program);
  std::vector<std::string> paths = candidatePaths(name);
  char* argv[] = {name.data(), nullptr};
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    TRC(TRC_ERROR, "Error: pipe failed: errno=%d", errno);
    return -1;
  }
  pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    execOrExit(paths, argv, report[1]);
  }
  int forkErrno = errno;
  close(report[1]);
  if (child < 0) {
    TRC(TRC_ERROR, "Error: fork failed: errno=%d", forkErrno);
  } else if (int execErrno = execResult(report[0]); execErrno != 0) {
    TRC(TRC_ERROR, "Error: EXEC %s failed: errno=%d", program, execErrno);
  }
  close(report[0]);
  return child;
}
