#include "dch_road_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <future>
#include <iostream>
#include <mutex>
#include <thread>

#include "dch/dch_api.h"
#include "dch_test_settings.h"

namespace {

constexpr int kRowBufferSize = 8192;
// Only a bound on a hang: the host ends as soon as it can, which on a busy machine may
// be seconds after SIGTERM.
constexpr int kHostEndWaitMs = 30000;
constexpr unsigned kWatchdogSeconds = 30;

// The library reads its DCH settings once, with its first transport: one port for
// every host this process starts.
unsigned short LibraryPort() {
  static const unsigned short port = [] {
    unsigned short free = LoopbackDCHPort();
    DCH_api_init();
    return free;
  }();
  return port;
}

// The message with which a cancelled wait ends.
bool IsInterrupt(const std::string& message) {
  std::vector<rawdch::Field> fields;
  return rawdch::SplitFields(message, &fields) && fields.size() == 1 && fields[0].type == rawdch::kSourceName &&
         rawdch::FromNetworkCode(fields[0].value) == "-TERMINATE-";
}

}  // namespace

bool ReadRow(const std::string& message, Row* row) {
  std::vector<rawdch::Field> fields;
  if (!rawdch::SplitFields(message, &fields) || fields.size() < 2) return false;
  if (fields[0].type != rawdch::kSourceName || fields[1].type != rawdch::kControlField) return false;
  row->sourceName = rawdch::FromNetworkCode(fields[0].value);
  row->controlField = rawdch::Big16(fields[1].value, 0);
  row->values.clear();
  for (size_t i = 2; i < fields.size(); ++i) {
    if (fields[i].type != rawdch::kAttrRawValue) return false;
    row->values.push_back(fields[i].value);
  }
  return true;
}

int32_t CounterValue(const std::string& value) {
  int32_t number = 0;
  if (value.size() == sizeof number) std::memcpy(&number, value.data(), sizeof number);
  return number;
}

// --- Waiters ------------------------------------------------------------------------

RowWaiter::RowWaiter(const char* applName, const char* attrGroup)
    : handle_(dc_waitOnDataInitialize(applName, attrGroup)) {}

RowWaiter::~RowWaiter() {
  if (handle_ != nullptr) dc_waitOnDataDestroy(handle_);
}

std::string RowWaiter::next(int waitMs) {
  if (handle_ == nullptr) return {};
  std::promise<std::string> row;
  std::future<std::string> taken = row.get_future();
  std::thread waiting([this, &row] {
    char buffer[kRowBufferSize] = {};
    int result = dc_waitOnData(handle_, buffer, sizeof buffer);
    std::string message(buffer, std::min<size_t>(rawdch::Big32(std::string(buffer, 4), 0), sizeof buffer));
    // After a cancel the verb answers -1 for every later row too: the buffer tells.
    row.set_value(result != 1 && !IsInterrupt(message) ? message : std::string());
  });
  if (taken.wait_for(std::chrono::milliseconds(waitMs)) != std::future_status::ready) dc_waitOnDataCancel(handle_);
  waiting.join();
  return taken.get();
}

StatusWaiter::StatusWaiter() : handle_(dc_waitForDPStatusInitialize()) {}

StatusWaiter::~StatusWaiter() {
  if (handle_ != nullptr && !spent_) dc_waitForDPStatusDestroy(handle_);
}

namespace {

// One wait for a notice, shared by the waiter and the thread that waits.
struct NoticeWait {
  std::mutex lock;
  bool abandoned = false;  // the waiter gave up: the thread owns the handle
  std::promise<std::string> notice;
};

}  // namespace

std::string StatusWaiter::next(int waitMs) {
  if (handle_ == nullptr || spent_) return {};
  auto wait = std::make_shared<NoticeWait>();
  std::future<std::string> heard = wait->notice.get_future();
  DCHclient* handle = handle_;
  std::thread([handle, wait] {
    const char* text = dc_waitForDPStatus(handle);
    std::lock_guard<std::mutex> guard(wait->lock);
    if (wait->abandoned)
      dc_waitForDPStatusDestroy(handle);
    else
      wait->notice.set_value(text != nullptr ? text : "");
  }).detach();
  if (heard.wait_for(std::chrono::milliseconds(waitMs)) == std::future_status::ready) return heard.get();
  std::lock_guard<std::mutex> guard(wait->lock);
  if (heard.wait_for(std::chrono::seconds(0)) == std::future_status::ready) return heard.get();
  wait->abandoned = true;
  spent_ = true;
  return {};
}

std::vector<std::string> StatusWaiter::nextSorted(int count, int waitMs) {
  std::vector<std::string> notices;
  for (int i = 0; i < count; ++i) notices.push_back(next(waitMs));
  std::sort(notices.begin(), notices.end());
  return notices;
}

// --- Fixture ------------------------------------------------------------------------

DCHroadTest::DCHroadTest() : host_(std::make_unique<DCHhostProcess>(LibraryPort())) {}

// A wait that hangs ends the test program (SIGALRM) rather than the run.
void DCHroadTest::SetUp() {
  alarm(kWatchdogSeconds);
  ASSERT_TRUE(host_->startReady(hostSettings())) << host_->failure();
}

void DCHroadTest::TearDown() {
  alarm(0);
  int status = host_->terminate(kHostEndWaitMs);
  EXPECT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
  EXPECT_EQ(host_->errorText().find("Sanitizer"), std::string::npos) << host_->errorText();
  if (HasFailure()) std::cerr << "The host's trace:\n" << host_->traceText();
}

void DCHroadTest::syncWithServer() {
  rawdch::UdpPeer peer(port());
  // An offline for a handle no store holds: answered -1, after what came before.
  EXPECT_TRUE(peer.exchange(rawdch::OfflineRequest(1), kAnswerWaitMs).valid);
}

// The verb waits again after each time-out while no answer comes, so it runs on a
// thread of its own, left to itself when the answer does not come in time.
std::string ConsumerText(int (*verb)(int*, char**, const char*, short), const char* applName) {
  auto answer = std::make_shared<std::promise<std::string>>();
  std::future<std::string> answered = answer->get_future();
  std::string name = applName != nullptr ? applName : "";
  bool named = applName != nullptr;
  std::thread([verb, answer, name, named] {
    int length = 0;
    char* text = nullptr;
    int result = verb(&length, &text, named ? name.c_str() : nullptr, kAnswerWaitMs / 1000);
    answer->set_value(result == 0 && text != nullptr ? std::string(text, static_cast<size_t>(length)) : "<none>");
    free(text);
  }).detach();
  if (answered.wait_for(std::chrono::milliseconds(kAnswerWaitMs)) != std::future_status::ready) return "<no answer>";
  return answered.get();
}

std::string DCHroadTest::Text(int (*verb)(int*, char**, const char*, short), const char* applName) {
  return ConsumerText(verb, applName);
}

void DCHroadTest::registerApplication(rawdch::Peer& peer, const std::string& applName,
                                      const std::vector<rawdch::Group>& groups) {
  rawdch::StatusReply reply = peer.exchange(rawdch::RegisterRequest(applName, "appl help", groups), kAnswerWaitMs);
  ASSERT_TRUE(reply.valid);
  ASSERT_EQ(reply.status, 0) << "register " << applName;
}

uint32_t DCHroadTest::online(rawdch::Peer& peer, const std::string& applName, const std::string& attrGroup,
                             const std::string& sourceName) {
  rawdch::StatusReply reply = peer.exchange(rawdch::OnlineRequest(applName, attrGroup, sourceName), kAnswerWaitMs);
  EXPECT_TRUE(reply.valid && reply.hasHandle);
  EXPECT_EQ(reply.status, 0) << "online " << applName << "/" << attrGroup << "/" << sourceName;
  return reply.handle;
}

int32_t DCHroadTest::sendNameAndCount(rawdch::Peer& peer, uint32_t handle, const std::string& name, uint32_t count) {
  rawdch::Message request = rawdch::DataRequest(handle, 0x11);
  request.text(rawdch::kAttrName, "NAME").text(rawdch::kAttrValue, name);
  request.text(rawdch::kAttrName, "CNT").u32(rawdch::kAttrValue, count);
  rawdch::StatusReply reply = peer.exchange(request.bytes(), kAnswerWaitMs);
  EXPECT_TRUE(reply.valid);
  return reply.valid ? reply.status : INT32_MIN;
}
