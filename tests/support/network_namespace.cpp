#include "network_namespace.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "child_namespace.h"

extern char** environ;

namespace {

constexpr char kLiveEnd[] = "zevnet0";
constexpr char kSilentEnd[] = "zevnet1";
constexpr char kIpCommand[] = "/usr/sbin/ip";

// Runs ip with the words; empty on success, else what went wrong.
std::string RunIp(const std::vector<std::string>& words) {
  std::vector<std::string> all = words;
  all.insert(all.begin(), kIpCommand);
  std::vector<char*> argv;
  for (std::string& word : all) argv.push_back(word.data());
  argv.push_back(nullptr);
  char errors[] = "/tmp/zev_ip_errors.XXXXXX";
  int errorFile = mkstemp(errors);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (errorFile >= 0) posix_spawn_file_actions_adddup2(&actions, errorFile, STDERR_FILENO);
  pid_t child = -1;
  int rc = posix_spawn(&child, kIpCommand, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  std::string command;
  for (size_t i = 0; i + 1 < argv.size(); ++i) command += std::string(i > 0 ? " " : "") + argv[i];
  std::string failure;
  if (rc != 0) {
    failure = command + ": " + std::strerror(rc);
  } else {
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::ifstream in(errors);
      std::stringstream text;
      text << in.rdbuf();
      failure = command + " failed: " + text.str();
    }
  }
  if (errorFile >= 0) {
    close(errorFile);
    unlink(errors);
  }
  return failure;
}

// The /24 network part of a dotted address ("10.77.0.").
std::string NetworkPart(const std::string& address) { return address.substr(0, address.rfind('.') + 1); }

// The IPv4 name servers of /etc/resolv.conf other than loopback ones.
std::vector<std::string> NameServers() {
  std::vector<std::string> servers;
  std::ifstream configuration("/etc/resolv.conf");
  std::string word;
  std::string line;
  while (std::getline(configuration, line)) {
    std::istringstream words(line);
    std::string server;
    in_addr parsed{};
    if (words >> word >> server && word == "nameserver" && inet_pton(AF_INET, server.c_str(), &parsed) == 1 &&
        server.rfind("127.", 0) != 0)
      servers.push_back(server);
  }
  return servers;
}

// Lays the namespace out; empty on success, else the reason.
std::string LayOut(const NamespaceNetwork& network) {
  std::string failure = RunIp({"link", "set", "lo", "up"});
  if (!failure.empty() || network.liveHosts.empty()) return failure;
  failure = RunIp({"link", "add", kLiveEnd, "type", "veth", "peer", "name", kSilentEnd});
  for (const std::string& host : network.liveHosts) {
    in_addr parsed{};
    if (failure.empty() && inet_pton(AF_INET, host.c_str(), &parsed) != 1) failure = "not an address: " + host;
    if (failure.empty()) failure = RunIp({"addr", "add", host + "/24", "dev", kLiveEnd});
  }
  if (failure.empty()) failure = RunIp({"link", "set", kLiveEnd, "up"});
  if (failure.empty()) failure = RunIp({"link", "set", kSilentEnd, "up"});
  std::string gateway =
      network.silentGateway.empty() ? NetworkPart(network.liveHosts.front()) + "254" : network.silentGateway;
  if (failure.empty()) failure = RunIp({"route", "add", "default", "via", gateway});
  // The name servers would be asked through the silent gateway and each look-up
  // would wait for its time-out: they are unreachable at once instead.
  for (const std::string& server : NameServers())
    if (failure.empty() && NetworkPart(server) != NetworkPart(network.liveHosts.front()))
      failure = RunIp({"route", "add", "unreachable", server + "/32"});
  return failure;
}

// The identity of the calling process's network namespace; 0 when it cannot be read.
ino_t NamespaceIdentity() {
  struct stat status {};
  return stat("/proc/self/ns/net", &status) == 0 ? status.st_ino : 0;
}

// The namespace the test program started in: the machine's, for the tests.
const ino_t kMachineNamespace = NamespaceIdentity();

}  // namespace

bool InOwnNetworkNamespace(std::string* why) {
  ino_t own = NamespaceIdentity();
  if (own == 0 || kMachineNamespace == 0) {
    if (why != nullptr) *why = std::string("cannot read /proc/self/ns/net: ") + std::strerror(errno);
    return false;
  }
  if (own != kMachineNamespace) return true;
  if (why != nullptr) *why = "this is the machine's network namespace";
  return false;
}

bool RequireOwnNetworkNamespace(const std::string& what) {
  std::string why;
  if (InOwnNetworkNamespace(&why)) return true;
  ADD_FAILURE() << what << " runs only in a network namespace of the test's own (RunInNetworkNamespace): " << why;
  return false;
}

void RunInNetworkNamespace(const NamespaceNetwork& network, const std::function<void()>& body) {
  RunInPreparedChild(
      "no network namespace for the test (it needs root)",
      [&]() -> std::string {
        if (unshare(CLONE_NEWNET) != 0) return std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
        return LayOut(network);
      },
      body);
}

int RunAsAnotherHost(const std::string& address, const std::function<int()>& body) {
  constexpr int kNotPrepared = 125;
  const pid_t parent = getpid();
  int made[2];
  int moved[2];
  if (pipe2(made, O_CLOEXEC) != 0 || pipe2(moved, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return -1;
  }
  const pid_t child = fork();
  if (child == 0) {
    close(made[0]);
    close(moved[1]);
    char go = 0;
    std::string failure;
    if (unshare(CLONE_NEWNET) != 0) failure = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
    // The parent moves the end here once the namespace is made, then says so.
    if (failure.empty() && (write(made[1], &go, 1) != 1 || read(moved[0], &go, 1) != 1))
      failure = std::string("the parent did not hand over ") + kSilentEnd;
    if (failure.empty()) failure = RunIp({"link", "set", "lo", "up"});
    if (failure.empty()) failure = RunIp({"addr", "add", address + "/24", "dev", kSilentEnd});
    if (failure.empty()) failure = RunIp({"link", "set", kSilentEnd, "up"});
    if (!failure.empty()) {
      std::fprintf(stderr, "another host at %s: %s\n", address.c_str(), failure.c_str());
      _exit(kNotPrepared);
    }
    const int result = body();
    RunIp({"link", "set", kSilentEnd, "netns", std::to_string(parent)});
    _exit(result);
  }
  close(made[1]);
  close(moved[0]);
  std::string failure;
  char go = 0;
  if (child < 0) failure = std::string("fork: ") + std::strerror(errno);
  if (failure.empty() && read(made[0], &go, 1) != 1) failure = "the child made no namespace";
  if (failure.empty()) failure = RunIp({"link", "set", kSilentEnd, "netns", std::to_string(child)});
  if (failure.empty() && write(moved[1], &go, 1) != 1) failure = std::string("write: ") + std::strerror(errno);
  close(made[0]);
  close(moved[1]);
  int status = 0;
  if (child > 0) waitpid(child, &status, 0);
  if (failure.empty()) failure = RunIp({"link", "set", kSilentEnd, "up"});
  const int result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (failure.empty() && result == kNotPrepared) failure = "the child could not be prepared (its standard error says why)";
  if (failure.empty() && result < 0) failure = "the child ended abnormally, status " + std::to_string(status);
  if (!failure.empty()) {
    ADD_FAILURE() << "another host at " << address << ": " << failure;
    return -1;
  }
  return result;
}

