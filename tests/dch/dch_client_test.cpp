// The DCH client against a scripted DCH server on loopback: what each verb sends, how it takes
// the reply, every local status, the data request built in steps (and refused when it would
// not fit), replies joined from datagrams, the standing waits with their cancel from another
// thread, and the transports the client cannot work with.
#include "dch/dch_client.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dch/dp_register_buffer.h"
#include "dch_messages.h"
#include "no_name_service.h"
#include "scripted_dch.h"
#include "sock_test_support.h"
#include "trace_capture.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

namespace {

using std::chrono::milliseconds;

constexpr unsigned kWatchdogSeconds = 10;

// The descriptor of the UDP socket bound to the local port, or -1.
int udpSocketOnPort(unsigned short port) {
  for (int sockFD = 3; sockFD < 4096; ++sockFD) {
    int type = 0;
    socklen_t length = sizeof type;
    if (getsockopt(sockFD, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_DGRAM &&
        LocalPort(sockFD) == port)
      return sockFD;
  }
  return -1;
}

// Turns the UDP socket bound to the port into /dev/null, on which every send fails, and puts
// it back when destroyed.
class BrokenSocket {
 public:
  explicit BrokenSocket(unsigned short port) : sockFD_(udpSocketOnPort(port)) {
    if (sockFD_ < 0) return;
    saved_ = dup(sockFD_);
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, sockFD_);
    close(devNull);
  }
  ~BrokenSocket() {
    if (sockFD_ < 0) return;
    dup2(saved_, sockFD_);
    close(saved_);
  }
  bool broken() const { return sockFD_ >= 0; }

 private:
  int sockFD_;
  int saved_ = -1;
};

std::string RegisterRequest(const char* metafileName) {
  char* body = nullptr;
  int length = ZEVP_ConstructDPregisterBuffer(metafileName, &body);
  std::string request(body, static_cast<size_t>(length));
  ZEV0_FreeStorage(&body);
  return request;
}

std::string DataRequest(uint32_t handle, uint16_t controlField, const char* name, const std::string& value) {
  return Built([&](char* buffer, size_t capacity) -> uint32_t {
    DCHmessageBuilder request(buffer, capacity);
    bool built = DCH_AddDataHead(request, handle, controlField) &&
                 DCH_AddDataPair(request, name, value.data(), static_cast<uint32_t>(value.size()), 'D');
    return built ? request.length() : 0;
  });
}

// A request the server must see first when the calls before it sent nothing.
int SendMarker(DCHclient& client) { return client.dc_provideAction(1, "owner", "node", "sub", "MARKER", 1, nullptr); }

bool IsMarker(const std::string& request) { return RequestCode(request) == DCH_dc_provideAction; }

// A verb that answers with a status reply, what it must send, and what it reports.
struct StatusVerb {
  const char* name;
  std::function<int(DCHclient&, long*)> call;
  std::string request;
  std::string replyWithStatus12;
  long whenNoStatus;  // local status of a reply without DCH_status
};

std::vector<StatusVerb> StatusVerbs() {
  return {
      {"dp_register", [](DCHclient& c, long* s) { return c.dp_register(s, "APPL"); }, RegisterRequest("APPL"),
       StatusReply(12), DCHCLIENT_STATUS_NOT_SENT},
      {"dp_online",
       [](DCHclient& c, long* s) {
         long handle = 0;
         return c.dp_online(s, &handle, "APPL", "GROUP", "src");
       },
       Built([](char* b, size_t n) { return DCH_BuildOnline(b, n, "APPL", "GROUP", "src"); }),
       StatusReplyWithHandle(12, 0), DCHCLIENT_STATUS_NOT_SENT},
      {"dp_data",
       [](DCHclient& c, long* s) {
         char* work = nullptr;
         long size = 0;
         c.dp_formatData(s, &work, &size, "NAME", "abc", 3, 'D');
         return c.dp_data(s, 9, DCH_SingleRow, &work);
       },
       DataRequest(9, DCH_SingleRow, "NAME", "abc"), StatusReply(12), DCHCLIENT_STATUS_REFUSED},
      {"dp_offline", [](DCHclient& c, long* s) { return c.dp_offline(s, 9); },
       Built([](char* b, size_t n) { return DCH_BuildOffline(b, n, 9); }), StatusReply(12), DCHCLIENT_STATUS_REFUSED},
      {"dp_unregister", [](DCHclient& c, long* s) { return c.dp_unregister(s, "APPL"); },
       Built([](char* b, size_t n) { return DCH_BuildUnregister(b, n, "APPL"); }), StatusReply(12),
       DCHCLIENT_STATUS_REFUSED},
  };
}

class DCHclientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dch.serving());
    dch.reset();
    alarm(kWatchdogSeconds);  // a reply that never comes must not hang the run
  }
  void TearDown() override { alarm(0); }

  ScriptedDCH& dch = TheScriptedDCH();
};

TEST_F(DCHclientTest, StatusVerbsSendTheirRequestAndTakeTheServersStatus) {
  for (const StatusVerb& verb : StatusVerbs()) {
    SCOPED_TRACE(verb.name);
    dch.reset();
    dch.answer(verb.replyWithStatus12);
    DCHclient client(0, 1);
    long status = -1;
    EXPECT_EQ(verb.call(client, &status), 0);
    EXPECT_EQ(status, 12);
    ASSERT_TRUE(dch.awaitRequests(1));
    EXPECT_EQ(dch.request(0), verb.request);
  }
}

TEST_F(DCHclientTest, OnlineHandsBackTheServersHandle) {
  dch.answer(StatusReplyWithHandle(0, 4711));
  DCHclient client(0, 1);
  long status = -1;
  long handle = 0;
  EXPECT_EQ(client.dp_online(&status, &handle, "APPL", "GROUP", "src"), 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(handle, 4711);
}

TEST_F(DCHclientTest, AReplyWithoutItsFieldsFailsTheVerb) {
  for (const StatusVerb& verb : StatusVerbs()) {
    SCOPED_TRACE(verb.name);
    dch.reset();
    dch.answer(Response("not a status"));
    DCHclient client(0, 1);
    TraceCapture capture;
    long status = 0;
    EXPECT_EQ(verb.call(client, &status), 1);
    EXPECT_EQ(status, verb.whenNoStatus);
    EXPECT_TRUE(capture.contains("Error: dataType of DCH_status missing: 18"));
  }
  // The online reply needs the handle as well.
  dch.reset();
  dch.answer(StatusReply(0));
  DCHclient client(0, 1);
  long status = 0;
  long handle = 33;
  EXPECT_EQ(client.dp_online(&status, &handle, "APPL", "GROUP", "src"), 1);
  EXPECT_EQ(status, DCHCLIENT_STATUS_NOT_SENT);
  EXPECT_EQ(handle, 33);
}

TEST_F(DCHclientTest, AReplyThatCannotBeReadGivesStatus5) {
  for (const StatusVerb& verb : StatusVerbs()) {
    SCOPED_TRACE(verb.name);
    dch.reset();
    dch.answer(DchBytes(10, 14));  // its total says 10, the datagram holds 14
    DCHclient client(0, 1);
    TraceCapture capture;
    long status = 0;
    EXPECT_EQ(verb.call(client, &status), 1);
    EXPECT_EQ(status, DCHCLIENT_STATUS_NO_REPLY);
    EXPECT_TRUE(capture.contains("Error: ipcRead with wait[1] failed"));
  }
}

TEST_F(DCHclientTest, ARequestNotWrittenGivesStatus2AndNoRead) {
  for (const StatusVerb& verb : StatusVerbs()) {
    SCOPED_TRACE(verb.name);
    dch.reset();
    DCHclient client(0, 1);
    ASSERT_EQ(SendMarker(client), 0);
    ASSERT_TRUE(dch.awaitRequests(1));
    BrokenSocket broken(dch.senderPort(0));
    ASSERT_TRUE(broken.broken());
    TraceCapture capture;
    long status = 0;
    EXPECT_EQ(verb.call(client, &status), 1);
    EXPECT_EQ(status, DCHCLIENT_STATUS_NOT_SENT);
    EXPECT_TRUE(capture.contains(std::string("Error: writing ") + verb.name + " message to DCHserver"));
    EXPECT_FALSE(capture.contains("ipcRead"));
  }
}

TEST_F(DCHclientTest, RequestsRefusedBeforeSendingGiveStatus1Or3) {
  const std::string name21(21, 'A');
  const std::string name33(33, 'G');
  const struct {
    const char* title;
    std::function<int(DCHclient&, long*)> call;
    long status;
    const char* trace;
  } cases[] = {
      {"application name of 21", [&](DCHclient& c, long* s) { long h; return c.dp_online(s, &h, name21.c_str(), "G", "s"); },
       DCHCLIENT_STATUS_REFUSED, "Error: max length exceeded: applName[21] attrGroup[1] sourceName[1]"},
      {"group name of 33", [&](DCHclient& c, long* s) { long h; return c.dp_online(s, &h, "APPL", name33.c_str(), "s"); },
       DCHCLIENT_STATUS_REFUSED, "Error: max length exceeded: applName[4] attrGroup[33] sourceName[1]"},
      {"source name missing", [](DCHclient& c, long* s) { long h; return c.dp_online(s, &h, "APPL", "G", nullptr); },
       DCHCLIENT_STATUS_NAME_MISSING, "Error: applName/attrGroup/sourceName were NULL"},
      {"metafile without a model", [](DCHclient& c, long* s) { return c.dp_register(s, "missing.meta"); },
       DCHCLIENT_STATUS_REFUSED, "Error: ZEVP_ConstructDPregisterBuffer failed: [missing.meta]"},
      {"data without a work buffer",
       [](DCHclient& c, long* s) {
         char* work = nullptr;
         return c.dp_data(s, 9, DCH_SingleRow, &work);
       },
       DCHCLIENT_STATUS_NO_WORK_BUFFER, "Error: freeing workBuffer storage."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    dch.reset();
    DCHclient client(0, 1);
    TraceCapture capture;
    long status = 0;
    EXPECT_EQ(c.call(client, &status), 1);
    EXPECT_EQ(status, c.status);
    EXPECT_TRUE(capture.contains(c.trace));
    // Nothing went out, and the failed client does nothing more.
    EXPECT_EQ(SendMarker(client), 1);
    DCHclient other(0, 1);
    ASSERT_EQ(SendMarker(other), 0);
    ASSERT_TRUE(dch.awaitRequests(1));
    EXPECT_TRUE(IsMarker(dch.request(0)));
  }
}

TEST_F(DCHclientTest, AFailedClientDoesNothingMoreAndReportsStatus0) {
  dch.answer(Response("not a status"));
  DCHclient client(0, 1);
  long status = 0;
  ASSERT_EQ(client.dp_offline(&status, 1), 1);
  long handle = 5;
  status = 99;
  EXPECT_EQ(client.dp_online(&status, &handle, "APPL", "GROUP", "src"), 1);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(handle, 5);
  char* text = nullptr;
  EXPECT_EQ(client.dc_getApplications(&text, nullptr, 1), 0);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(client.dc_waitForActionResults(1), -1);
  EXPECT_EQ(client.dc_waitForDPStatus(), nullptr);
  ASSERT_TRUE(dch.awaitRequests(1));
  EXPECT_FALSE(dch.awaitRequests(2, 100));
}

TEST_F(DCHclientTest, FormatDataBuildsTheRequestInSteps) {
  DCHclient client(0, 1);
  char* work = nullptr;
  long size = -1;
  long status = -1;
  // Nothing to add: no buffer is made.
  EXPECT_EQ(client.dp_formatData(&status, &work, &size, "NAME", "abc", 0, 'D'), 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(work, nullptr);

  ASSERT_EQ(client.dp_formatData(&status, &work, &size, "NAME", "abc", 3, 'D'), 0);
  ASSERT_NE(work, nullptr);
  std::string afterOne = DataRequest(0, DCH_SingleRow, "NAME", "abc");
  EXPECT_EQ(size, static_cast<long>(afterOne.size()));
  EXPECT_EQ(std::string(work, static_cast<size_t>(size)), afterOne);

  uint32_t gauge = 250;
  ASSERT_EQ(client.dp_formatData(&status, &work, &size, "COUNT", &gauge, 4, 'G'), 0);
  std::string both = Built([&](char* buffer, size_t capacity) -> uint32_t {
    DCHmessageBuilder request(buffer, capacity);
    DCH_AddDataHead(request, 0, DCH_SingleRow);
    DCH_AddDataPair(request, "NAME", "abc", 3, 'D');
    DCH_AddDataPair(request, "COUNT", &gauge, 4, 'G');
    return request.length();
  });
  EXPECT_EQ(std::string(work, static_cast<size_t>(size)), both);

  dch.answer(StatusReply(0));
  EXPECT_EQ(client.dp_data(&status, 0x01020304, DCH_EndSampleSet, &work), 0);
  EXPECT_EQ(work, nullptr);
  ASSERT_TRUE(dch.awaitRequests(1));
  std::string sent = dch.request(0);
  ASSERT_EQ(sent.size(), both.size());
  EXPECT_EQ(sent.substr(DCH_DATA_HANDLE_OFFSET, 4), std::string("\x01\x02\x03\x04", 4));
  EXPECT_EQ(sent.substr(DCH_DATA_CONTROL_OFFSET, 2), std::string("\x00\x10", 2));
  EXPECT_EQ(sent.substr(DCH_DATA_HEAD_SIZE), both.substr(DCH_DATA_HEAD_SIZE));
}

// Regression: the pairs were appended to the 4096-byte work buffer without a check.
TEST_F(DCHclientTest, FormatDataRefusesAnAttributeThatDoesNotFitAndStaysUsable) {
  DCHclient client(0, 1);
  char* work = nullptr;
  long size = 0;
  long status = 0;
  const std::string value(1000, 'v');
  // 30 bytes of head and 4 pairs of 1016 bytes: 4094 of 4096.
  for (int pair = 0; pair < 4; ++pair)
    ASSERT_EQ(client.dp_formatData(&status, &work, &size, "NAME", value.data(), 1000, 'D'), 0);
  ASSERT_EQ(size, 4094);
  const std::string before(work, DCH_REQUEST_BUFFER_SIZE);
  const std::string huge(5000, 'h');
  const struct {
    const char* title;
    const std::string* value;
    long valueSize;
  } refused[] = {{"the next pair", &value, 1000}, {"a value larger than the buffer", &huge, 5000},
                 {"a short value that does not fit either", &value, 2}};
  for (const auto& c : refused) {
    SCOPED_TRACE(c.title);
    TraceCapture capture;
    EXPECT_EQ(client.dp_formatData(&status, &work, &size, "NAME", c.value->data(), c.valueSize, 'D'), 0);
    EXPECT_EQ(status, DCHCLIENT_STATUS_REFUSED);
    EXPECT_EQ(size, 4094);
    EXPECT_EQ(std::string(work, DCH_REQUEST_BUFFER_SIZE), before);
    EXPECT_TRUE(capture.contains("does not fit the data request"));
  }
  // What fitted still goes out.
  dch.answer(StatusReply(0));
  EXPECT_EQ(client.dp_data(&status, 3, DCH_SingleRow, &work), 0);
  EXPECT_EQ(status, 0);
  ASSERT_TRUE(dch.awaitRequests(1));
  EXPECT_EQ(dch.request(0).size(), 4094u);
}

TEST_F(DCHclientTest, DataFreesTheWorkBufferAlsoWhenTheWriteFailed) {
  DCHclient client(0, 1);
  ASSERT_EQ(SendMarker(client), 0);
  ASSERT_TRUE(dch.awaitRequests(1));
  char* work = nullptr;
  long size = 0;
  long status = 0;
  ASSERT_EQ(client.dp_formatData(&status, &work, &size, "NAME", "abc", 3, 'D'), 0);
  BrokenSocket broken(dch.senderPort(0));
  ASSERT_TRUE(broken.broken());
  EXPECT_EQ(client.dp_data(&status, 1, DCH_SingleRow, &work), 1);
  EXPECT_EQ(status, DCHCLIENT_STATUS_NOT_SENT);
  EXPECT_EQ(work, nullptr);  // and the sanitizer sees no leak
}

TEST_F(DCHclientTest, ReadTimeoutOfDataComesFromTheSettings) {
  const struct {
    int first;
    int second;
    const char* trace;
  } cases[] = {{2, 2, "Error: ipcRead with wait[2] failed"},
               {2, 0, "Error: ipcRead with wait[1] failed"}};  // 0: back to the DCH time-out
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trace);
    DCHclient client(0, 1);
    client.setReadTimeout(c.first);
    client.setReadTimeout(c.second);
    dch.answer(DchBytes(10, 14));  // unreadable at once: no waiting
    char* work = nullptr;
    long size = 0;
    long status = 0;
    client.dp_formatData(&status, &work, &size, "NAME", "abc", 3, 'D');
    TraceCapture capture;
    EXPECT_EQ(client.dp_data(&status, 1, DCH_SingleRow, &work), 1);
    EXPECT_TRUE(capture.contains(c.trace));
  }
}

TEST_F(DCHclientTest, UnfinishedVerbsSendNothing) {
  DCHclient client(0, 1);
  long status = -1;
  EXPECT_EQ(client.dp_cancel(&status, 1), 0);
  EXPECT_EQ(status, 0);
  client.dp_waitForAction(1);
  client.dp_provideActionResults(1, 0);
  client.shutdown(0);
  ASSERT_EQ(SendMarker(client), 0);
  ASSERT_TRUE(dch.awaitRequests(1));
  EXPECT_TRUE(IsMarker(dch.request(0)));
}

TEST_F(DCHclientTest, GetRequestsSendTheNameAndHandBackTheResponseText) {
  const struct {
    const char* title;
    int (DCHclient::*verb)(char**, const char*, int);
    const char* applName;
    std::string request;
  } cases[] = {
      {"every application", &DCHclient::dc_getApplications, nullptr,
       Built([](char* b, size_t n) { return DCH_BuildGetAppl(b, n, nullptr); })},
      {"one application", &DCHclient::dc_getApplications, "APPL",
       Built([](char* b, size_t n) { return DCH_BuildGetAppl(b, n, "APPL"); })},
      {"attributes", &DCHclient::dc_getApplAttributes, "APPL",
       Built([](char* b, size_t n) { return DCH_BuildGetAttrInfo(b, n, "APPL"); })},
      {"attributes of no name", &DCHclient::dc_getApplAttributes, nullptr,
       Built([](char* b, size_t n) { return DCH_BuildGetAttrInfo(b, n, ""); })},
      {"help", &DCHclient::dc_getApplHelp, "APPL",
       Built([](char* b, size_t n) { return DCH_BuildGetApplHelp(b, n, "APPL"); })},
  };
  EXPECT_EQ(cases[0].request.size(), DCH_CODE_ONLY_REQUEST_SIZE);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    dch.reset();
    dch.answer(Response("APPL,some text"));
    DCHclient client(0, 1);
    char* text = nullptr;
    EXPECT_EQ((client.*c.verb)(&text, c.applName, 1), 14);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "APPL,some text");
    free(text);
    ASSERT_TRUE(dch.awaitRequests(1));
    EXPECT_EQ(dch.request(0), c.request);
  }
}

TEST_F(DCHclientTest, AReplyLongerThanOneDatagramIsJoined) {
  std::string text(20000, ' ');
  for (size_t at = 0; at < text.size(); ++at) text[at] = static_cast<char>('a' + at % 26);
  std::vector<std::string> datagrams = Datagrams(Response(text));
  ASSERT_EQ(datagrams.size(), 3u);
  dch.answer(datagrams);
  DCHclient client(0, 1);
  char* received = nullptr;
  EXPECT_EQ(client.dc_getApplAttributes(&received, "APPL", 2), 20000);
  ASSERT_NE(received, nullptr);
  EXPECT_EQ(std::string(received), text);
  free(received);
}

TEST_F(DCHclientTest, GetRequestFailuresLeaveNoText) {
  const struct {
    const char* title;
    int (DCHclient::*verb)(char**, const char*, int);
    std::string reply;
    const char* trace;
  } cases[] = {
      {"reply without a response", &DCHclient::dc_getApplications, StatusReply(0),
       "Error: dataType of DCH_response missing: 17"},
      {"unreadable reply", &DCHclient::dc_getApplications, DchBytes(10, 14), "Error: ipcRead with wait[1] failed"},
      {"unreadable attributes", &DCHclient::dc_getApplAttributes, DchBytes(10, 14),
       "Error: while waiting for dc_getApplAttributes response."},
      {"unreadable help", &DCHclient::dc_getApplHelp, DchBytes(10, 14),
       "Error: while waiting for dc_getApplHelp response."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    dch.reset();
    dch.answer(c.reply);
    DCHclient client(0, 1);
    TraceCapture capture;
    char* text = nullptr;
    EXPECT_EQ((client.*c.verb)(&text, "APPL", 1), 0);
    EXPECT_EQ(text, nullptr);
    EXPECT_TRUE(capture.contains(c.trace));
    EXPECT_EQ(SendMarker(client), 1);
  }
}

TEST_F(DCHclientTest, ProvideActionSendsTheParametersOnlyWhenThereAreSome) {
  DCHaction action;
  action.actionType = 3;
  action.owner = "situation";
  action.node = "host1:AGENT";
  action.subNode = "src:APPL00";
  action.name = "RESTART";
  action.actionID = 42;
  for (const char* parms : {static_cast<const char*>(nullptr), "'now'"}) {
    SCOPED_TRACE(parms != nullptr ? parms : "no parameters");
    dch.reset();
    action.parms = parms;
    DCHclient client(0, 1);
    EXPECT_EQ(client.dc_provideAction(3, "situation", "host1:AGENT", "src:APPL00", "RESTART", 42, parms), 0);
    ASSERT_TRUE(dch.awaitRequests(1));
    EXPECT_EQ(dch.request(0), Built([&](char* b, size_t n) { return DCH_BuildConsumerProvideAction(b, n, action); }));
  }
  // A request that does not fit the request buffer is not sent.
  const std::string longParms(5000, 'p');
  DCHclient client(0, 1);
  EXPECT_EQ(client.dc_provideAction(3, "situation", "node", "sub", "RESTART", 42, longParms.c_str()), 1);
}

TEST_F(DCHclientTest, WaitForActionResultsGivesTheActionsStatus) {
  dch.answer(StatusReply(3));
  DCHclient client(0, 1);
  EXPECT_EQ(client.dc_waitForActionResults(42), 3);
  ASSERT_TRUE(dch.awaitRequests(1));
  EXPECT_EQ(dch.request(0), Built([](char* b, size_t n) { return DCH_BuildWaitForActionResults(b, n, 42); }));

  dch.answer(Response("no status"));
  DCHclient other(0, 1);
  EXPECT_EQ(other.dc_waitForActionResults(42), -1);
}

class WaitHandleTest : public DCHclientTest {
 protected:
  // Registers the client for rows of APPL/GROUP; the index of its registration request.
  void registerForRows(DCHclient& client) {
    ASSERT_EQ(client.dc_waitOnDataInitialize("APPL", "GROUP"), 0);
    ASSERT_TRUE(dch.awaitRequests(1));
    ASSERT_EQ(dch.request(0),
              Built([](char* b, size_t n) { return DCH_BuildWaitOnData(b, n, "APPL", "GROUP", DCH_WAIT_PARK); }));
  }
};

TEST_F(WaitHandleTest, WaitOnDataHandsOverEachRowWhole) {
  DCHclient client(1, 0);
  registerForRows(client);
  const std::string row = RowMessage("src", {"value one", "2"});
  char buffer[512];
  for (int round = 0; round < 2; ++round) {
    memset(buffer, 0, sizeof buffer);
    dch.sendTo(0, row);
    EXPECT_EQ(client.dc_waitOnData(buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer, row.size()), row);
  }
  // A row one byte longer than the buffer is not copied, and ends the wait.
  memset(buffer, 0, sizeof buffer);
  dch.sendTo(0, row);
  EXPECT_EQ(client.dc_waitOnData(buffer, static_cast<short>(row.size() - 1)), 1);
  EXPECT_EQ(std::string(buffer, row.size()), std::string(row.size(), '\0'));
  EXPECT_EQ(client.dc_waitOnData(buffer, sizeof buffer), 1);
}

// The first datagram is taken as it waits on the socket; the rest of a long row is
// waited for.
TEST_F(WaitHandleTest, ARowOfTwoDatagramsIsHandedOverWhole) {
  DCHclient client(1, 0);
  registerForRows(client);
  const std::string row = RowMessage("src", {std::string(10000, 'v'), "2"});
  std::vector<std::string> datagrams = Datagrams(row);
  ASSERT_EQ(datagrams.size(), 2u);
  std::vector<char> buffer(row.size());
  std::atomic<int> result{99};
  std::thread reader([&] { result = client.dc_waitOnData(buffer.data(), static_cast<short>(buffer.size())); });
  dch.sendTo(0, datagrams[0]);
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(result.load(), 99);  // the row is not whole yet
  dch.sendTo(0, datagrams[1]);
  reader.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(std::string(buffer.data(), buffer.size()), row);
}

TEST_F(WaitHandleTest, CancelFromAnotherThreadEndsTheWaitAndDestroyStillRemovesIt) {
  DCHclient client(1, 0);
  registerForRows(client);
  char buffer[512] = {};
  std::atomic<int> result{99};
  std::thread waiter([&] { result = client.dc_waitOnData(buffer, sizeof buffer); });
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_EQ(result.load(), 99);  // blocked
  EXPECT_EQ(client.dc_waitOnDataCancel(), 0);
  waiter.join();
  EXPECT_EQ(result.load(), DCHCLIENT_CANCELLED);
  EXPECT_EQ(std::string(buffer, DCH_INTERRUPT_SIZE), InterruptMessage());
  EXPECT_EQ(client.dc_waitOnDataDestroy(), DCHCLIENT_CANCELLED);
  ASSERT_TRUE(dch.awaitRequests(2));
  EXPECT_EQ(dch.request(1),
            Built([](char* b, size_t n) { return DCH_BuildWaitOnData(b, n, "APPL", "GROUP", DCH_WAIT_REMOVE); }));
}

// The rows that reached a stopping waiter before its removal are taken; a destroy then
// removes nothing more, which would take the wait of another client of the same names.
TEST_F(WaitHandleTest, AWithdrawalRemovesTheWaitOnceAndHandsOverTheRowsThatHadCome) {
  DCHclient client(1, 0);
  registerForRows(client);
  const std::string rows[] = {RowMessage("src", {"one"}), RowMessage("src", {"two"})};
  for (const std::string& row : rows) dch.sendTo(0, row);
  char buffer[512] = {};
  for (const std::string& row : rows) {
    memset(buffer, 0, sizeof buffer);
    EXPECT_EQ(client.dc_waitOnDataWithdraw(buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer, row.size()), row);
  }
  EXPECT_EQ(client.dc_waitOnDataWithdraw(buffer, sizeof buffer), 1) << "none left, and none waited for";
  EXPECT_EQ(client.dc_waitOnDataDestroy(), 0);
  ASSERT_TRUE(dch.awaitRequests(2));
  EXPECT_EQ(dch.request(1),
            Built([](char* b, size_t n) { return DCH_BuildWaitOnData(b, n, "APPL", "GROUP", DCH_WAIT_REMOVE); }));
  EXPECT_EQ(dch.requestCount(), 2u);
}

TEST_F(WaitHandleTest, ARowReadyWithTheInterruptWins) {
  DCHclient client(1, 0);
  registerForRows(client);
  const std::string row = RowMessage("src", {"v"});
  dch.sendTo(0, row);
  ASSERT_EQ(client.dc_waitOnDataCancel(), 0);
  std::this_thread::sleep_for(milliseconds(20));
  char buffer[512] = {};
  EXPECT_EQ(client.dc_waitOnData(buffer, sizeof buffer), 0);
  EXPECT_EQ(std::string(buffer, row.size()), row);
  EXPECT_EQ(client.dc_waitOnData(buffer, sizeof buffer), DCHCLIENT_CANCELLED);
}

// A datagram from anyone but the server (another process's, landed on a reused port) is no
// row: the waiter drops it and goes on waiting for the server's.
TEST_F(WaitHandleTest, AStrayDatagramOnTheRowSocketIsSkipped) {
  DCHclient client(1, 0);
  registerForRows(client);
  int stranger = OpenLoopbackUdp();
  sockaddr_in waiter = LoopbackAddress(dch.senderPort(0));
  const std::string stray = RowMessage("stray", {"x"});
  sendto(stranger, stray.data(), stray.size(), 0, reinterpret_cast<sockaddr*>(&waiter), sizeof waiter);
  TraceCapture capture;
  char buffer[512] = {};
  std::atomic<int> result{99};
  std::thread reader([&] { result = client.dc_waitOnData(buffer, sizeof buffer); });
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_EQ(result.load(), 99);  // still waiting after the stray
  const std::string row = RowMessage("src", {"v"});
  dch.sendTo(0, row);
  reader.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(std::string(buffer, row.size()), row);
  EXPECT_TRUE(capture.contains("ignored: not the DCH server"));
  close(stranger);
}

TEST_F(WaitHandleTest, WaitOnDataRefusesBadNamesAndBuffers) {
  const std::string name21(21, 'A');
  const std::string name33(33, 'G');
  const struct {
    const char* title;
    std::function<int(DCHclient&)> call;
    const char* trace;
  } cases[] = {
      {"null group", [](DCHclient& c) { return c.dc_waitOnDataInitialize("APPL", nullptr); },
       "Error: applName and/or attrGroup were NULL"},
      {"long application", [&](DCHclient& c) { return c.dc_waitOnDataInitialize(name21.c_str(), "G"); },
       "Error: max length exceeded: applName[21:"},
      {"long group", [&](DCHclient& c) { return c.dc_waitOnDataInitialize("APPL", name33.c_str()); },
       "attrGroup[33:"},
      {"no buffer", [](DCHclient& c) { return c.dc_waitOnData(nullptr, 10); },
       "Error: User must specify an allocated buffer."},
      {"empty buffer",
       [](DCHclient& c) {
         char buffer[1];
         return c.dc_waitOnData(buffer, 0);
       },
       "Error: User must specify an allocated buffer."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    dch.reset();
    DCHclient client(1, 0);
    TraceCapture capture;
    EXPECT_EQ(c.call(client), 1);
    EXPECT_TRUE(capture.contains(c.trace));
    DCHclient other(0, 1);
    ASSERT_EQ(SendMarker(other), 0);
    ASSERT_TRUE(dch.awaitRequests(1));
    EXPECT_TRUE(IsMarker(dch.request(0)));
  }
}

TEST_F(WaitHandleTest, StatusNoticesBecomeText) {
  DCHclient client(0, 0);
  ASSERT_EQ(client.dc_waitForDPStatusInitialize(), 0);
  ASSERT_TRUE(dch.awaitRequests(1));
  EXPECT_EQ(dch.request(0), Built([](char* b, size_t n) { return DCH_BuildWaitForDPStatus(b, n, DCH_WAIT_PARK); }));
  dch.sendTo(0, StatusNotice("APPL", "GROUP", "host1", DCH_dp_online));
  const char* text = client.dc_waitForDPStatus();
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "APPL,GROUP,host1,4117");
  dch.sendTo(0, StatusNotice("APPL", "GROUP", "host1", DCH_dp_offline));
  text = client.dc_waitForDPStatus();
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "APPL,GROUP,host1,4133");
  EXPECT_EQ(client.dc_waitForDPStatusDestroy(), 0);
  ASSERT_TRUE(dch.awaitRequests(2));
  EXPECT_EQ(dch.request(1), Built([](char* b, size_t n) { return DCH_BuildWaitForDPStatus(b, n, DCH_WAIT_REMOVE); }));
}

TEST_F(WaitHandleTest, ANoticeWithoutItsFieldsEndsTheStatusWait) {
  DCHclient client(0, 0);
  ASSERT_EQ(client.dc_waitForDPStatusInitialize(), 0);
  ASSERT_TRUE(dch.awaitRequests(1));
  dch.sendTo(0, Built([](char* b, size_t n) {
    DCHmessageBuilder notice(b, n);
    notice.addText(DCH_applName, "APPL");
    notice.addText(DCH_attrGroup, "GROUP");
    return notice.length();
  }));
  TraceCapture capture;
  EXPECT_EQ(client.dc_waitForDPStatus(), nullptr);
  EXPECT_TRUE(capture.contains("Error: dataType of DCH_sourceName missing: 0"));
  EXPECT_EQ(client.dc_waitForDPStatus(), nullptr);
  EXPECT_TRUE(capture.contains("Bypassed ipcRead, _error <1>"));
}

// The DCH settings, the host name in effect and the IPC type are taken once per process: each
// case below runs in a fresh one.
class ClientInFreshProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};


// Regression: the cancel looked up the host name and sent nothing when it did not resolve.
TEST_F(ClientInFreshProcessTest, CancelReachesTheInterruptSocketWhenTheHostNameDoesNotResolve) {
  EXPECT_EXIT(
      {
        NoNameService nameService{"nowhere.invalid"};
        UseLoopbackDCH();
        setenv("QFEB0_HOSTNAME", "nowhere.invalid", 1);
        DCHclient client(1, 0);
        char buffer[64] = {};
        std::atomic<int> result{99};
        std::thread waiter([&] { result = client.dc_waitOnData(buffer, sizeof buffer); });
        int cancelled = client.dc_waitOnDataCancel();
        waiter.join();
        bool interrupted = cancelled == 0 && result == DCHCLIENT_CANCELLED &&
                           std::string(buffer, DCH_INTERRUPT_SIZE) == InterruptMessage();
        exit(interrupted ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(ClientInFreshProcessTest, AnUnknownIPCTypeEndsTheProcess) {
  EXPECT_EXIT(
      {
        UseLoopbackDCH();
        setenv("ZEVA_DCH_IPCTYPE", "3", 1);
        DCHclient client(0, 1);
        exit(0);
      },
      ::testing::ExitedWithCode(1), "");
}

TEST_F(ClientInFreshProcessTest, ATransportThatCannotReachTheServerEndsTheProcess) {
  EXPECT_EXIT(
      {
        NoNameService nameService{"nowhere.invalid"};
        UseLoopbackDCH();
        setenv("ZEVA_DCH_ADDR", "dch.nowhere.invalid", 1);
        DCHclient client(0, 1);
        exit(0);
      },
      ::testing::ExitedWithCode(1), "");
}

// The local-procedure-call transport sends and receives nothing: the verbs fail.
TEST_F(ClientInFreshProcessTest, VerbsFailOnTheLocalProcedureCallTransport) {
  EXPECT_EXIT(
      {
        UseLoopbackDCH();
        setenv("ZEVA_DCH_IPCTYPE", "2", 1);
        DCHclient provider(0, 1);
        long status = 0;
        long handle = 0;
        bool failed = provider.dp_online(&status, &handle, "APPL", "GROUP", "src") == 1 &&
                      status == DCHCLIENT_STATUS_NOT_SENT;
        DCHclient waiter(1, 0);
        char buffer[64];
        failed = failed && waiter.dc_waitOnData(buffer, sizeof buffer) == 1 && waiter.dc_waitOnDataCancel() == 1;
        exit(failed ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
