#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "appl_space_list.h"
#include "store_fixture.h"
#include "trace_capture.h"
#include "zev0/typed_field.h"

namespace {

// The request code and the second field (a handle, or an application name) of a
// message the store built for one of the server's handlers.
struct Request {
  uint16_t code = 0;
  uint32_t handle = 0;
  std::string applName;
};

Request readRequest(char* message) {
  Request request;
  DataFieldReader reader(message, ZEV0_MessageTotalLength(message));
  char* value = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(reader.next(&value, &length), DCH_requestType);
  std::memcpy(&request.code, value, 2);
  int type = reader.next(&value, &length);
  if (type == DCH_handle) std::memcpy(&request.handle, value, 4);
  if (type == DCH_applName) request.applName.assign(value, length);
  EXPECT_EQ(reader.next(&value, &length), 0);
  return request;
}

using Notice = std::tuple<std::string, std::string, std::string, short>;

TEST(ApplSpaceConnectionsTest, CurrentStatusTellsEverySourceThatHasBeenOnline) {
  applSpaceList store;
  registerGroup(store, "APPL", "G1");
  registerGroup(store, "BBB", "G2");
  bringOnline(store, "APPL", "G1", "src1");
  bringOnline(store, "APPL", "G1", "src2");
  store.markOffline(bringOnline(store, "BBB", "G2", "src3"));
  std::vector<Notice> notices;
  EXPECT_EQ(store.sendCurrentStatus([&](const char* appl, const char* group, const char* source, short code) {
    notices.emplace_back(appl, group, source, code);
  }),
            0);
  EXPECT_EQ(notices,
            (std::vector<Notice>{
                {"APPL", "G1", "src1", 0x1015}, {"APPL", "G1", "src2", 0x1015}, {"BBB", "G2", "src3", 0x1025}}));
}

TEST(ApplSpaceConnectionsTest, LostConnectionTakesItsOnlineSourcesOffline) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  registerGroup(store, "APPL", "G1");
  uint32_t first = bringOnline(store, "APPL", "G1", "src1", 5);
  uint32_t other = bringOnline(store, "APPL", "G1", "src2", 6);
  store.markOffline(bringOnline(store, "APPL", "G1", "src3", 5));
  uint32_t second = bringOnline(store, "APPL", "G1", "src4", 5);

  std::vector<uint32_t> offline;
  store.sendOffline(
      [&](char* message) {
        EXPECT_EQ(ZEV0_MessageTotalLength(message), 22u);
        Request request = readRequest(message);
        EXPECT_EQ(request.code, 0x1025);
        offline.push_back(request.handle);
        return store.markOffline(request.handle) == 0 && request.handle != second ? 0 : -1;
      },
      5);
  EXPECT_EQ(offline, (std::vector<uint32_t>{first, second}));
  EXPECT_EQ(store.searchAttrInfoList(other)->status(), 'I');
  EXPECT_TRUE(capture.contains("Error: DP Offline for [APPL][G1][src4] Failed."));
  EXPECT_FALSE(capture.contains("[src1] Failed"));
}

TEST(ApplSpaceConnectionsTest, LostConnectionUnregistersEveryApplicationOfItLastFirst) {
  TraceCapture capture("*=0x90");
  applSpaceList store;
  std::vector<std::string> expected;
  for (int i = 0; i < 130; ++i) {  // more than the server's maximum of applications
    std::string name = "A" + std::to_string(1000 + i);
    registerGroup(store, name.c_str(), "G1", 1, 5);
    expected.insert(expected.begin(), name);
  }
  registerGroup(store, "DVAGENT", "DPLOG", 1, 5);
  registerGroup(store, "OTHER", "G1", 1, 6);
  registerGroup(store, "MOVED", "G1", 1, 6);
  store.markOffline(bringOnline(store, "MOVED", "G1", "src", 5));  // put online through the lost connection
  expected.insert(expected.begin(), "MOVED");

  std::vector<std::string> unregistered;
  store.deregisterDP(
      [&](char* message) {
        Request request = readRequest(message);
        EXPECT_EQ(request.code, 0x1020);
        unregistered.push_back(request.applName);
        return store.freeApplicationSpace(request.applName.c_str());
      },
      5);
  EXPECT_EQ(unregistered, expected);
  EXPECT_NE(store.searchApplSpace("DVAGENT"), nullptr);
  EXPECT_NE(store.searchApplSpace("OTHER"), nullptr);
  EXPECT_EQ(store.noOfElements(), 2);
  EXPECT_TRUE(capture.contains("DP unregister for <A1000> was successful."));
}

TEST(ApplSpaceConnectionsTest, RefusedUnregisterIsTracedAndTheOthersGoOn) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  registerGroup(store, "APPL", "G1");
  registerGroup(store, "BBB", "G1");
  bringOnline(store, "APPL", "G1", "src");  // still online: the unregister handler answers 3
  int calls = 0;
  store.deregisterDP(
      [&](char* message) {
        ++calls;
        return store.freeApplicationSpace(readRequest(message).applName.c_str());
      },
      5);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(capture.contains("Warning: DP unregister for <APPL> Failed."));
  EXPECT_EQ(store.searchApplSpace("BBB"), nullptr);
}

}  // namespace
