#include "socket_input_fixture.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <thread>

#include "dch/dch_api.h"
#include "dp_anchor.h"
#include "free_port.h"
#include "io_entry.h"
#include "loopback_engine.h"
#include "metafile_parser.h"
#include "zev/dp_types.h"



namespace {

std::string RowText(const std::string& message) {
  Row row;
  if (!ReadRow(message, &row) || row.values.empty()) return "<not a row>";
  return row.values[0].c_str() + std::string("/") + std::to_string(row.controlField);
}

}  // namespace

RowDrain::RowDrain(const char* applName, const char* group)
    : handle_(dc_waitOnDataInitialize(applName, group)) {
  if (handle_ == nullptr) return;
  thread_ = std::thread([this] {
    char buffer[8192];
    while (dc_waitOnData(handle_, buffer, sizeof buffer) == 0) {
      uint32_t length = (static_cast<uint8_t>(buffer[0]) << 24) | (static_cast<uint8_t>(buffer[1]) << 16) |
                        (static_cast<uint8_t>(buffer[2]) << 8) | static_cast<uint8_t>(buffer[3]);
      std::string text = RowText(std::string(buffer, std::min<size_t>(length, sizeof buffer)));
      std::lock_guard<std::mutex> lock(mutex_);
      rows_.push_back(text);
      changed_.notify_all();
    }
  });
}

RowDrain::~RowDrain() {
  if (handle_ == nullptr) return;
  dc_waitOnDataCancel(handle_);
  thread_.join();
  dc_waitOnDataDestroy(handle_);
}

std::vector<std::string> RowDrain::waitFor(size_t count) {
  // Gives up only when the rows stop coming: a long burst is slow under a sanitizer
  // on a busy machine, which is no fault of the road.
  std::unique_lock<std::mutex> lock(mutex_);
  for (size_t seen = rows_.size(); rows_.size() < count; seen = rows_.size()) {
    auto grew = [&] { return rows_.size() >= count || rows_.size() > seen; };
    if (!changed_.wait_for(lock, std::chrono::seconds(10), grew)) break;
  }
  return rows_;
}

std::string NextRowText(RowWaiter& rows, int waitMs) {
  std::string message = rows.next(waitMs);
  return message.empty() ? "<none>" : RowText(message);
}

int BoundSocketOf(IOEntry* partner) {
  BSV1_GetLock(&partner->Lock);
  int socket = partner->Socket;
  BSV1_ReleaseLock(&partner->Lock);
  return socket;
}

void SocketInputTest::SetUp() {
  DCHroadTest::SetUp();
  if (HasFatalFailure()) return;
  UseLoopbackDCHhost();
  socketPort_ = FreeLoopbackPort();
  apiPort_ = FreeLoopbackPort();
  setenv("ZEVP_DP_PORT", std::to_string(socketPort_).c_str(), 1);
  setenv("ZEVP_API_DPAPI_PORT", std::to_string(apiPort_).c_str(), 1);
}

void SocketInputTest::TearDown() {
  stop();
  unsetenv("ZEVP_DP_PORT");
  unsetenv("ZEVP_API_DPAPI_PORT");
  DCHroadTest::TearDown();
}

void SocketInputTest::metafile(const std::string& name, const std::vector<std::string>& lines) {
  std::ofstream file(folder_.file(name + ".mdl"));
  for (const std::string& line : lines) file << line << "\n";
}

bool SocketInputTest::WaitFor(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

DPAB* SocketInputTest::start(int32_t type) {
  provider_ = std::make_unique<RunningDataProvider>(type, folder_.path());
  if (!provider_->waitForLogOnline()) return nullptr;
  anchor_ = provider_->anchor();
  // A server listens once it logged its port: one for SOCK and APIS, two for ASFS.
  int servers = type == ZEV_DP_ASFS ? 2 : 1;
  if (!WaitFor([this, servers] { return log_.count(20) >= servers; })) return nullptr;
  return anchor_;
}

ApplicationEntry* SocketInputTest::load(const std::string& name) {
  int definitionError = 0;
  int alreadyLoaded = 0;
  return ZEVP_ConstructApplDataModel(anchor_, name.c_str(), 0, &definitionError, &alreadyLoaded, 0, 1);
}

void SocketInputTest::stop() {
  provider_.reset();
  anchor_ = nullptr;
}
