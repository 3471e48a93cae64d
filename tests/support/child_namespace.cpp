#include "child_namespace.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <link.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// What the child tells the parent when it could not be prepared.
constexpr int kNotPrepared = 3;

std::string Failed(const std::string& call) { return call + ": " + std::strerror(errno); }

}  // namespace

void RunInPreparedChild(const std::string& what, const std::function<std::string()>& prepare,
                        const std::function<void()>& body) {
  int reasons[2];
  ASSERT_EQ(pipe2(reasons, O_CLOEXEC), 0) << "no pipe: " << std::strerror(errno);
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t child = fork();
  ASSERT_GE(child, 0) << "fork failed: " << std::strerror(errno);
  if (child == 0) {
    close(reasons[0]);
    std::string failure = prepare();
    if (!failure.empty()) {
      ssize_t written = write(reasons[1], failure.data(), failure.size());
      (void)written;
      _exit(kNotPrepared);
    }
    close(reasons[1]);
    body();
    std::fflush(stdout);
    std::exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  close(reasons[1]);
  std::string reason;
  char buffer[512];
  for (ssize_t n; (n = read(reasons[0], buffer, sizeof buffer)) > 0;) reason.append(buffer, static_cast<size_t>(n));
  close(reasons[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == kNotPrepared) << what << ": " << reason;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the checks in the child failed (see above)";
}

void RunWithFileHidden(const std::string& path, const std::function<void()>& body) {
  RunInPreparedChild(
      "no mount namespace for the test (it needs root)",
      [&]() -> std::string {
        if (unshare(CLONE_NEWNS) != 0) return Failed("unshare(CLONE_NEWNS)");
        // Nothing mounted here reaches the machine's namespace.
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return Failed("mount private /");
        if (mount("/dev/null", path.c_str(), nullptr, MS_BIND, nullptr) != 0)
          return Failed("mount /dev/null over " + path);
        return {};
      },
      body);
}

std::string LibraryFile(const std::string& name) {
  int found[2];
  if (pipe2(found, O_CLOEXEC) != 0) return {};
  pid_t child = fork();
  if (child == 0) {
    close(found[0]);
    void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    link_map* map = nullptr;
    char path[PATH_MAX] = {};
    if (library != nullptr && dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && realpath(map->l_name, path) != nullptr) {
      ssize_t written = write(found[1], path, std::strlen(path));
      (void)written;
    }
    _exit(0);
  }
  close(found[1]);
  std::string path;
  char buffer[PATH_MAX];
  for (ssize_t n; child > 0 && (n = read(found[0], buffer, sizeof buffer)) > 0;)
    path.append(buffer, static_cast<size_t>(n));
  close(found[0]);
  if (child > 0) waitpid(child, nullptr, 0);
  return path;
}
