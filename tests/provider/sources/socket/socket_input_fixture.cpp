#include "socket_input_fixture.h"

#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "dp_anchor.h"
#include "free_port.h"
#include "loopback_engine.h"
#include "metafile_parser.h"
#include "zev/dp_types.h"

std::string NextRowText(RowWaiter& rows, int waitMs) {
  Row row;
  if (!ReadRow(rows.next(waitMs), &row) || row.values.empty()) return "<none>";
  return row.values[0].c_str() + std::string("/") + std::to_string(row.controlField);
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
