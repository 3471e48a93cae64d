// Data requests on the wire against a responder that plays the API data provider: the
// bytes a request becomes, the session's port, and every kind of reply, also those a
// real data provider never sends.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "api_test_settings.h"
#include "free_port.h"
#include "records.h"
#include "responder_test.h"
#include "run_in_child.h"
#include "scratch_directory.h"
#include "zevpapi/dp_api.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Hex(const std::string& bytes) {
  std::string text;
  char each[4];
  for (unsigned char byte : bytes) {
    std::snprintf(each, sizeof each, "%s%02X", text.empty() ? "" : " ", byte);
    text += each;
  }
  return text;
}

class DataExchangeTest : public ResponderTest {
 protected:
  // A record of the values, sent: the call's result; the status through *status.
  static int sendRecord(APIhandle* handle, std::initializer_list<const char*> values, int* status) {
    void* data = nullptr;
    EXPECT_EQ(dp_AllocateBuffer(handle, &data, 0, nullptr), 1);
    for (const char* value : values)
      EXPECT_EQ(dp_FormatBufferData(data, value, static_cast<int>(std::strlen(value)), ZEVP_API_TEXT, nullptr), 1);
    int result = dp_InputData(data, status);
    dp_FreeBuffer(data, nullptr);
    return result;
  }

  // What a value is formatted into with the handle's delimiters.
  static std::string formatted(APIhandle* handle, const char* value) {
    void* data = nullptr;
    EXPECT_EQ(dp_AllocateBuffer(handle, &data, 0, nullptr), 1);
    dp_FormatBufferData(data, value, static_cast<int>(std::strlen(value)), ZEVP_API_TEXT, nullptr);
    std::string text(static_cast<char*>(data));
    dp_FreeBuffer(data, nullptr);
    return text;
  }

  ScratchDirectory scratch_{"zevpapi_exchange"};
};

TEST_F(DataExchangeTest, ARecordGoesOutInTheNetworkCodeBehindTheEyeCatcherAndTag) {
  ApiResponder responder(Always({Reply("0 123")}));
  APIhandle* handle = handleFor(responder);
  int status = -1;
  EXPECT_EQ(sendRecord(handle, {"a", "b"}, &status), 1);
  EXPECT_EQ(status, 0);
  auto requests = responder.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(Hex(requests[0].bytes), "E9 C5 E5 D7 C1 D7 C9 F3 F0 F0 E2 D5 C4 C4 E3 C1 81 40 82 40");
  EXPECT_EQ(requests[0].text, "ZEVPAPI300SNDDTAa b ");
  dp_FreeHandle(handle, nullptr);
}

TEST_F(DataExchangeTest, EachVerbSendsItsTagAndValues) {
  ApiResponder responder(Always({Reply("0 123")}));
  APIhandle* handle = handleFor(responder);
  int status = -1;
  EXPECT_EQ(dp_BeginInput(handle, "APPL", "GRP", &status), 1);
  EXPECT_EQ(dp_BeginSample(handle, &status), 1);
  EXPECT_EQ(dp_EndSample(handle, &status), 1);
  EXPECT_EQ(dp_SetSourceName(handle, "SRC", &status), 1);
  EXPECT_EQ(dp_EndInput(handle, &status), 1);
  std::vector<std::string> texts;
  for (const ReceivedRequest& request : responder.requests()) texts.push_back(request.text);
  // After the begin without reply data the handle has no delimiters.
  EXPECT_EQ(texts, (std::vector<std::string>{"ZEVPAPI300BGNINPAPPL GRP ", "ZEVPAPI300BGNROW", "ZEVPAPI300ENDROW",
                                             "ZEVPAPI300SETSRCSRC", "ZEVPAPI300ENDINP"}));
  dp_FreeHandle(handle, nullptr);
}

// The session key is the session socket's port: a key restored from the command
// environment file is the port the requests come from; a fresh handle's key becomes
// the port the system chose, which the file then records.
TEST_F(DataExchangeTest, TheSessionKeyIsThePortTheRequestsComeFrom) {
  WorkingDirectory here(scratch_.path());
  unsigned short restored = FreeLoopbackPort();
  ASSERT_NE(restored, 0);
  scratch_.write("ZEVPINIT", "123\nAPPLGRP#" + std::to_string(restored) + "\n");
  ApiResponder responder(Always({Reply("0 123")}));

  APIhandle* again = handleFor(responder);
  dp_GetCommandEnvironment(again, "APPLGRP", "123");
  int status = -1;
  EXPECT_EQ(sendRecord(again, {"a"}, &status), 1);
  APIhandle* fresh = handleFor(responder);
  EXPECT_EQ(sendRecord(fresh, {"b"}, &status), 1);
  EXPECT_EQ(sendRecord(fresh, {"c"}, &status), 1);

  auto requests = responder.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].senderPort, restored);
  EXPECT_NE(requests[1].senderPort, restored);
  EXPECT_EQ(requests[2].senderPort, requests[1].senderPort) << "one session, one port";
  dp_SaveCommandEnvironment(fresh, "OTHERGRP");
  EXPECT_EQ(scratch_.read("ZEVPINIT"),
            "123\nAPPLGRP#" + std::to_string(restored) + "\nOTHERGRP#" + std::to_string(requests[1].senderPort) + "\n");
  dp_FreeHandle(again, nullptr);
  dp_FreeHandle(fresh, nullptr);
}

// What the begin's reply makes of the delimiters, and what a reply to a record gives.
TEST_F(DataExchangeTest, TheReplyGivesTheStatusTheStampAndTheData) {
  const struct {
    const char* name;
    std::vector<Answer> answers;
    int status;
    std::string formattedAfterBegin;  // the value 'x' formatted after a begin with this reply
  } cases[] = {
      {"two characters: begin and end delimiter", {Reply("0 123#AB")}, 0, "AxB"},
      {"one character: the end delimiter", {Reply("0 123#;")}, 0, "x;"},
      {"no data: no delimiters", {Reply("0 123")}, 0, "x"},
      {"a '#' without data: no delimiters", {Reply("0 123#")}, 0, "x"},
      {"the data provider's failure keeps the delimiters", {Reply("51 123")}, 51, "x "},
      {"a letter first: a failed receive", {Reply("X 123#;")}, 94, "x "},
      {"an empty datagram: a failed receive", {RawReply("")}, 94, "x "},
      {"more digits than a status has", {Reply("1234567890 123")}, 94, "x "},
      {"a stranger's datagram is passed over", {StrangerReply("0 999#AB"), Reply("0 123#;")}, 0, "x;"},
      {"a stranger's empty datagram is passed over", {{"", true}, Reply("0 123#;")}, 0, "x;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ApiResponder responder(Always(c.answers));
    APIhandle* handle = handleFor(responder);
    int status = -1;
    EXPECT_EQ(dp_BeginInput(handle, "APPL", "GRP", &status), c.status == 0 ? 1 : 0);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(formatted(handle, "x"), c.formattedAfterBegin);
    dp_FreeHandle(handle, nullptr);
  }
}

TEST_F(DataExchangeTest, ASequenceErrorFailsTheRecordAndLeavesNoReplyData) {
  ApiResponder responder(Always({Reply("13 123")}));
  APIhandle* handle = handleFor(responder);
  int status = -1;
  EXPECT_EQ(sendRecord(handle, {"a"}, &status), 0);
  EXPECT_EQ(status, 13);
  void* data = nullptr;
  ASSERT_EQ(dp_AllocateBuffer(handle, &data, 0, nullptr), 1);
  int size = -1;
  EXPECT_EQ(dp_RecvReply(data, &size, &status), 0);
  EXPECT_EQ(status, 80);
  EXPECT_EQ(size, -1);
  dp_FreeHandle(handle, nullptr);
}

// A datagram of 512 bytes fills the reply area with no terminator behind it: it is read
// within its length, and its data taken whole.
TEST_F(DataExchangeTest, AReplyOfTheWholeAreaIsReadWithinItsLength) {
  std::string data(512 - 6, 'D');
  data.back() = 'E';
  ApiResponder responder(Always({Reply("0 123#" + data), Reply("0 123")}));
  APIhandle* handle = handleFor(responder);
  int status = -1;
  void* record = nullptr;
  ASSERT_EQ(dp_AllocateBuffer(handle, &record, 0, nullptr), 1);
  ASSERT_EQ(dp_FormatBufferData(record, "a", 1, ZEVP_API_TEXT, nullptr), 1);
  EXPECT_EQ(dp_InputData(record, &status), 1);
  int size = 0;
  EXPECT_EQ(dp_RecvReply(record, &size, &status), 1);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(size, 506);
  EXPECT_EQ(std::string(static_cast<char*>(record), 506), data);
  EXPECT_EQ(dp_RecvReply(record, &size, &status), 0) << "the data was taken";
  EXPECT_EQ(status, 80);

  // A longer datagram is cut to the area.
  ApiResponder longer(Always({Reply("0 123#" + data + "XYZ")}));
  APIhandle* second = handleFor(longer);
  void* other = nullptr;
  ASSERT_EQ(dp_AllocateBuffer(second, &other, 1, nullptr), 1);
  EXPECT_EQ(dp_InputData(other, &status), 1);
  EXPECT_EQ(dp_RecvReply(other, &size, &status), 1);
  EXPECT_EQ(size, 506);
  dp_FreeHandle(handle, nullptr);
  dp_FreeHandle(second, nullptr);
}

// Silence, and datagrams from anywhere but the data provider, end in a time-out after the
// request wait (1 second here), not later.
TEST_F(DataExchangeTest, NoReplyFromTheDataProviderTimesOutAfterTheRequestWait) {
  const struct {
    const char* name;
    std::vector<Answer> answers;
  } cases[] = {
      {"silence", {}},
      {"strangers only", {StrangerReply("0 123"), StrangerReply("0 124")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunInChild([&] {
      UseShortWaits();
      ApiResponder responder(Always(c.answers));
      APIhandle* handle = handleFor(responder);
      int status = -1;
      Clock::time_point start = Clock::now();
      EXPECT_EQ(sendRecord(handle, {"a"}, &status), 0);
      double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      EXPECT_EQ(status, 11);
      EXPECT_GE(seconds, 0.9);
      EXPECT_LT(seconds, 5.0) << "no hang";
      dp_FreeHandle(handle, nullptr);
    });
  }
}

// A reply without a blank carries no stamp: the handle keeps the one it had.
TEST_F(DataExchangeTest, AReplyWithoutABlankKeepsTheStamp) {
  WorkingDirectory here(scratch_.path());
  int replies = 0;
  ApiResponder responder(
      [&replies](const ReceivedRequest&) { return std::vector<Answer>{Reply(++replies == 1 ? "0 123" : "0")}; });
  APIhandle* handle = handleFor(responder);
  int status = -1;
  EXPECT_EQ(sendRecord(handle, {"a"}, &status), 1);
  EXPECT_EQ(sendRecord(handle, {"b"}, &status), 1);
  dp_SaveCommandEnvironment(handle, "APPLGRP");
  EXPECT_EQ(scratch_.read("ZEVPINIT").substr(0, 4), "123\n");
  dp_FreeHandle(handle, nullptr);
}

// A session socket that cannot take its port ends the request: nothing goes out, and the
// next request opens the session again.
TEST_F(DataExchangeTest, AFailedBindEndsTheRequestWithSeventyFive) {
  ApiResponder responder(Always({Reply("0 123")}));
  // A port of this process's that another socket holds without address reuse.
  int holder = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(FreeLoopbackPort());
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  WorkingDirectory here(scratch_.path());
  scratch_.write("ZEVPINIT", "123\nAPPLGRP#" + std::to_string(ntohs(address.sin_port)) + "\n");

  APIhandle* handle = handleFor(responder);
  dp_GetCommandEnvironment(handle, "APPLGRP", nullptr);
  int status = -1;
  EXPECT_EQ(dp_BeginInput(handle, "APPL", "GRP", &status), 0);
  EXPECT_EQ(status, 75);
  EXPECT_TRUE(responder.requests().empty());

  close(holder);
  EXPECT_EQ(dp_BeginInput(handle, "APPL", "GRP", &status), 1);
  ASSERT_EQ(responder.requests().size(), 1u);
  EXPECT_EQ(responder.requests()[0].senderPort, ntohs(address.sin_port));
  dp_FreeHandle(handle, nullptr);
}

// The handles' datagram sockets are bound to ports the system picks, without address
// reuse: with it two of them could be given one port, and the later would take the
// other's replies.
TEST_F(DataExchangeTest, TwoHundredHandlesOpenAtOnceShareNoPort) {
  constexpr size_t kHandles = 200;
  ApiResponder responder(Always({Reply("0 123")}));
  std::vector<APIhandle*> handles;
  for (size_t i = 0; i < kHandles; ++i) {
    handles.push_back(handleFor(responder));
    int status = -1;
    ASSERT_EQ(sendRecord(handles.back(), {"a"}, &status), 1);
  }
  std::set<unsigned short> ports;
  for (APIhandle* handle : handles) {
    for (int socket : {handle->sessionSocket, handle->requestSocket}) {
      sockaddr_in bound{};
      socklen_t length = sizeof bound;
      ASSERT_EQ(getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length), 0);
      ports.insert(ntohs(bound.sin_port));
      int reuse = -1;
      length = sizeof reuse;
      ASSERT_EQ(getsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &reuse, &length), 0);
      EXPECT_EQ(reuse, 0) << "socket " << socket;
      EXPECT_NE(fcntl(socket, F_GETFD) & FD_CLOEXEC, 0) << "socket " << socket;
    }
  }
  EXPECT_EQ(ports.size(), 2 * kHandles);
  std::set<unsigned short> senders;
  for (const ReceivedRequest& request : responder.requests()) senders.insert(request.senderPort);
  EXPECT_EQ(senders.size(), kHandles);
  for (APIhandle* handle : handles) dp_FreeHandle(handle, nullptr);
}

// With standard input closed a new socket would be descriptor 0, which a handle takes for
// "none": the session socket is moved off it and 0 stays closed. (The responder runs in
// the child: a process is forked only while it has no other thread.)
TEST_F(DataExchangeTest, ASessionSocketIsNeverDescriptorZero) {
  RunInChild([&] {
    ApiResponder responder(Always({Reply("0 123")}));
    APIhandle* handle = handleFor(responder);
    close(0);
    int status = -1;
    EXPECT_EQ(sendRecord(handle, {"a"}, &status), 1);
    EXPECT_EQ(sendRecord(handle, {"b"}, &status), 1) << "the session stays open";
    EXPECT_EQ(fcntl(0, F_GETFD), -1) << "descriptor 0 stays closed";
    EXPECT_NE(fcntl(handle->sessionSocket, F_GETFD) & FD_CLOEXEC, 0) << "the moved socket is closed on exec";
    auto requests = responder.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].senderPort, requests[1].senderPort);
    dp_FreeHandle(handle, nullptr);
  });
}

}  // namespace
