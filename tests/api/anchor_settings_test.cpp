// The anchor and its settings from the environment. The anchor is built once per
// process, so each case runs in a child of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "api_test_settings.h"
#include "records.h"
#include "run_in_child.h"
#include "scratch_directory.h"
#include "stdout_capture.h"
#include "zevpapi/dp_api.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool Exists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

// A handle allocated and freed: the calls that the trace shows.
void AllocateAndFreeAHandle() {
  APIhandle* handle = dp_AllocateHandle(nullptr);
  ASSERT_NE(handle, nullptr);
  dp_FreeHandle(handle, nullptr);
}

TEST(AnchorSettingsTest, VerboseNamesWhereTheTraceGoesAndWhetherItIsWritten) {
  ScratchDirectory scratch("zevpapi_trace");
  const struct {
    const char* name;
    std::string setting;
    std::string file;  // where the trace goes; empty: standard output
    bool traced;
  } cases[] = {
      {"'Y>file': the file in the working directory", "Y>trace.log", "trace.log", true},
      {"'y= >file': blanks and marks after the first are passed over", "y= >trace.log", "trace.log", true},
      {"'Y': standard output", "Y", "", true},
      {"a name with a '/' is taken as it stands", "Y>" + scratch.file("full.log"), "full.log", true},
      {"'N=x': the file is opened but nothing written", "N=x", "x", false},
      {"neither Y nor N: no trace", "Q>trace.log", "trace.log", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scratch.remove(c.file.empty() ? "none" : c.file);
    RunInChild([&] {
      UseLoopbackSettings();
      setenv("ZEVP_API_VERBOSE", c.setting.c_str(), 1);
      WorkingDirectory here(scratch.path());
      StdoutCapture output;
      AllocateAndFreeAHandle();
      std::string lines;
      for (const std::string& line : output.takeLines()) lines += line + "\n";
      std::string trace = c.file.empty() ? lines : scratch.read(c.file);
      if (!c.file.empty()) {
        EXPECT_TRUE(Exists(scratch.file(c.file)));
        EXPECT_EQ(lines, "") << "nothing on standard output";
      }
      if (!c.traced) {
        EXPECT_EQ(trace, "");
        return;
      }
      EXPECT_TRUE(Contains(trace, " ***** ZEVP API Verbose Output *****\n")) << trace;
      EXPECT_TRUE(Contains(trace, " >>>>> dp_AllocateHandle exit, Status 0\n")) << trace;
      EXPECT_TRUE(Contains(trace, " >>>>> dp_FreeHandle entry\n")) << trace;
      EXPECT_TRUE(Contains(trace, " >>>>> dp_FreeHandle exit, Status 0\n")) << trace;
    });
  }
}

// The host name, cut to what the insert holds, is the message's insert; the anchor stays
// absent, so the next call tries again.
TEST(AnchorSettingsTest, AnUnresolvableHostGivesEightAndTheNextCallTriesAgain) {
  RunInChild([] {
    UseLoopbackSettings();
    // A label of more than 63 characters fails before any name server is asked.
    std::string host = std::string(64, 'a') + ".invalid.example.with.a.name.longer.than.the.insert.holds";
    setenv("ZEVP_API_DPAPI_HOST", host.c_str(), 1);
    int status = -1;
    EXPECT_EQ(dp_AllocateHandle(&status), nullptr);
    EXPECT_EQ(status, 8);
    EXPECT_EQ(DPAA, nullptr);
    EXPECT_EQ(std::string(Common_SubText), host.substr(0, 79));
    status = -1;
    EXPECT_EQ(dp_BeginInput(nullptr, "APPL", "GRP", &status), 0);
    EXPECT_EQ(status, 8);

    setenv("ZEVP_API_DPAPI_HOST", "127.0.0.1", 1);
    APIhandle* handle = dp_AllocateHandle(&status);
    EXPECT_NE(handle, nullptr);
    EXPECT_EQ(status, 0);
    ASSERT_NE(DPAA, nullptr);
    EXPECT_EQ(DPAA->dpAddress.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
  });
}

TEST(AnchorSettingsTest, WaitsPortTransportAndBypassComeFromTheEnvironment) {
  const struct {
    const char* name;
    std::vector<std::pair<const char*, const char*>> settings;
    int requestWait;
    int commandWait;
    int port;
    char transport;
    int bypass;
  } cases[] = {
      {"defaults", {}, 30, 30, 7600, 'I', 0},
      {"set",
       {{"ZEVP_API_REQUEST_WAIT", "5"},
        {"ZEVP_CONSOLE_COMMAND_WAIT", "7"},
        {"ZEVP_API_DPAPI_PORT", "7611"},
        {"ZEVP_API_TRANSPORT", "i"},
        {"ZEVP_API_BYPASS_VAL", "yes"}},
       5,
       7,
       7611,
       'I',
       1},
      {"below 1 or no number: unset",
       {{"ZEVP_API_REQUEST_WAIT", "0"},
        {"ZEVP_CONSOLE_COMMAND_WAIT", "-4"},
        {"ZEVP_API_DPAPI_PORT", "x"},
        {"ZEVP_API_BYPASS_VAL", "N"}},
       30,
       30,
       7600,
       'I',
       0},
      {"a port past 65535: unset", {{"ZEVP_API_DPAPI_PORT", "70000"}}, 30, 30, 7600, 'I', 0},
      {"an unknown transport letter is not taken", {{"ZEVP_API_TRANSPORT", "X"}}, 30, 30, 7600, 'I', 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunInChild([&] {
      for (const char* name : {"ZEVP_API_REQUEST_WAIT", "ZEVP_CONSOLE_COMMAND_WAIT", "ZEVP_API_DPAPI_PORT",
                               "ZEVP_API_TRANSPORT", "ZEVP_API_BYPASS_VAL"})
        unsetenv(name);
      setenv("ZEVP_API_DPAPI_HOST", "127.0.0.1", 1);
      for (const auto& [name, value] : c.settings) setenv(name, value, 1);
      int status = -1;
      EXPECT_EQ(ZEVP_InitializeAPIanchor(&status), 1);
      ASSERT_NE(DPAA, nullptr);
      EXPECT_EQ(DPAA->requestWait, c.requestWait);
      EXPECT_EQ(DPAA->commandWait, c.commandWait);
      EXPECT_EQ(ntohs(DPAA->dpAddress.sin_port), c.port);
      EXPECT_EQ(DPAA->transport, c.transport);
      EXPECT_EQ(BypassInputValidation, c.bypass);
    });
  }
}

// The RPC transport has no exchange: every data request answers 5, and the anchor is
// built without resolving the data provider's host.
TEST(AnchorSettingsTest, TheRpcTransportAnswersFiveToEveryDataRequest) {
  RunInChild([] {
    UseLoopbackSettings();
    setenv("ZEVP_API_DPAPI_HOST", (std::string(64, 'a') + ".invalid").c_str(), 1);
    setenv("ZEVP_API_TRANSPORT", "r", 1);
    APIhandle* handle = dp_AllocateHandle(nullptr);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(DPAA->transport, 'R');
    EXPECT_EQ(DPAA->requestWait, 10) << "the waits are set all the same";
    int status = -1;
    EXPECT_EQ(dp_BeginInput(handle, "APPL", "GRP", &status), 0);
    EXPECT_EQ(status, 5);
    void* data = nullptr;
    ASSERT_EQ(dp_AllocateBuffer(handle, &data, 0, nullptr), 1);
    EXPECT_EQ(dp_InputData(data, &status), 0);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(dp_BeginSample(handle, &status), 0);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(handle->sessionSocket, 0);
  });
}

}  // namespace
