#include "process_table.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <filesystem>
#include <sstream>

#include "eventually.h"
#include "proc_text.h"

std::set<pid_t> ChildrenOf(pid_t parent) {
  std::set<pid_t> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string text = ProcText(entry.path() / "stat");
    size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(text.substr(close + 2));
    char state;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent) children.insert(static_cast<pid_t>(std::stoi(name)));
  }
  return children;
}

pid_t ChildRunning(pid_t parent, const std::string& program) {
  for (pid_t child : ChildrenOf(parent))
    if (ProgramOf(child) == program) return child;
  return -1;
}

std::string ProgramOf(pid_t pid) {
  const std::string name = ProcText("/proc/" + std::to_string(pid) + "/comm");
  return name.substr(0, name.find('\n'));
}

bool AdoptOrphans() { return prctl(PR_SET_CHILD_SUBREAPER, 1) == 0; }

bool WaitForChild(pid_t child, int waitMs, int* status) {
  return Eventually([&] { return waitpid(child, status, WNOHANG) == child; }, waitMs);
}

void StopProcess(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}
