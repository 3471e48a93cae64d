#include "tool_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "network_namespace.h"
#include "proc_text.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string VariableName(const std::string& setting) { return setting.substr(0, setting.find('=') + 1); }

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// The test's own environment with the settings over it.
std::vector<std::string> Environment(const std::vector<std::string>& settings) {
  std::vector<std::string> all;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    bool replaced = false;
    for (const std::string& setting : settings)
      replaced = replaced || std::strncmp(*variable, setting.c_str(), VariableName(setting).size()) == 0;
    if (!replaced) all.emplace_back(*variable);
  }
  all.insert(all.end(), settings.begin(), settings.end());
  return all;
}

}  // namespace

ToolProcess::ToolProcess(const std::string& program) {
  const char* tools = std::getenv("ZEV_TEST_TOOLS");
  program_ = !program.empty() && program[0] == '/' ? program : std::string(tools != nullptr ? tools : ".") + "/" + program;
  char scratch[] = "/tmp/zev_tool.XXXXXX";
  if (mkdtemp(scratch) != nullptr) scratch_ = scratch;
}

ToolProcess::~ToolProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  closeInput();
  if (output_ >= 0) close(output_);
  if (!scratch_.empty()) std::filesystem::remove_all(scratch_);
}

bool ToolProcess::start(const std::vector<std::string>& arguments, const std::vector<std::string>& settings) {
  // The SNMP data-provider program runs only where its traffic stays inside.
  if (std::filesystem::path(program_).filename() == "zevpsnmp" &&
      !RequireOwnNetworkNamespace("the SNMP data-provider program zevpsnmp")) {
    failure_ = "outside a network namespace of the test's own";
    return false;
  }
  if (scratch_.empty()) {
    failure_ = "no scratch folder";
    return false;
  }
  // The pipes of a run before this one.
  closeInput();
  if (output_ >= 0) close(output_);
  output_ = -1;
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
  // Nothing of the test process's (nor of the test runner's, which it may hold).
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  if (!workDirectory_.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDirectory_.c_str());
  std::vector<std::string> variables = Environment(settings);
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  std::vector<std::string> words = arguments;
  words.insert(words.begin(), program_);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int rc = posix_spawn(&pid_, program_.c_str(), &actions, nullptr, argv.data(), envp.data());
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

std::string ToolProcess::readLine(int waitMs) {
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

std::string ToolProcess::readAll(int waitMs) {
  std::string text;
  auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  while (output_ >= 0) {
    pollfd readable{output_, POLLIN, 0};
    if (poll(&readable, 1, MillisecondsLeft(deadline)) != 1) break;
    char buffer[4096];
    ssize_t n = read(output_, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

int ToolProcess::waitForEnd(int waitMs) {
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

bool ToolProcess::writeInput(const std::string& text) {
  return input_ >= 0 && write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void ToolProcess::closeInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

int ToolProcess::terminate(int waitMs) {
  if (pid_ <= 0 || kill(pid_, SIGTERM) != 0) return -1;
  return waitForEnd(waitMs);
}

long ToolProcess::residentKilobytes() const { return ResidentKilobytes(pid_); }

std::string ToolProcess::errorText() const {
  std::ifstream in(errorPath());
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> SettingsWith(std::vector<std::string> settings, const std::vector<std::string>& overrides) {
  for (const std::string& setting : overrides) {
    bool replaced = false;
    for (std::string& earlier : settings)
      if (VariableName(earlier) == VariableName(setting)) {
        earlier = setting;
        replaced = true;
      }
    if (!replaced) settings.push_back(setting);
  }
  return settings;
}

ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments,
                const std::vector<std::string>& settings, int waitMs, const std::string& directory) {
  ToolRun run;
  ToolProcess tool(program);
  if (!directory.empty()) tool.runIn(directory);
  if (!tool.start(arguments, settings)) {
    run.errors = tool.failure();
    return run;
  }
  tool.closeInput();
  run.output = tool.readAll(waitMs);
  int status = tool.waitForEnd(waitMs);
  if (status >= 0 && WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
  run.errors = tool.errorText();
  return run;
}
