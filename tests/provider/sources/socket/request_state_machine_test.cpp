// The partner's request state machine against the agent's DCH server in its host
// program: a player serves the DCH work queue as the DCH client routine does, the
// test thread is the server thread that owns the partners' sources, and loopback
// sockets play the partners (replies come to them, rows to a parked consumer).
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "application_entry.h"
#include "attribute_entry.h"
#include "dch_requests.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "dp_log_recorder.h"
#include "io_entry.h"
#include "partner_binding.h"
#include "partner_sockets.h"
#include "partner_sources.h"
#include "provider_road_fixture.h"
#include "request_state_machine.h"
#include "running_provider.h"
#include "source_entry.h"
#include "table_entry.h"

namespace {

constexpr int kReplyWaitMs = 2000;

// Group Grp takes a socket partner on this host, group Api the API partners.
const std::vector<std::string> kMetafile = {
    "//APPL Sma",       "//NAME Grp P 60", "//SOURCE SOCK 127.0.0.1", "//ATTRIBUTES ';'", "Name D 16",
    "Count C 100000 +FILTER={NUMBER>(0,0)}", "//NAME Api P 60",       "//ATTRIBUTES ';'", "Name D 16",
    "Count C 100000"};

std::string Request(const std::string& verb, const std::string& operands = "") {
  return "ZEVPAPI300" + verb + operands;
}

class RequestStateMachineTest : public ProviderRoadTest {
 protected:
  explicit RequestStateMachineTest(SourceRequest perform = PerformRequestAsTheRoutine) : ProviderRoadTest(perform) {}
  void SetUp() override {
    ProviderRoadTest::SetUp();
    if (HasFatalFailure()) return;
    models().write("sma.mdl", kMetafile);
    application_ = models().parse("sma.mdl", 0).application;
    ASSERT_NE(application_, nullptr);
    owner_ = std::make_unique<SourceOwner>(anchor());
    socketSource_ = SourceOf(application_, 0);
    ASSERT_EQ(ZEVP_SourceStateOf(socketSource_), ZEVP_Ready);
    bindDatagramSender(socketSource_);
    anchor()->startTime = 1700000042;
  }
  void TearDown() override {
    owner_.reset();
    ProviderRoadTest::TearDown();
  }

  // Binds the source's partner to the test's datagram ends: the server's socket and the sender.
  void bindDatagramSender(SourceEntry* source) {
    zevp::BindPartner(source->IO, server_.socket(), 0, sender_.address());
    zevp::TakeSourceForPeer(source, owner_->entry(), sender_.address());
  }
  // A dynamic source of an API session on a connection (one end of a socket pair).
  SourceEntry* openSession() {
    SourceEntry* source = ZEVP_InitializeSourceEntry(anchor(), nullptr, "BASE", nullptr, nullptr, nullptr);
    source->Dynamic = 1;
    source->ImmediateOffline = 1;
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, session_), 0);
    zevp::BindPartner(source->IO, session_[0], session_[0], sender_.address());
    zevp::TakeSourceForPeer(source, owner_->entry(), sender_.address());
    ZEVP_UpdateSourceEntryState(source, ZEVP_Connected);
    return source;
  }
  void closeSession(SourceEntry* source) {
    source->IO->ConnectionSocket = 0;
    source->IO->Socket = 0;
    close(session_[0]);
    close(session_[1]);
  }

  void send(SourceEntry* source, std::string bytes) {
    ZEVP_ProcessSockRequestByState(anchor(), owner_->entry(), source->IO, static_cast<int>(bytes.size()), bytes.data());
  }
  // The reply to a datagram sender, in the local code; "<none>" when none came.
  std::string datagramReply(int waitMs = kReplyWaitMs) {
    std::string reply = sender_.next(waitMs);
    return reply == "<none>" ? reply : ToLocalCode(reply);
  }
  std::string sessionReply() {
    char bytes[2048];
    ssize_t n = recv(session_[1], bytes, sizeof bytes, 0);
    return n > 0 ? ToLocalCode(std::string(bytes, static_cast<size_t>(n))) : "<none>";
  }
  // The name and control field of the next row of the group; "<none>" when none came.
  static std::string NextRow(RowWaiter& rows, int waitMs = kAnswerWaitMs) {
    Row row;
    if (!ReadRow(rows.next(waitMs), &row) || row.values.empty()) return "<none>";
    return row.values[0].c_str() + std::string("/") + std::to_string(row.controlField);
  }

  ApplicationEntry* application_ = nullptr;
  SourceEntry* socketSource_ = nullptr;
  std::unique_ptr<SourceOwner> owner_;
  DatagramEnd server_;
  DatagramEnd sender_;
  int session_[2] = {-1, -1};
};

// A state that takes no request changes nothing: an API partner is answered 13
// (Active) or 94, a socket partner's records are dropped.
TEST_F(RequestStateMachineTest, AStateThatTakesNoRequestChangesNothing) {
  SourceEntry* apiSource = SourceOf(application_, 1);
  bindDatagramSender(apiSource);
  const struct {
    int32_t state;
    int socketStatus;  // what the state machine says (socket partners are not answered)
    int apiStatus;
  } cases[] = {
      {ZEVP_Initial, 94, 94}, {ZEVP_Register, 94, 94}, {ZEVP_Pending, 94, 94}, {ZEVP_Active, 13, 13},
      {ZEVP_Output, 94, 94},  {ZEVP_Action, 94, 94},   {ZEVP_Reply, 94, 94},   {ZEVP_Connected, 94, -1},
      {42, 94, 94},
  };
  RowWaiter rows("Sma", "Grp");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    ZEVP_UpdateSourceEntryState(socketSource_, c.state);
    send(socketSource_, "a;1\n");
    EXPECT_EQ(ZEVP_SourceStateOf(socketSource_), c.state);
    if (c.apiStatus < 0) continue;
    ZEVP_UpdateSourceEntryState(apiSource, c.state);
    send(apiSource, Request("SNDDTA", "a;1"));
    EXPECT_EQ(datagramReply(), std::to_string(c.apiStatus) + " 1700000042");
    EXPECT_EQ(ZEVP_SourceStateOf(apiSource), c.state);
  }
  EXPECT_EQ(NextRow(rows, kSilenceMs), "<none>");
  EXPECT_EQ(datagramReply(kSilenceMs), "<none>") << "socket partners get no reply";
}

// The association record of a partner that comes only puts the source online; bound
// again, the partner's association record is passed by and its records are rows.
TEST_F(RequestStateMachineTest, AnAssociationRecordPutsTheSourceOnlineAndIsPassedByWhenBoundAgain) {
  RowWaiter rows("Sma", "Grp");
  syncWithServer();
  const std::string buffer = "//sma\r\nfirst;1\r\nsecond;2\r\n";
  send(socketSource_, buffer);
  EXPECT_EQ(ZEVP_SourceStateOf(socketSource_), ZEVP_Input);
  EXPECT_EQ(NextRow(rows, kSilenceMs), "<none>");

  socketSource_->IO->NewBinding = 1;
  send(socketSource_, buffer);
  EXPECT_EQ(NextRow(rows), "first/17");
  EXPECT_EQ(NextRow(rows), "second/17");
  EXPECT_EQ(socketSource_->IO->NewBinding, 0);
  send(socketSource_, "//sma\r\n");
  EXPECT_EQ(NextRow(rows, kSilenceMs), "<none>") << "an association record is no row, bound or not";
}

// Records after a Ready source's first buffer go on as rows; one that its filter
// holds back (Count 0) or that does not split is passed by, the next still come.
TEST_F(RequestStateMachineTest, ARecordThatMakesNoRowIsPassedByAndTheRestOfItsBufferComes) {
  RowWaiter rows("Sma", "Grp");
  syncWithServer();
  send(socketSource_, "one;1\ntwo;0\nthree;3\n");
  EXPECT_EQ(ZEVP_SourceStateOf(socketSource_), ZEVP_Input);
  EXPECT_EQ(NextRow(rows), "one/17");
  EXPECT_EQ(NextRow(rows), "three/17");
  EXPECT_EQ(NextRow(rows, kSilenceMs), "<none>");
}

// An API session before and after its BGNINP, its rows in and out of a block, action
// results, its end of input.
TEST_F(RequestStateMachineTest, AnAPIsessionAssociatesSendsBlocksAndEndsItsInput) {
  DPlogRecorder log;
  SourceEntry* source = openSession();
  TableEntry* api = application_->FirstTable->next;
  const struct {
    std::string request;
    std::string reply;
  } connected[] = {
      {"ZEVPAPI200BGNINPSma Api ", "90 1700000042"},
      {"ZEVPAPI30XSNDDTAx;1", "90 1700000042"},
      {Request("SNDDTA", "x;1"), "13 1700000042"},
      {Request("ENDROW"), "13 1700000042"},
      {Request("BGNINP", "Nope Api "), "51 1700000042"},
      {Request("BGNINP", "Sma Nope "), "52 1700000042"},
      {Request("ACCREQ", "1;0"), "0 1700000042"},
      {Request("SETSRC", std::string(33, 'n')), "39 1700000042"},
      {Request("SETSRC", "node1 node2 "), "0 1700000042"},
  };
  for (const auto& c : connected) {
    SCOPED_TRACE(c.request);
    send(source, c.request);
    EXPECT_EQ(sessionReply(), c.reply);
    EXPECT_EQ(ZEVP_SourceStateOf(source), ZEVP_Connected);
  }
  EXPECT_EQ(source->Table, nullptr);
  EXPECT_EQ(source->AcceptActionRequests, 1);
  EXPECT_EQ(source->ActionResultWait, 60);
  EXPECT_STREQ(source->pSourceNodeName, "node1");

  RowWaiter rows("Sma", "Api");
  syncWithServer();
  send(source, Request("BGNINP", "Sma Api "));
  EXPECT_EQ(sessionReply(), "0 1700000042#;");
  EXPECT_EQ(ZEVP_SourceStateOf(source), ZEVP_Input);
  EXPECT_EQ(source->Table, api);
  EXPECT_EQ(api->FirstSource->next, source) << "joined the group";
  EXPECT_NE(source->FirstAttribute, nullptr);
  EXPECT_EQ(log.waitFor(33), (DPlogMessage{33, {"Sma", "Api", "localhost"}, true}));

  const struct {
    std::string request;
    std::string reply;
    std::vector<std::string> rows;
  } input[] = {
      {Request("SNDDTA", "a;1"), "0 1700000042", {"a/17"}},
      {Request("BGNROW"), "0 1700000042", {}},
      {Request("SNDDTA", "b;2\nc;3\nd;4"), "0 1700000042", {"b/1", "c/0"}},
      {Request("SNDDTA", "e;5"), "0 1700000042", {"d/0"}},
      {Request("ENDROW"), "0 1700000042", {"e/16"}},
      {Request("SNDDTA", "f;6\ng;7"), "0 1700000042", {"f/17", "g/17"}},
      {Request("ACCREQ", "1;-5"), "0 1700000042", {}},
      {Request("RESULT", "x;y"), "93 1700000042", {}},
      {Request("RESULT", "5;done;"), "85 1700000042", {}},
      {Request("RCVREQ"), "0 1700000042", {}},
      {Request("BGNINP", "Sma Api "), "13 1700000042", {}},
  };
  for (const auto& c : input) {
    SCOPED_TRACE(c.request);
    send(source, c.request);
    EXPECT_EQ(sessionReply(), c.reply);
    for (const std::string& row : c.rows) EXPECT_EQ(NextRow(rows), row);
    EXPECT_EQ(ZEVP_SourceStateOf(source), ZEVP_Input);
  }
  EXPECT_EQ(source->ActionResultWait, -1);
  EXPECT_EQ(NextRow(rows, kSilenceMs), "<none>");

  ZEVP_UpdateSourceEntryState(source, ZEVP_Inactive);
  send(source, Request("ENDINP"));
  EXPECT_EQ(sessionReply(), "0 1700000042");
  EXPECT_EQ(ZEVP_SourceStateOf(source), ZEVP_Connected) << "the session stays";
  EXPECT_EQ(source->Table, nullptr);
  EXPECT_EQ(source->FirstAttribute, nullptr);
  EXPECT_EQ(api->FirstSource->next, nullptr) << "left the group";
  EXPECT_EQ(log.waitFor(35), (DPlogMessage{35, {"Sma", "Api", "localhost"}, true}));
  closeSession(source);
  zevp::ReleaseDynamicPartner(anchor(), source->IO);
}

// The agent refuses every row whose first value is "bad" (a status other than 0; the
// source stays Output, as the DCH client routine leaves it).
void RefuseBadRows(SourceEntry* source, DCHcomm* comm) {
  const AttributeEntry* first = source->FirstAttribute;
  if (source->State == ZEVP_Output && first != nullptr &&
      std::string(first->Value(), static_cast<size_t>(first->ActualValSize)) == "bad") {
    ZEVP_SetDCHstatus(comm, 1);
    return;
  }
  PerformRequestAsTheRoutine(source, comm);
}

class RefusingAgentTest : public RequestStateMachineTest {
 protected:
  RefusingAgentTest() : RequestStateMachineTest(RefuseBadRows) {}
};

// A refused row is answered 92 and ends its block; the rows after it in the same
// request still go, each on its own, and so do the partner's later requests.
TEST_F(RefusingAgentTest, ARefusedRowLosesNoOtherRowOfItsRequest) {
  SourceEntry* source = openSession();
  RowWaiter rows("Sma", "Api");
  syncWithServer();
  send(source, Request("BGNINP", "Sma Api "));
  EXPECT_EQ(sessionReply(), "0 1700000042#;");
  const struct {
    std::string request;
    std::string reply;
    std::vector<std::string> rows;
  } cases[] = {
      {Request("SNDDTA", "a;1\nbad;2\nc;3"), "92 1700000042", {"a/17", "c/17"}},
      {Request("BGNROW"), "0 1700000042", {}},
      // "bad" is held, refused when d comes: d and e go at once.
      {Request("SNDDTA", "b;1\nbad;2\nd;3\ne;4"), "92 1700000042", {"b/1", "d/17", "e/17"}},
      {Request("SNDDTA", "f;5\nbad;6"), "92 1700000042", {"f/17"}},
      {Request("SNDDTA", "g;7"), "0 1700000042", {"g/17"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    send(source, c.request);
    EXPECT_EQ(sessionReply(), c.reply);
    for (const std::string& row : c.rows) EXPECT_EQ(NextRow(rows), row);
    EXPECT_EQ(ZEVP_SourceStateOf(source), ZEVP_Input);
  }
  EXPECT_EQ(NextRow(rows, kSilenceMs), "<none>");
  ZEVP_UpdateSourceEntryState(source, ZEVP_Inactive);
  send(source, Request("ENDINP"));
  EXPECT_EQ(sessionReply(), "0 1700000042");
  closeSession(source);
  zevp::ReleaseDynamicPartner(anchor(), source->IO);
}

// A socket partner's refused row, the last of its buffer, keeps no later record out.
TEST_F(RefusingAgentTest, ASocketPartnersRefusedRowKeepsNoLaterRecordOut) {
  RowWaiter rows("Sma", "Grp");
  syncWithServer();
  send(socketSource_, "one;1\nbad;2\n");
  send(socketSource_, "three;3\n");
  EXPECT_EQ(NextRow(rows), "one/17");
  EXPECT_EQ(NextRow(rows), "three/17");
  EXPECT_EQ(ZEVP_SourceStateOf(socketSource_), ZEVP_Input);
}

}  // namespace
