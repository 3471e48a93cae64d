// Input sessions of the client with the API data provider: begin, records, sample
// brackets, end, and the data provider's refusals with their messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api_responder.h"
#include "api_test_settings.h"
#include "played_data_provider.h"
#include "zevpapi/dp_api.h"

namespace {

// The API data provider these tests talk to, with the application APPL whose group GRP
// is delimited by ';'. Until the data provider serves API input, the responder plays its
// sessions; the tests ask of it only what the real one shows as well (the records that
// reached the group), so that they can be pointed at it.
class ApiDataProviderPeer {
 public:
  ApiDataProviderPeer()
      : played_("APPL", "GRP", ";"), responder_([this](const ReceivedRequest& r) { return played_.answer(r); }) {}
  bool ready() const { return responder_.listening(); }
  void pointClientHere() const { responder_.pointClientHere(); }
  std::vector<std::string> records() const { return played_.records(); }

 private:
  PlayedDataProvider played_;
  ApiResponder responder_;
};

std::string Message(int status) {
  char text[256];
  dp_ShowMessage(status, text, sizeof text);
  return text;
}

class DataSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseLoopbackSettings();
    ASSERT_TRUE(peer_.ready());
    peer_.pointClientHere();
    handle_ = dp_AllocateHandle(nullptr);
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override { dp_FreeHandle(handle_, nullptr); }

  // Sends a record of the values; its status.
  int input(std::initializer_list<const char*> values) {
    void* data = nullptr;
    EXPECT_EQ(dp_AllocateBuffer(handle_, &data, 0, nullptr), 1);
    for (const char* value : values)
      EXPECT_EQ(dp_FormatBufferData(data, value, static_cast<int>(std::strlen(value)), ZEVP_API_TEXT, nullptr), 1);
    int status = -1;
    int result = dp_InputData(data, &status);
    EXPECT_EQ(result, status == 0 ? 1 : 0);
    dp_FreeBuffer(data, nullptr);
    return status;
  }

  int call(int (*verb)(APIhandle*, int*)) {
    int status = -1;
    int result = verb(handle_, &status);
    EXPECT_EQ(result, status == 0 ? 1 : 0);
    return status;
  }

  ApiDataProviderPeer peer_;
  APIhandle* handle_ = nullptr;
};

TEST_F(DataSessionTest, BeginTakesTheGroupsDelimiterAndEndBlanksItAgain) {
  int status = -1;
  ASSERT_EQ(dp_BeginInput(handle_, "APPL", "GRP", &status), 1);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(input({"a", "b"}), 0);
  EXPECT_EQ(call(dp_EndInput), 0);

  void* data = nullptr;
  ASSERT_EQ(dp_AllocateBuffer(handle_, &data, 0, nullptr), 1);
  ASSERT_EQ(dp_FormatBufferData(data, "c", 1, ZEVP_API_TEXT, nullptr), 1);
  EXPECT_STREQ(static_cast<char*>(data), "c ");
  EXPECT_EQ(peer_.records(), (std::vector<std::string>{"a;b;"}));
}

TEST_F(DataSessionTest, RecordsReachTheGroupWithAndWithoutSampleBrackets) {
  ASSERT_EQ(dp_BeginInput(handle_, "APPL", "GRP", nullptr), 1);
  EXPECT_EQ(input({"1", "one"}), 0);
  EXPECT_EQ(call(dp_BeginSample), 0);
  EXPECT_EQ(input({"2", "two"}), 0);
  EXPECT_EQ(input({"3", "three"}), 0);
  EXPECT_EQ(call(dp_EndSample), 0);
  EXPECT_EQ(input({"4", "four"}), 0);
  EXPECT_EQ(call(dp_EndInput), 0);
  EXPECT_EQ(peer_.records(), (std::vector<std::string>{"1;one;", "2;two;", "3;three;", "4;four;"}));
}

TEST_F(DataSessionTest, TheDataProvidersRefusalsComeWithTheirMessages) {
  int status = -1;
  EXPECT_EQ(dp_BeginInput(handle_, "NOAPPL", "GRP", &status), 0);
  EXPECT_EQ(status, 51);
  EXPECT_EQ(Message(status), "ZEVPA51E dp_BeginInput specified application not found");

  EXPECT_EQ(dp_BeginInput(handle_, "APPL", "NOGRP", &status), 0);
  EXPECT_EQ(status, 52);
  EXPECT_EQ(Message(status), "ZEVPA52E dp_BeginInput specified attribute group not found");

  // A fresh handle's session is unknown to the data provider until it begins input.
  APIhandle* fresh = dp_AllocateHandle(nullptr);
  void* data = nullptr;
  ASSERT_EQ(dp_AllocateBuffer(fresh, &data, 0, nullptr), 1);
  ASSERT_EQ(dp_FormatBufferData(data, "a", 1, ZEVP_API_TEXT, nullptr), 1);
  EXPECT_EQ(dp_InputData(data, &status), 0);
  EXPECT_EQ(status, 13);
  EXPECT_EQ(Message(status), "ZEVPA13E API request logic sequence error");
  dp_FreeHandle(fresh, nullptr);
  EXPECT_TRUE(peer_.records().empty());
}

}  // namespace
