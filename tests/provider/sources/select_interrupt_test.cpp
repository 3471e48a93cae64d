// The select interrupt: a datagram of the text to each port a data-provider type
// listens on, at the local host; other types are refused.
#include <gtest/gtest.h>

#include <cstdlib>

#include "port_variable_listener.h"
#include "select_interrupt.h"
#include "trace_capture.h"
#include "zev0/hostnames.h"

namespace {

class SelectInterruptTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("ZEV_DP_HOSTNAME", "localhost", 1);
    ZEV0_LocalHostNameString();
  }
};

TEST_F(SelectInterruptTest, EachTypeWakesThePortsItListensOn) {
  PortVariableListener socketDP("ZEVP_DP_PORT"), api("ZEVP_API_DPAPI_PORT"), meta("ZEVP_META_SERVER_PORT"),
      post("ZEVP_POST_DP_PORT");
  EXPECT_EQ(ZEVP_SocketDPport(), socketDP.port());
  struct Case {
    int32_t type;
    bool socketPort, apiPort, metaPort, postPort;
  };
  const Case cases[] = {{2, true, false, false, false},
                        {0, false, true, false, false},
                        {3, true, true, false, false},
                        {4, false, false, false, true},
                        {ZEVP_METAFILE_SERVER_TYPE, false, false, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    ZEVP_SendSelectInterrupt(c.type, SelectShutDownMsg);
    EXPECT_EQ(socketDP.next(c.socketPort ? 2000 : 50), c.socketPort ? SelectShutDownMsg : "");
    EXPECT_EQ(api.next(c.apiPort ? 2000 : 50), c.apiPort ? SelectShutDownMsg : "");
    EXPECT_EQ(meta.next(c.metaPort ? 2000 : 50), c.metaPort ? SelectShutDownMsg : "");
    EXPECT_EQ(post.next(c.postPort ? 2000 : 50), c.postPort ? SelectShutDownMsg : "");
  }
}

TEST_F(SelectInterruptTest, AnotherTypeIsRefused) {
  PortVariableListener socketDP("ZEVP_DP_PORT");
  TraceCapture trace("*=0x80");
  for (int32_t type : {1, 5, 8, -1, 98}) ZEVP_SendSelectInterrupt(type, SelectDeleteMsg);
  EXPECT_EQ(trace.count("*****Error - invalid input DP Type"), 5);
  EXPECT_EQ(socketDP.next(50), "");
}

TEST_F(SelectInterruptTest, WithoutItsVariableAPortIsTheBasePlusTheOffset) {
  unsetenv("ZEVP_DP_PORT");
  unsetenv("ZEVP_POST_DP_PORT");
  EXPECT_EQ(ZEVP_SocketDPport(), 7500);  // no product specification here: offset 0
  EXPECT_EQ(ZEVP_PostDPport(), 7575);
}

}  // namespace
