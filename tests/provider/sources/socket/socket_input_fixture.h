// A socket, API or ASFS data provider running in the test process as the agent runs
// one, against the agent's DCH server in its host program: its socket and API ports
// free loopback ports, its metafiles in a folder of the test, the DP log messages
// it sends recorded, and a clock that moves only when the test moves it (a second
// of sleep lasts a few milliseconds). Loopback sockets of the test are its partners;
// consumers parked at the host see the rows.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "dch_road_fixture.h"
#include "dp_log_recorder.h"
#include "running_provider.h"
#include "scratch_directory.h"

struct ApplicationEntry;
class DCHclient;
struct DPAB;
struct IOEntry;

// The first value of the next row of the waiter's group and its control field
// ("name/17"); "<none>" when none came within the time.
std::string NextRowText(RowWaiter& rows, int waitMs = kAnswerWaitMs);

// A consumer that takes the rows of a group as they come, on a thread of its own,
// so that a burst of rows does not overflow its socket: each as NextRowText gives it.
class RowDrain {
 public:
  RowDrain(const char* applName, const char* group);
  ~RowDrain();
  RowDrain(const RowDrain&) = delete;
  RowDrain& operator=(const RowDrain&) = delete;

  bool parked() const { return handle_ != nullptr; }
  // The rows once `count` came (fewer when ten seconds passed without a row).
  std::vector<std::string> waitFor(size_t count);

 private:
  DCHclient* handle_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> rows_;
  std::thread thread_;
};

// The partner's socket, read under its lock as the server changes it (0: unbound).
int BoundSocketOf(IOEntry* partner);

class SocketInputTest : public DCHroadTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the metafile "<name>.mdl" of the folder.
  void metafile(const std::string& name, const std::vector<std::string>& lines);
  // Starts the data provider of the type; its anchor once its log is online and its
  // input servers listen, else null.
  DPAB* start(int32_t type);
  // Loads (and registers) the application of a metafile of the folder.
  ApplicationEntry* load(const std::string& name);
  // Stops the data provider as the console's SHUTDOWN does.
  void stop();

  unsigned short socketPort() const { return socketPort_; }
  unsigned short apiPort() const { return apiPort_; }
  DPAB* anchor() const { return anchor_; }
  DPlogRecorder& log() { return log_; }
  HeldClock& clock() { return clock_; }
  // Waits (real time, at most ten seconds) until the condition holds.
  static bool WaitFor(const std::function<bool()>& condition);

 private:
  unsigned short socketPort_ = 0;
  unsigned short apiPort_ = 0;
  ScratchDirectory folder_{"zev_socket_input"};
  DPlogRecorder log_;
  HeldClock clock_;
  std::unique_ptr<RunningDataProvider> provider_;
  DPAB* anchor_ = nullptr;
};
