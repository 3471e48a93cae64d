// Request serving on the wire, against a responder that plays the API data provider: what
// accepting, fetching and answering send, and every kind of fetch reply, also those a
// real data provider never sends.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "api_test_settings.h"
#include "responder_test.h"
#include "zevpapi/dp_api.h"

namespace {

std::vector<std::string> Texts(const ApiResponder& responder) {
  std::vector<std::string> texts;
  for (const ReceivedRequest& request : responder.requests()) texts.push_back(request.text);
  return texts;
}

using RequestServingTest = ResponderTest;

TEST_F(RequestServingTest, AcceptingSendsTheSwitchAndTheReplyWait) {
  const struct {
    int enableReply;
    int replyWaitTime;
    const char* sent;
  } cases[] = {
      {1, 0, "ZEVPAPI300ACCREQ1 60 "},
      {1, -5, "ZEVPAPI300ACCREQ1 60 "},
      {1, 15, "ZEVPAPI300ACCREQ1 15 "},
      {0, 99, "ZEVPAPI300ACCREQ0 0 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sent);
    ApiResponder responder(Always({Reply("0 123")}));
    APIhandle* handle = handleFor(responder);
    int status = -1;
    EXPECT_EQ(dp_AcceptRequest(handle, c.enableReply, c.replyWaitTime, &status), 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Texts(responder), std::vector<std::string>{c.sent});
    dp_FreeHandle(handle, nullptr);
  }
}

// Without a handle every handle accepts, in order, until one is refused.
TEST_F(RequestServingTest, AcceptingWithoutAHandleGoesToEveryHandleUntilOneFails) {
  int status = -1;
  EXPECT_EQ(dp_AcceptRequest(nullptr, 1, 10, &status), 0);
  EXPECT_EQ(status, 1) << "no handle at all";

  ApiResponder accepting(Always({Reply("0 123")}));
  APIhandle* first = handleFor(accepting);
  APIhandle* second = handleFor(accepting);
  EXPECT_EQ(dp_AcceptRequest(nullptr, 1, 10, &status), 1);
  auto requests = accepting.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].senderPort, requests[1].senderPort) << "each from its own session";

  ApiResponder refusing(Always({Reply("13 123")}));
  refusing.pointClientHere();
  dp_ResetHandle(first, nullptr);
  dp_ResetHandle(second, nullptr);
  EXPECT_EQ(dp_AcceptRequest(nullptr, 1, 10, &status), 0);
  EXPECT_EQ(status, 13);
  EXPECT_EQ(refusing.requests().size(), 1u) << "the first refusal ends the call";
  dp_FreeHandle(first, nullptr);
  dp_FreeHandle(second, nullptr);
}

// What a fetch gives for each reply. The caller's buffer is larger than the size it
// names, so that a write past that size shows.
TEST_F(RequestServingTest, AFetchedRequestArrivesTerminatedAndCutToTheBuffer) {
  const std::string twenty = "abcdefghijklmnopqrst";
  const struct {
    const char* name;
    std::vector<Answer> answers;
    int bufferSize;
    int status;
    int id;
    int receivedSize;
    std::string text;
  } cases[] = {
      {"a request", {Reply("0 123#42 restart app")}, 64, 0, 42, 12, "restart app"},
      {"a text that just fits", {Reply("0 123#7 " + twenty.substr(0, 9))}, 10, 0, 7, 10, twenty.substr(0, 9)},
      {"a text cut to the buffer", {Reply("0 123#7 " + twenty)}, 10, 83, 7, 10, twenty.substr(0, 9)},
      {"into one byte: only the terminator", {Reply("0 123#7 x")}, 1, 83, 7, 1, ""},
      {"an empty text", {Reply("0 123#9 ")}, 10, 0, 9, 1, ""},
      {"nothing outstanding", {Reply("0 123")}, 64, 82, -1, 0, ""},
      {"an id without a blank", {Reply("0 123#42")}, 64, 94, -1, -1, ""},
      {"the data provider's refusal", {Reply("13 123")}, 64, 13, -1, -1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ApiResponder responder(Always(c.answers));
    APIhandle* handle = handleFor(responder);
    char buffer[128];
    std::memset(buffer, 'Z', sizeof buffer);
    buffer[0] = '\0';
    int id = -1;
    int receivedSize = -1;
    int status = -1;
    EXPECT_EQ(dp_ReceiveRequest(handle, 0, buffer, c.bufferSize, &id, &receivedSize, &status), c.status == 0 ? 1 : 0);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(receivedSize, c.receivedSize);
    EXPECT_EQ(std::string(buffer), c.text);
    EXPECT_EQ(std::string(buffer + c.bufferSize, sizeof buffer - c.bufferSize),
              std::string(sizeof buffer - c.bufferSize, 'Z'));
    EXPECT_EQ(Texts(responder), std::vector<std::string>{"ZEVPAPI300RCVREQ"});
    dp_FreeHandle(handle, nullptr);
  }
}

// The places the call writes to are looked at, also when validation is bypassed.
TEST_F(RequestServingTest, AFetchWithoutItsPlacesIsRefusedBeforeAnythingIsSent) {
  ApiResponder responder(Always({Reply("0 123#1 x")}));
  APIhandle* handle = handleFor(responder);
  char buffer[16];
  int size = 0;
  int status = -1;
  for (bool bypassed : {false, true}) {
    SCOPED_TRACE(bypassed ? "validation bypassed" : "validated");
    ValidationBypassed bypass;
    if (!bypassed) BypassInputValidation = 0;
    EXPECT_EQ(dp_ReceiveRequest(handle, 0, nullptr, 16, nullptr, &size, &status), 0);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(dp_ReceiveRequest(handle, 0, buffer, 16, nullptr, nullptr, &status), 0);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(dp_ReceiveRequest(handle, 0, buffer, 0, nullptr, &size, &status), 0);
    EXPECT_EQ(status, 81);
  }
  EXPECT_EQ(dp_ReceiveRequest(nullptr, 0, buffer, 16, nullptr, &size, &status), 0);
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(responder.requests().empty());
  dp_FreeHandle(handle, nullptr);
}

TEST_F(RequestServingTest, AResultGoesOutWithItsIdAndAtMost256Bytes) {
  const std::string longResult(300, 'r');
  const struct {
    const char* name;
    std::string delimiters;  // the begin's reply data
    std::string result;
    std::vector<Answer> answers;
    int status;
    std::string sent;
  } cases[] = {
      {"between blanks", "  ", "done", {Reply("0 123")}, 0, "ZEVPAPI300RESULT7 done "},
      {"between a group's delimiters", ";", "done", {Reply("0 123")}, 0, "ZEVPAPI300RESULT7;done;"},
      {"300 bytes: the first 256 sent", ";", longResult, {Reply("0 123")}, 84,
       "ZEVPAPI300RESULT7;" + longResult.substr(0, 256) + ";"},
      {"an action no longer outstanding", ";", "done", {Reply("85 123")}, 85, "ZEVPAPI300RESULT7;done;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ApiResponder responder([&](const ReceivedRequest& request) {
      return request.text.find("BGNINP") != std::string::npos ? std::vector<Answer>{Reply("0 123#" + c.delimiters)}
                                                              : c.answers;
    });
    APIhandle* handle = handleFor(responder);
    ASSERT_EQ(dp_BeginInput(handle, "APPL", "GRP", nullptr), 1);
    int id = 7;
    int status = -1;
    std::string result = c.result;
    EXPECT_EQ(dp_SendRequestResult(handle, &id, result.data(), static_cast<int>(result.size()), &status), 0 == c.status);
    EXPECT_EQ(status, c.status);
    auto texts = Texts(responder);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], c.sent);
    dp_FreeHandle(handle, nullptr);
  }
}

TEST_F(RequestServingTest, AResultWithoutItsIdOrTextIsRefused) {
  ApiResponder responder(Always({Reply("0 123")}));
  APIhandle* handle = handleFor(responder);
  int id = 7;
  char text[] = "done";
  int status = -1;
  EXPECT_EQ(dp_SendRequestResult(handle, nullptr, text, 4, &status), 0);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(dp_SendRequestResult(handle, &id, nullptr, 4, &status), 0);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(dp_SendRequestResult(handle, &id, text, 0, &status), 0);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(dp_SendRequestResult(reinterpret_cast<APIhandle*>(text), &id, text, 4, &status), 0);
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(responder.requests().empty());
  dp_FreeHandle(handle, nullptr);
}

}  // namespace
