#include "console_run.h"

#include <sys/wait.h>

#include <sstream>

namespace {

// A console program listens out its whole discovery budget (15 seconds).
constexpr int kConsoleRunWaitMs = 40000;

}  // namespace

ConsoleRun::ConsoleRun(const AgentProcess& agent, const std::string& type, const std::vector<std::string>& arguments,
                       const std::string& directory)
    : type_(type), program_("zevpcon") {
  program_.runIn(directory);
  std::vector<std::string> settings = agent.dataProviderSettings();
  settings.push_back("ZEV_DP_HOSTNAME=localhost");
  started_ = program_.start(arguments, settings);
}

bool ConsoleRun::choose(const std::string& furtherInput) {
  if (!started_) return false;
  for (std::string line = program_.readLine(kConsoleRunWaitMs); !line.empty() && line != "Select an active DP:";
       line = program_.readLine(kConsoleRunWaitMs)) {
    head_.push_back(line);
    if (line.find(" " + type_ + " - localhost") != std::string::npos) number_ = std::stoi(line);
  }
  if (number_ == 0) return false;
  program_.writeInput(std::to_string(number_) + "\n" + furtherInput);
  program_.closeInput();
  return true;
}

std::vector<std::string> ConsoleRun::finish() {
  std::vector<std::string> lines;
  std::istringstream in(program_.readAll(kConsoleRunWaitMs));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const int status = program_.waitForEnd(kConsoleRunWaitMs);
  exitCode_ = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return lines;
}
