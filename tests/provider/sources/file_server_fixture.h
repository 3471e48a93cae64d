// A FILE source of a parsed application watched by its file server thread, in the
// test's process: the DCH is answered here as the agent would answer (each request
// recorded), the clock's sleeps wait for the test, so that a test acts between two
// passes, and the data-provider log is taken from the anchor's queue.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "gated_clock.h"
#include "parsed_application.h"
#include "routine_overrides.h"
#include "scratch_directory.h"
#include "source_states.h"

struct SourceEntry;

class FileServerFixture {
 public:
  // The metafile's lines, with "%DIR%" standing for the scratch directory (ending in '/').
  explicit FileServerFixture(const std::vector<std::string>& metafile);
  // Tells the file servers to end, lets them and waits for them.
  ~FileServerFixture();
  FileServerFixture(const FileServerFixture&) = delete;
  FileServerFixture& operator=(const FileServerFixture&) = delete;

  const ScratchDirectory& files() const { return files_; }
  DPAB* anchor() const { return application_.anchor(); }
  SourceEntry* source(int group = 0) const { return application_.source(group); }

  // Puts every source Ready, as its registration does (or in the state given), and
  // starts the file servers.
  void start(int32_t state = ZEVP_Ready);
  // Waits until every file server has done its pass and sleeps; then lets them go on
  // to their next pass and waits for its end. False when a pass did not end in time.
  bool firstPass(int servers = 1);
  bool nextPass(int servers = 1);
  // Lets the sleeping file servers go on without waiting for their next pass.
  void release(int servers = 1);
  // Lets `count` sleeps of the file servers pass (for waits longer than a second).
  bool passSleeps(int count);
  // Wakes file servers that wait for their file, as the periodic task does.
  void signalFileServers();

  // The DCH requests since the last take: "online", "offline", "row <control> <values>".
  std::vector<std::string> takeRequests();
  // The row requests only, in order: "<control> <values>".
  std::vector<std::string> takeRows();
  std::vector<std::string> takeLog() const;
  std::vector<std::string> takeLog(int number) const;

  // The next data requests fail as a time-out does.
  void failRows(int count);
  // Runs once, on the file server's thread, when the next row is sent.
  void onNextRow(std::function<void()> action);

 private:
  static void Answer(DPAB* anchor, ProcessEntry* caller, SourceEntry* source);

  ScratchDirectory files_;
  ParsedApplication application_;
  RoutineOverrides overrides_;
  GatedClock clock_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
  int failingRows_ = 0;
  std::function<void()> onNextRow_;
};
