#include "dch_host_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "free_port.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadyWaitMs = 5000;

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string VariableName(const std::string& setting) { return setting.substr(0, setting.find('=') + 1); }

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

DCHhostProcess::DCHhostProcess(unsigned short port) : port_(port != 0 ? port : FreeLoopbackPort()) {
  const char* tools = std::getenv("ZEV_TEST_TOOLS");
  program_ = std::string(tools != nullptr ? tools : ".") + "/zevdchhost";
  char scratch[] = "/tmp/dch_host_process.XXXXXX";
  if (mkdtemp(scratch) != nullptr) scratch_ = scratch;
}

DCHhostProcess::~DCHhostProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  closeInput();
  if (output_ >= 0) close(output_);
  if (scratch_.empty()) return;
  unlink(tracePath().c_str());
  unlink(errorPath().c_str());
  rmdir(scratch_.c_str());
}

// The test's own environment, the host's settings and then the caller's over it.
std::vector<std::string> DCHhostProcess::environment(const std::vector<std::string>& settings) const {
  std::vector<std::string> chosen = {"ZEVA_DCH_PORT=" + std::to_string(port_), "ZEVA_DCH_ADDR=127.0.0.1",
                                     "QFEB0_HOSTNAME=localhost", "ZEVA_DCH_TIMEOUT=1",
                                     "ZEV_TRACE=*=0x80 >" + tracePath()};
  for (const std::string& setting : settings) {
    bool replaced = false;
    for (std::string& earlier : chosen)
      if (VariableName(earlier) == VariableName(setting)) {
        earlier = setting;
        replaced = true;
      }
    if (!replaced) chosen.push_back(setting);
  }
  std::vector<std::string> all;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    bool replaced = false;
    for (const std::string& setting : chosen)
      replaced = replaced || std::strncmp(*variable, setting.c_str(), VariableName(setting).size()) == 0;
    if (!replaced) all.emplace_back(*variable);
  }
  all.insert(all.end(), chosen.begin(), chosen.end());
  return all;
}

bool DCHhostProcess::start(const std::vector<std::string>& settings) {
  if (scratch_.empty() || port_ == 0) {
    failure_ = "no scratch folder or no free port";
    return false;
  }
  int input[2], output[2];
  if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
    failure_ = "no pipes";
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> variables = environment(settings);
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  // The host takes SIGTERM through a descriptor once it runs; blocked from the start, a
  // SIGTERM that comes before the host is that far waits for it instead of killing it.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t termination;
  sigemptyset(&termination);
  sigaddset(&termination, SIGTERM);
  posix_spawnattr_setsigmask(&attributes, &termination);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  char* argv[] = {program_.data(), nullptr};
  int rc = posix_spawn(&pid_, program_.c_str(), &actions, &attributes, argv, envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(input[0]);
  close(output[1]);
  input_ = input[1];
  output_ = output[0];
  if (rc != 0) {
    pid_ = -1;
    failure_ = "posix_spawn " + program_ + ": " + std::strerror(rc);
    return false;
  }
  return true;
}

bool DCHhostProcess::startReady(const std::vector<std::string>& settings) {
  if (!start(settings)) return false;
  std::string line = readLine(kReadyWaitMs);
  if (line == "ready " + std::to_string(port_)) return true;
  failure_ = "the host said <" + line + "> in place of ready; " + errorText();
  return false;
}

std::string DCHhostProcess::readLine(int waitMs) {
  std::string line;
  auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  while (output_ >= 0 && (line.empty() || line.back() != '\n')) {
    pollfd readable{output_, POLLIN, 0};
    if (poll(&readable, 1, MillisecondsLeft(deadline)) != 1) return line;
    char c;
    if (read(output_, &c, 1) != 1) return line;
    line.push_back(c);
  }
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

int DCHhostProcess::waitForEnd(int waitMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  while (pid_ > 0) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return status;
    }
    if (Clock::now() >= deadline) break;
    usleep(5000);
  }
  return -1;
}

void DCHhostProcess::closeInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

int DCHhostProcess::terminate(int waitMs) {
  if (pid_ <= 0 || kill(pid_, SIGTERM) != 0) return -1;
  return waitForEnd(waitMs);
}

std::string DCHhostProcess::traceText() const { return FileText(tracePath()); }

std::string DCHhostProcess::errorText() const { return FileText(errorPath()); }

long DCHhostProcess::residentKilobytes() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.compare(0, 6, "VmRSS:") == 0) return std::atol(line.c_str() + 6);
  return -1;
}

long DCHhostProcess::heapBytes(int waitMs) {
  const char question[] = "heap\n";
  if (input_ < 0 || write(input_, question, sizeof question - 1) != static_cast<ssize_t>(sizeof question - 1))
    return -1;
  std::string answer = readLine(waitMs);
  return answer.compare(0, 5, "heap ") == 0 ? std::atol(answer.c_str() + 5) : -1;
}
