// Settings and surroundings of the client library's tests.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "records.h"
#include "zevpapi/dp_api.h"

// The library's anchor, when a test builds it, finds the data provider on loopback and
// waits long enough for a reply that comes, even on a loaded machine.
inline void UseLoopbackSettings() {
  setenv("ZEVP_API_DPAPI_HOST", "127.0.0.1", 1);
  setenv("ZEVP_API_REQUEST_WAIT", "10", 1);
}

// For a test that waits a time-out out, in a child: a reply that never comes is given up
// after a second. An anchor that an earlier test of the process built came along with
// the fork and keeps the waits it was built with, so it is given the short ones too.
inline void UseShortWaits() {
  setenv("ZEVP_API_REQUEST_WAIT", "1", 1);
  setenv("ZEVP_CONSOLE_COMMAND_WAIT", "1", 1);
  if (DPAA != nullptr) {
    DPAA->requestWait = 1;
    DPAA->commandWait = 1;
  }
}

// The process works in the directory while the object lives (the command environment
// file is ./ZEVPINIT).
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& path) {
    char* previous = getcwd(nullptr, 0);
    previous_ = previous != nullptr ? previous : "/";
    std::free(previous);
    entered_ = chdir(path.c_str()) == 0;
  }
  ~WorkingDirectory() { (void)!chdir(previous_.c_str()); }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;
  bool entered() const { return entered_; }

 private:
  std::string previous_;
  bool entered_;
};

// The validation bypass switched on for the object's life.
class ValidationBypassed {
 public:
  ValidationBypassed() : saved_(BypassInputValidation) { BypassInputValidation = 1; }
  ~ValidationBypassed() { BypassInputValidation = saved_; }
  ValidationBypassed(const ValidationBypassed&) = delete;
  ValidationBypassed& operator=(const ValidationBypassed&) = delete;

 private:
  int saved_;
};
