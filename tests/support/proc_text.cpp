#include "proc_text.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

std::string ProcText(const std::string& path) {
  int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return "";
  std::string text;
  char block[4096];
  ssize_t count;
  while ((count = read(descriptor, block, sizeof block)) > 0) text.append(block, static_cast<size_t>(count));
  close(descriptor);
  return count < 0 ? "" : text;
}

namespace {

// The value of a line of /proc/PID/status ("VmRSS", "SigBlk"); empty when it is missing.
std::string StatusValue(pid_t pid, const std::string& name) {
  const std::string status = ProcText("/proc/" + std::to_string(pid) + "/status");
  size_t line = status.find("\n" + name + ":");
  if (line == std::string::npos) return "";
  size_t value = line + name.size() + 2;
  return status.substr(value, status.find('\n', value) - value);
}

}  // namespace

long ResidentKilobytes(pid_t pid) {
  const std::string value = StatusValue(pid, "VmRSS");
  return value.empty() ? -1 : std::atol(value.c_str());
}

namespace {

constexpr int kFirstAfterStandard = 3;
// The flags line of /proc/PID/fdinfo/N is octal.
constexpr unsigned long kCloseOnExec = 02000000;

std::vector<int> DescriptorNumbers(pid_t pid) {
  std::vector<int> numbers;
  DIR* folder = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
  if (folder == nullptr) return numbers;
  while (const dirent* entry = readdir(folder))
    if (entry->d_name[0] >= '0' && entry->d_name[0] <= '9') numbers.push_back(std::atoi(entry->d_name));
  closedir(folder);
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

std::string Described(pid_t pid, int number) {
  char target[256] = "?";
  std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(number);
  ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
  if (length >= 0) target[length] = '\0';
  return std::to_string(number) + " -> " + target;
}

bool ClosedOnExec(pid_t pid, int number) {
  const std::string text = ProcText("/proc/" + std::to_string(pid) + "/fdinfo/" + std::to_string(number));
  size_t flags = text.find("flags:");
  // A descriptor closed meanwhile is passed on to no one.
  if (flags == std::string::npos) return true;
  return (std::strtoul(text.c_str() + flags + 6, nullptr, 8) & kCloseOnExec) != 0;
}

}  // namespace

std::vector<std::string> DescriptorsPassedOnExec(pid_t pid) {
  std::vector<std::string> passed;
  for (int number : DescriptorNumbers(pid))
    if (number >= kFirstAfterStandard && !ClosedOnExec(pid, number)) passed.push_back(Described(pid, number));
  return passed;
}

std::vector<std::string> OpenDescriptors(pid_t pid) {
  std::vector<std::string> open;
  for (int number : DescriptorNumbers(pid)) open.push_back(Described(pid, number));
  return open;
}

int ThreadCount(pid_t pid) {
  DIR* tasks = opendir(("/proc/" + std::to_string(pid) + "/task").c_str());
  if (tasks == nullptr) return 0;
  int count = 0;
  while (dirent* entry = readdir(tasks))
    if (entry->d_name[0] != '.') ++count;
  closedir(tasks);
  return count;
}

bool SignalBlocked(pid_t pid, int signal) {
  unsigned long long mask = std::strtoull(StatusValue(pid, "SigBlk").c_str(), nullptr, 16);
  return (mask >> (signal - 1)) & 1ULL;
}
