// The road of a row for the tests: the DCH server in its host program on loopback,
// data providers as raw peers, and consumers through the library's consumer verbs
// in this process, pointed at the host before the first transport reads the settings.
//
// The library's standing waits block without limit; here each wait runs on a thread
// of its own and is given a bounded time.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dch_host_process.h"
#include "raw_dch_peer.h"

class DCHclient;

// How long an answer that must come is given, and one that must not.
constexpr int kAnswerWaitMs = 2000;
constexpr int kSilenceMs = 300;

// The register text of two attributes that most tests use.
constexpr char kNameAndCount[] = "NAME,D,8, ,the name;CNT,C,4, ,a count;";

// A row message as a consumer receives it.
struct Row {
  std::string sourceName;
  uint16_t controlField = 0;
  std::vector<std::string> values;  // raw, as the server holds them
};
// False when the message is not laid out as a row.
bool ReadRow(const std::string& message, Row* row);
// A counter value of a row (host order, as the server holds it).
int32_t CounterValue(const std::string& value);

// The text that one of the library's get verbs (dc_getApplications, ...) brings
// back; "<none>" when it answered without one, "<no answer>" when it did not answer
// within kAnswerWaitMs.
std::string ConsumerText(int (*verb)(int*, char**, const char*, short), const char* applName);

// A wait for the rows of one application and group.
class RowWaiter {
 public:
  RowWaiter(const char* applName, const char* attrGroup);
  // Removes the wait at the server.
  ~RowWaiter();
  RowWaiter(const RowWaiter&) = delete;
  RowWaiter& operator=(const RowWaiter&) = delete;

  bool parked() const { return handle_ != nullptr; }
  // The next row message, or empty when none came within the time (the wait is then
  // cancelled).
  std::string next(int waitMs);

 private:
  DCHclient* handle_;
};

// A wait for source status notices ("appl,group,source,code").
class StatusWaiter {
 public:
  StatusWaiter();
  ~StatusWaiter();
  StatusWaiter(const StatusWaiter&) = delete;
  StatusWaiter& operator=(const StatusWaiter&) = delete;

  bool parked() const { return handle_ != nullptr; }
  // The next notice, or empty when none came within the time. The wait cannot be
  // cancelled: after a time-out its thread keeps the handle and destroys it once its
  // wait ends (at the latest when the host ends), and the waiter is spent.
  std::string next(int waitMs);
  // The next `count` notices, sorted.
  std::vector<std::string> nextSorted(int count, int waitMs);

 private:
  DCHclient* handle_;
  bool spent_ = false;
};

class DCHroadTest : public ::testing::Test {
 protected:
  // The host's port is known from the start; the host starts in SetUp.
  DCHroadTest();
  void SetUp() override;
  void TearDown() override;
  // Settings of the host beyond the usual ones ("NAME=value").
  virtual std::vector<std::string> hostSettings() const { return {}; }

  unsigned short port() const { return host_->port(); }
  DCHhostProcess& host() { return *host_; }

  // Returns once the server has handled every request sent to it by datagram so far
  // (a request of its own is answered after them).
  void syncWithServer();

  // ConsumerText.
  static std::string Text(int (*verb)(int*, char**, const char*, short), const char* applName);

  // Registers one application through the peer and expects status 0.
  void registerApplication(rawdch::Peer& peer, const std::string& applName, const std::vector<rawdch::Group>& groups);
  // Puts a source online through the peer and expects status 0; the handle.
  uint32_t online(rawdch::Peer& peer, const std::string& applName, const std::string& attrGroup,
                  const std::string& sourceName);
  // A row of NAME and CNT for the handle; the status of its reply.
  int32_t sendNameAndCount(rawdch::Peer& peer, uint32_t handle, const std::string& name, uint32_t count);

 private:
  std::unique_ptr<DCHhostProcess> host_;
};
