// URL activity subtasks in process, driven as the HTTP client task drives them,
// against HTTP servers of the test on loopback.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bsv1.h"
#include "scratch_directory.h"
#include "url_activity.h"
#include "url_management_fixture.h"

// The real clock, with sleeps that last a few milliseconds: a subtask's start is
// waited for in whole-second sleeps.
class QuickSleeps : public bsv1::Clock {
 public:
  QuickSleeps();
  ~QuickSleeps() override;
  BSV1_Time now() override;
  void sleep(unsigned seconds) override;

 private:
  bsv1::Clock* previous_;
};

// What a page request left in its entry.
struct PageCheck {
  int dispatched = -1;
  int32_t status = -1;
  int32_t httpCode = 0;
  std::string text;  // the kept description
  int32_t pageLength = 0;
  std::string page;  // the page buffer up to its first NUL
  bool bufferReplaced = false;
  int32_t bufferSize = 0;
  std::string serverType;
  int32_t http11 = -1;
  int32_t noHTTP10retry = -1;
};

class ActivitySubtasks {
 public:
  // The subtasks of a block made from the settings (a reply wait of 2 seconds and a
  // free-subtask wait of 1 unless they say otherwise).
  explicit ActivitySubtasks(int subtasks, const Settings& settings = {});
  ~ActivitySubtasks();

  URLmanagement& urls() { return *urls_; }
  // The entry of the URL, added when it is not monitored yet.
  URLrequestEntry* entry(const std::string& url);
  // A page request of the URL as the client task makes it, with a page buffer of
  // 64000 bytes lent for it and taken back afterwards.
  PageCheck checkPage(const std::string& url);
  // The subtasks of the pool, in order.
  std::vector<URLactivityTaskBlock*> pool();
  // True once every subtask is free again (within the time).
  bool allFree(int waitMs = 5000);

 private:
  QuickSleeps clock_;
  std::unique_ptr<ScopedSettings> settings_;
  std::unique_ptr<URLmanagement> urls_;
};

// The HTTP manager thread on an anchor whose URL management block is made, as the
// data provider's start runs it; told to end, as shut-down does, and awaited (the
// anchor's threads all gone) by stop() or at the latest when the object goes.
class RunningHTTPmanager {
 public:
  explicit RunningHTTPmanager(DPAB* anchor);
  ~RunningHTTPmanager() { stop(); }
  RunningHTTPmanager(const RunningHTTPmanager&) = delete;
  RunningHTTPmanager& operator=(const RunningHTTPmanager&) = delete;
  bool running() const { return entry_ != nullptr; }
  void stop();
  // Wakes it as an action worker does after adding a URL.
  void wake();

 private:
  DPAB* anchor_;
  ProcessEntry* entry_ = nullptr;
};

// A TZOMESG of the test first on PATH, for the whole program (the console
// message's switch is settled once per process): it appends its arguments as a
// line to a file. A test program registers it as a global test environment.
class ConsoleCommandOnPath : public ::testing::Environment {
 public:
  void SetUp() override;
  // The messages sent since the last take.
  static std::string take();

 private:
  static ScratchDirectory directory_;
};
