// The register request that the engine builds for a program that is not a data
// provider: its bytes, and the channel library's register verb, which finds the
// builder in this program, against the agent's real DCH server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dch/dch_api.h"
#include "dch/dp_register_buffer.h"
#include "dch_road_fixture.h"
#include "metafile_fixture.h"
#include "stdout_capture.h"
#include "zev0/storage.h"

namespace {

// Key and atomic, % as G, Z as D, K left out, the SEQ= order, a group never registered.
const std::vector<std::string> kReg = {"//APPL Reg @hi",   "//NAME Keys K 120 @g", "//ATTRIBUTES ';'",
                                       "Host D 8 KEY ATOMIC @h", "Load % 4 SEQ=1",   "Skip K 4",
                                       "Cnt C",            "Last Z 4",             "//NAME ~Hidden P 60",
                                       "//ATTRIBUTES ';'", "X D 4"};

// Written by hand from the layout: texts in EBCDIC ("Reg" D9 85 87, "hi" 88 89,
// "Keys" D2 85 A8 A2, "g" 87, 'K' D2; ',' 6B, ';' 5E, '@' 7C, '$' 5B, ' ' 40).
const std::string kRegisterReg = rawdch::Hex(
    "0000007A"
    "00000008 0010 1010"
    "00000009 0020 D98587"
    "00000008 0090 8889"
    "0000000A 0022 D285A8A2"
    "00000007 0090 87"
    "00000007 0030 D2"
    "0000000A 0040 00000078"
    "0000003B 0060"
    "  D3968184 6B C7 6B F4 6B 40 6B 40 5E"      // Load,G,4, , ;
    "  7C5BC896A2A3 6B C4 6B F8 6B 40 6B 88 5E"  // @$Host,D,8, ,h;
    "  C395A3 6B C3 6B F4 6B 40 6B 40 5E"        // Cnt,C,4, , ;
    "  D381A2A3 6B C4 6B F4 6B 40 6B 40 5E");    // Last,D,4, , ;

class RegisterBufferExport : public DCHroadTest {
 protected:
  // The builder's result and the request it handed out (empty when none).
  struct Built {
    int length;
    std::string request;
    bool bodyUntouched;
  };
  Built build(const char* metafileName) {
    char sentinel = 0;
    char* body = &sentinel;
    StdoutCapture quiet;  // the opening is a validation run's
    int length = ZEVP_ConstructDPregisterBuffer(metafileName, &body);
    Built built{length, "", body == &sentinel};
    if (body != &sentinel) {
      built.request.assign(body, static_cast<size_t>(length));
      ZEV0_FreeStorage(&body);
    }
    return built;
  }
  MetafileFixture models_;
};

TEST_F(RegisterBufferExport, TheRequestOfAMetafileIsItsRegisterMessage) {
  models_.write("reg.mdl", kReg);
  Built built = build("reg.mdl");
  EXPECT_EQ(built.length, static_cast<int>(kRegisterReg.size()));
  EXPECT_EQ(built.request, kRegisterReg);
}

TEST_F(RegisterBufferExport, AMetafileWithoutARequestLeavesTheBodyAlone) {
  models_.write("hidden.mdl", {"//APPL Hid", "//NAME ~Inv P 60", "//ATTRIBUTES ';'", "X D 4"});
  models_.write("bad.mdl", {"//APPL Bad"});
  for (const char* name : {"absent.mdl", "bad.mdl", "hidden.mdl"}) {
    SCOPED_TRACE(name);
    Built built = build(name);
    EXPECT_EQ(built.length, 0);
    EXPECT_TRUE(built.bodyUntouched);
  }
}

// The channel library's verb takes its body from this program's engine.
TEST_F(RegisterBufferExport, TheChannelLibrarysRegisterVerbRegistersTheMetafile) {
  models_.write("reg.mdl", kReg);
  long status = -1;
  StdoutCapture quiet;
  EXPECT_EQ(dp_register(&status, "reg.mdl"), 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Text(dc_getApplications, "REG"), "REG,KEYS,K,120:;");
}

}  // namespace
