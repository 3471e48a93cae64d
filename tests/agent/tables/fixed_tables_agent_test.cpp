// The fixed tables of the agent program zeva350, asked through its framework port as the
// management server would: the remote-file table serves the definition files of an online
// application, the action table turns an alert into one TRAPEMIT action at the parked data
// providers of the alert's host.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "agent_process.h"
#include "eventually.h"
#include "raw_action_requests.h"
#include "raw_dch_peer.h"

namespace {

constexpr int kStartWaitMs = 10000;
constexpr int kSilenceMs = 300;
constexpr size_t kMostRowText = 511;

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A file's rows as the port shows them: whole lines, as many as fit 511 characters with
// their line feeds, trailing blanks dropped, the line feeds between them shown as blanks.
std::vector<std::string> RowsOf(const std::string& text, const std::string& node, const std::string& kind) {
  std::vector<std::string> rows;
  std::string gathered;
  auto handOver = [&] {
    std::string shown = gathered.substr(0, gathered.size() - 1);
    shown.erase(shown.find_last_not_of(' ') + 1);
    for (char& c : shown)
      if (c == '\n') c = ' ';
    rows.push_back(shown + "\t" + node + "\t" + kind);
  };
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (gathered.size() + line.size() + 1 > kMostRowText) {
      handOver();
      gathered.clear();
    }
    gathered += line + "\n";
  }
  if (!gathered.empty()) handOver();
  return rows;
}

// The answer's lines after its header.
std::vector<std::string> Rows(const ToolRun& run) {
  std::vector<std::string> rows;
  std::istringstream lines(run.output);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) rows.push_back(line);
  return rows;
}

class FixedTablesAgentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(agent_.start({"NODP"})) << agent_.failure();
    ASSERT_TRUE(agent_.waitForTrace("Waiting for DP status change.", kStartWaitMs)) << agent_.traceText();
  }
  void TearDown() override {
    EXPECT_EQ(agent_.terminate(kStartWaitMs), 0) << agent_.errorText();
    EXPECT_EQ(agent_.errorText().find("Sanitizer"), std::string::npos) << agent_.errorText();
  }

  ToolRun sample(const std::vector<std::string>& predicates, const std::string& application,
                 const std::string& table) {
    std::vector<std::string> words{"sample"};
    for (const std::string& predicate : predicates) words.insert(words.end(), {"-w", predicate});
    words.insert(words.end(), {application, table});
    return agent_.zevraf(words);
  }

  AgentProcess agent_;
};

TEST_F(FixedTablesAgentTest, TheRemoteFileTableServesTheDefinitionFilesOfAnOnlineApplication) {
  ToolRun tables = agent_.zevraf({"tables"});
  EXPECT_NE(tables.output.find("Q7SRV\tRMTFILE\n"), std::string::npos) << tables.output;
  EXPECT_NE(tables.output.find("ZEV\tZEVACT\n"), std::string::npos);

  rawdch::TcpPeer peer(agent_.dchPort());
  ASSERT_TRUE(peer.exchange(rawdch::RegisterRequest("ONEAPP", "an application",
                                                    {{"GRP1", "a group", 'P', 300, "Count,C,4, ,a count;"}}),
                            kStartWaitMs)
                  .status == 0);
  ASSERT_TRUE(peer.exchange(rawdch::OnlineRequest("ONEAPP", "GRP1", "srcA"), kStartWaitMs).hasHandle);
  const std::string node = "srcA:ONEAPP00";
  ASSERT_TRUE(Eventually([&] { return !LinesWith(agent_.zevraf({"subnodes"}), node + "\t").empty(); }, kStartWaitMs))
      << agent_.traceText();

  // One group with one integer: @ A C P I, then C P D D T.
  ToolRun catalogue = sample({"ORIGINNODE=" + node, "RMTFILE=*CAT"}, "Q7SRV", "RMTFILE");
  ASSERT_EQ(catalogue.exitStatus, 0) << catalogue.errors;
  EXPECT_EQ(catalogue.output.substr(0, catalogue.output.find('\n')), "filerow\toriginnode\trmtfile");
  std::vector<std::string> rows = Rows(catalogue);
  ASSERT_EQ(rows.size(), 2u) << catalogue.output;
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string kinds;
    std::istringstream records(rows[i].substr(0, rows[i].find('\t')));
    for (std::string record; records >> record;)
      if (record.size() > 1 && record.compare(1, 5, "ONE00") == 0) kinds += record[0];
    EXPECT_EQ(kinds, i == 0 ? "@ACPI" : "CPDDT") << rows[i];
  }
  const std::string work = agent_.directory();
  EXPECT_EQ(rows, RowsOf(FileText(work + "ONECAT00"), node, "*CAT"));

  const struct {
    const char* asked;
    const char* file;
  } kinds[] = {{"*CATALOGUE", "ONECAT00"}, {"*ATTR", "ONEATR00"}, {"*ODI", "ONEODI00"}};
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.asked);
    ToolRun run = sample({"ORIGINNODE=" + node, std::string("RMTFILE=") + kind.asked}, "Q7SRV", "RMTFILE");
    EXPECT_EQ(Rows(run), RowsOf(FileText(work + kind.file), node, kind.asked)) << run.output << run.errors;
  }

  std::filesystem::remove(work + "ONEATR00");
  const struct {
    std::vector<std::string> predicates;
    const char* trace;
  } refused[] = {
      {{"RMTFILE=*CAT"}, "Error: ORIGINNODE was NULL."},
      {{"ORIGINNODE=" + node, "RMTFILE=*SQL"}, "Error: RMTFILE <*SQL> not recognized."},
      {{"ORIGINNODE=srcA:NOAPP00", "RMTFILE=*CAT"}, "Error: could not resolve dataList pointer using:"},
      {{"ORIGINNODE=" + node, "RMTFILE=*ATTR"}, "Error: Unable to open "},
      {{"ORIGINNODE=srcA:../x00", "RMTFILE=*CAT"}, "Error: applKey_tableName_RR was NULL."},
      {{"ORIGINNODE=srcA:0", "RMTFILE=*CAT"}, "Error: applKey_tableName_RR was NULL."},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.trace);
    ToolRun run = sample(c.predicates, "Q7SRV", "RMTFILE");
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_TRUE(Rows(run).empty()) << run.output;
    EXPECT_TRUE(agent_.waitForTrace(c.trace, kStartWaitMs)) << agent_.traceText();
  }
}

constexpr char kAlertNode[] = "peerhost:MYAPP00";
const std::string kAttrVals = "a;b;c;_SITNODE=peerhost:MYAPP00;_ATTRPREF=Count=7~";

std::vector<std::string> Alert(const std::string& attrvals, const std::string& trapDest = "trapsink",
                               const std::string& node = kAlertNode) {
  return {"ORIGINNODE=" + node,       "SITNAME=HighLoad", "SITTIME=1240101120000000", "SEVERITY=Critical",
          "CATEGORY=Performance", "TRAPDEST=" + trapDest, "ATTRVALS=" + attrvals};
}

TEST_F(FixedTablesAgentTest, TheActionTableSendsOneTrapEmitPerSampleAndAnswersItsStatus) {
  rawdch::TcpPeer parked(agent_.dchPort());
  ASSERT_TRUE(parked.exchange(rawdch::WaitForActionRequest(1, "peerhost"), kStartWaitMs).status == 0);

  ToolRun run = sample(Alert(kAttrVals), "ZEV", "ZEVACT");
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  EXPECT_EQ(run.output, "originnode\treqrc\tsitname\tsitorg\tsittime\tseverity\tcategory\ttrapdest\tattrvals\n"
                        "peerhost:MYAPP00\t0\tHighLoad\tpeerhost:MYAPP00\t1240101120000000\tCritical\tPerformance\t"
                        "trapsink\t" + kAttrVals + "\n");
  rawdch::ActionMessage first = rawdch::ReadActionMessage(parked.receive(kStartWaitMs));
  ASSERT_TRUE(first.valid);
  EXPECT_EQ(first.actionType, 1);
  EXPECT_EQ(first.name, "TRAPEMIT");
  EXPECT_EQ(first.owner, "HighLoad");
  EXPECT_EQ(first.node, kAlertNode);
  EXPECT_EQ(first.parms,
            "DEST(trapsink) SIT(HighLoad) TIME(1240101120000000) NODE(peerhost:MYAPP00) SEV(Critical) "
            "CAT(Performance) LIST(Count=7)");

  ASSERT_EQ(sample(Alert(kAttrVals), "ZEV", "ZEVACT").exitStatus, 0);
  rawdch::ActionMessage second = rawdch::ReadActionMessage(parked.receive(kStartWaitMs));
  ASSERT_TRUE(second.valid);
  EXPECT_NE(second.actionID, first.actionID);

  // An origin node longer than a subnode name: the node goes whole, the subnode cut.
  const std::string longNode = "peerhost:" + std::string(40, 'N');
  ASSERT_EQ(sample(Alert(kAttrVals, "trapsink", longNode), "ZEV", "ZEVACT").exitStatus, 0);
  rawdch::ActionMessage cut = rawdch::ReadActionMessage(parked.receive(kStartWaitMs));
  ASSERT_TRUE(cut.valid) << agent_.traceText();
  EXPECT_EQ(cut.node, longNode);
}

// An alert the table cannot serve is answered REQRC -1, and no action goes.
TEST_F(FixedTablesAgentTest, AnAlertThatCannotBeServedIsAnsweredMinusOneAndSendsNothing) {
  rawdch::TcpPeer parked(agent_.dchPort());
  ASSERT_TRUE(parked.exchange(rawdch::WaitForActionRequest(1, "peerhost"), kStartWaitMs).status == 0);
  const std::string longList = "a;b;c;_SITNODE=peerhost:MYAPP00;_ATTRPREF=" + std::string(1000, 'x') + "~";
  const struct {
    const char* what;
    std::vector<std::string> predicates;
    const char* trace;
  } cases[] = {
      {"two items", Alert(kAttrVals + "d;e;f;_SITNODE=x;_ATTRPREF=y~"),
       "Error: Operation Mode of Take_action_once not supported."},
      {"no _SITNODE", Alert("a;b;c;d;_ATTRPREF=Count=7~"), "Error: could not find _SITNODE in <d>"},
      {"empty first field", Alert(";b;c;_SITNODE=x;_ATTRPREF=y~"), "Warning: received empty result rows from QMS."},
      {"a parameter over 1024 characters", Alert(longList), "Error: TRAPEMIT parameter of "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ToolRun run = sample(c.predicates, "ZEV", "ZEVACT");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    std::vector<std::string> rows = Rows(run);
    ASSERT_EQ(rows.size(), 1u) << run.output;
    EXPECT_EQ(rows[0].substr(0, std::string(kAlertNode).size() + 4), std::string(kAlertNode) + "\t-1\t");
    EXPECT_TRUE(agent_.waitForTrace(c.trace, kStartWaitMs)) << agent_.traceText();
  }
  std::vector<std::string> withSitOrg = Alert(kAttrVals);
  withSitOrg.push_back("SITORG=peerhost:MYAPP00");
  ASSERT_EQ(sample(withSitOrg, "ZEV", "ZEVACT").exitStatus, 0);
  EXPECT_TRUE(agent_.waitForTrace("Error: Unrecognized column <SITORG    >", kStartWaitMs));
  EXPECT_EQ(parked.receive(kSilenceMs), "") << "no action went";
}

}  // namespace
