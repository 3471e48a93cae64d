// The fault frame and the texts of the statuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "rpc_frame.h"
#include "trace_capture.h"

namespace {

TEST(RpcFaultFrame, KeepsTheFirstFaultRaisedWhileOpen) {
  rpc::FaultFrame frame;
  EXPECT_EQ(frame.code(), rpc__s_ok);
  exc__raise(rpc__s_string_bound);
  exc__raise(rpc__s_comm_failure);
  EXPECT_EQ(frame.close(), rpc__s_string_bound);
}

TEST(RpcFaultFrame, InnermostOpenFrameTakesTheFault) {
  rpc::FaultFrame outer;
  {
    rpc::FaultFrame inner;
    exc__raise(rpc__s_array_bound);
    EXPECT_EQ(inner.code(), rpc__s_array_bound);
  }
  EXPECT_EQ(outer.code(), rpc__s_ok);
  // Raised again once the inner frame has closed, it reaches the outer one.
  exc__raise(rpc__s_array_bound);
  EXPECT_EQ(outer.close(), rpc__s_array_bound);
}

TEST(RpcFaultFrame, OuterFrameClosesTheFramesLeftOpenInside) {
  exc__frame_t outer, inner;
  exc__push_frame(&outer);
  exc__push_frame(&inner);
  EXPECT_EQ(exc__pop_frame(&outer), rpc__s_ok);
  EXPECT_FALSE(inner.open);
  TraceCapture trace;
  exc__raise(rpc__s_comm_failure);
  EXPECT_EQ(inner.code, rpc__s_ok);
  EXPECT_TRUE(trace.contains("RPC fault 1c010001 raised outside a fault frame"));
}

TEST(RpcStatusText, KnownUnknownAndCut) {
  char text[error__c_text_size];
  error__c_text(rpc__s_string_bound, text, sizeof text);
  EXPECT_STREQ(text, "string longer than its bound");
  error__c_text(0x12345678, text, sizeof text);
  EXPECT_STREQ(text, "status 12345678");
  error__c_text(rpc__s_comm_failure, text, 15);
  EXPECT_EQ(std::strlen(text), 14u);
  text[0] = 'x';
  error__c_text(rpc__s_ok, text, 0);
  EXPECT_EQ(text[0], 'x');
}

}  // namespace
