#include "zev0/child_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace {

constexpr char kShell[] = "/bin/sh";
// Standard input, output and error are the child's; the descriptors above are not,
// even one that was opened without close-on-exec.
constexpr int kFirstDescriptorNotPassed = 3;

class SpawnSettings {
 public:
  SpawnSettings() {
    posix_spawnattr_init(&attributes_);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes_, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes_, &signals);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_init(&actions_);
    posix_spawn_file_actions_addclosefrom_np(&actions_, kFirstDescriptorNotPassed);
  }
  ~SpawnSettings() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSettings(const SpawnSettings&) = delete;
  SpawnSettings& operator=(const SpawnSettings&) = delete;

  const posix_spawnattr_t* attributes() const { return &attributes_; }
  const posix_spawn_file_actions_t* actions() const { return &actions_; }

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

int WaitFor(pid_t child, int* error) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno == EINTR) continue;
    if (error != nullptr) *error = errno;
    return -1;
  }
  return status;
}

int Run(const char* program, bool searchPath, const char* const argument[], int* error) {
  SpawnSettings settings;
  auto* arguments = const_cast<char* const*>(argument);
  pid_t child;
  int rc = searchPath ? posix_spawnp(&child, program, settings.actions(), settings.attributes(), arguments, environ)
                      : posix_spawn(&child, program, settings.actions(), settings.attributes(), arguments, environ);
  if (rc != 0) {
    if (error != nullptr) *error = rc;
    return -1;
  }
  return WaitFor(child, error);
}

}  // namespace

namespace zev0 {

int RunShellCommand(const char* commandLine, int* error) {
  const char* const argument[] = {"sh", "-c", commandLine, nullptr};
  return Run(kShell, false, argument, error);
}

int RunProgram(const char* const argument[], int* error) { return Run(argument[0], true, argument, error); }

}  // namespace zev0
