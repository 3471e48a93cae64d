// The HTTP data provider in the agent program zeva350, sampled through its
// framework port as the management server would: the URLs of the configuration
// file, pages of an HTTP server of the test, become rows of Managed_URL and their
// pages' objects rows of URL_Objects; a polled situation's rule monitors a URL for
// as long as the situation runs.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "agent_process.h"
#include "dch/dch_api.h"
#include "dch_test_settings.h"
#include "eventually.h"
#include "proc_text.h"
#include "test_http_server.h"
#include "text_patterns.h"

namespace {

constexpr int kStartWaitMs = 10000;
constexpr int kCheckWaitMs = 15000;
constexpr char kTitledPage[] = "<html><head><title>Shop Books</title></head><body>the shop</body></html>";
constexpr char kImagesPage[] = "<title>Pictures</title><img src=\"/img/a.gif\"><img src='img/b.jpg'>";

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  return fields;
}

// A sample's rows as column name to value, by the value of the key column.
using Rows = std::map<std::string, std::map<std::string, std::string>>;

class HTTPagentTest : public ::testing::Test {
 protected:
  // The agent's DCH port is the one this process's consumer verbs reach.
  bool start(const std::vector<std::string>& settings) {
    std::vector<std::string> all = {"ZEVA_DCH_PORT=" + std::to_string(LoopbackDCHPort()),
                                    "ZEVP_URL_DATASET_PERIOD=6", "ZEVP_URL_DATASET_MIN_SAMPLES=3"};
    all.insert(all.end(), settings.begin(), settings.end());
    return agent_.start({"HTTP"}, all);
  }
  // The tables of the application Internet, by their first attribute after URL.
  void findTables() {
    ASSERT_TRUE(Eventually(
        [&] {
          std::vector<std::string> tables = LinesWith(agent_.zevraf({"tables"}), "INTERNET00\t");
          for (const std::string& table : tables) {
            std::string name = table.substr(table.find('\t') + 1);
            std::string header = agent_.zevraf({"sample", "INTERNET00", name}).output;
            (header.find("\tStatus\t") != std::string::npos ? managed_ : objects_) = name;
          }
          return !managed_.empty() && !objects_.empty();
        },
        kStartWaitMs))
        << agent_.traceText();
  }
  Rows sample(const std::string& table, const std::string& key) {
    Rows rows;
    std::istringstream lines(agent_.zevraf({"sample", "INTERNET00", table}).output);
    std::string line;
    std::getline(lines, line);
    const std::vector<std::string> columns = Split(line);
    while (std::getline(lines, line)) {
      std::vector<std::string> values = Split(line);
      std::map<std::string, std::string> row;
      for (size_t i = 0; i < columns.size(); ++i) row[columns[i]] = i < values.size() ? values[i] : "";
      rows[row[key]] = row;
    }
    return rows;
  }
  bool stdoutHas(const std::string& line, int waitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      std::string read = agent_.readLine(waitMs);
      if (read == line) return true;
      if (read.empty()) break;
    }
    return false;
  }

  AgentProcess agent_;
  std::string managed_;
  std::string objects_;
};

TEST_F(HTTPagentTest, TheURLsOfTheConfigurationFileAreSampledWithTheirStatusesAndObjects) {
  TestHTTPServer server([](const HTTPrequest& request) {
    if (request.target == "/titled") return Page(200, "OK", kTitledPage, {"Server: TestServer/2.1 (loopback)"});
    if (request.target == "/moved") return Page(302, "Found", "", {"Location: /titled"});
    if (request.target == "/images") return Page(200, "OK", kImagesPage);
    if (request.target.rfind("/img/", 0) == 0) return Page(200, "OK", "picture-bytes");
    return Page(404, "Not Found", "<title>gone</title>");
  });
  const std::string tooLong = server.url("/") + std::string(1025 - server.url("/").size(), 'x');
  std::ofstream(agent_.directory() + "ZEVPURLS") << "* the test's server\n"
                                                  << server.url("/titled") << " ALIAS=Shop\n"
                                                  << "\n"
                                                  << server.url("/missing") << " INTERVAL=never\n"
                                                  << tooLong << "\n"
                                                  << server.url("/moved") << "\n"
                                                  << server.url("/images") << " ALIAS=Pics\n";
  ASSERT_TRUE(start({})) << agent_.failure();
  findTables();
  EXPECT_TRUE(stdoutHas("HTTP DP manager task active", kStartWaitMs));

  Rows rows;
  ASSERT_TRUE(Eventually([&] { return (rows = sample(managed_, "URL")).size() == 4; }, kCheckWaitMs))
      << agent_.traceText();
  const std::string stamp(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d \d{3})");
  for (auto& [url, row] : rows) {
    SCOPED_TRACE(url);
    EXPECT_TRUE(MatchesPattern(row["Status_Timestamp"], stamp)) << row["Status_Timestamp"];
    EXPECT_EQ(row["User_Name"], "INITCNFG");
    EXPECT_EQ(row["ISP_Name"], "LAN");
    EXPECT_EQ(row["Status_Interval"], "2");
    EXPECT_EQ(row["HTTP_Version"], "1.1");
    const int current = std::stoi(row["Current_Response_Time"]);
    const int maximum = std::stoi(row["Maximum_Response_Time"]);
    const int average = std::stoi(row["Average_Response_Time"]);
    EXPECT_LE(current, maximum);
    EXPECT_LE(average, maximum);
    if (row["Total_Samples_Taken"] == "1") {
      EXPECT_TRUE(current == maximum && average == maximum);
    }
  }
  std::map<std::string, std::string>& titled = rows[server.url("/titled")];
  EXPECT_EQ(titled["Status"], "OK");
  EXPECT_EQ(titled["Page_Title"], "Shop Books");
  EXPECT_EQ(titled["Page_Size"], std::to_string(sizeof kTitledPage - 1));
  EXPECT_EQ(titled["URL_Alias"], "Shop");
  EXPECT_EQ(titled["Server_Type"], "TestServer/2.1");
  std::map<std::string, std::string>& missing = rows[server.url("/missing")];
  EXPECT_EQ(missing["Status"], "404: Not Found");
  EXPECT_EQ(missing["Page_Size"], "0");
  EXPECT_EQ(missing["Total_Samples_Taken"], "0");
  EXPECT_EQ(rows[server.url("/moved")]["Status"], "OK");
  EXPECT_EQ(rows[server.url("/moved")]["Page_Title"], "Shop Books") << "the redirection is followed";
  EXPECT_EQ(rows[server.url("/images")]["URL_Alias"], "Pics");
  EXPECT_TRUE(sample(objects_, "Object_Name").empty()) << "no objects at the first check";
  EXPECT_NE(ProcText("/proc/" + std::to_string(agent_.pid()) + "/maps").find("libcurl"), std::string::npos)
      << "the HTTP data provider opened the transport";

  // The next checks: the samples grow, and the page's objects come from the second.
  ASSERT_TRUE(Eventually(
      [&] { return std::stoi("0" + sample(managed_, "URL")[server.url("/titled")]["Total_Samples_Taken"]) >= 2; },
      kCheckWaitMs));
  Rows objects;
  ASSERT_TRUE(Eventually([&] { return (objects = sample(objects_, "Object_Name")).size() == 2; }, kCheckWaitMs));
  EXPECT_EQ(objects[server.url("/img/a.gif")]["URL"], server.url("/images"));
  EXPECT_EQ(objects[server.url("/img/b.jpg")]["Object_Size"], "13");
  const std::string trace = agent_.traceText();
  EXPECT_NE(trace.find("URL length 1025 too large. Max length 1024"), std::string::npos);
  EXPECT_NE(trace.find("Non-numeric value specified on INTERVAL= parameter for URL <" + server.url("/missing") + ">"),
            std::string::npos);

  EXPECT_EQ(agent_.terminate(kStartWaitMs * 2), 0) << agent_.errorText();
  EXPECT_EQ(agent_.errorText().find("Sanitizer"), std::string::npos) << agent_.errorText();
  EXPECT_TRUE(stdoutHas("HTTP DP manager task ended", kStartWaitMs));
}

// A polled situation S on Managed_URL sends its rule down as the agent's table agent
// does (docs/situation-rules.md): its URL is monitored for S, and leaves the table
// when S ends.
TEST_F(HTTPagentTest, ASituationsRuleMonitorsItsURLUntilTheSituationStops) {
  TestHTTPServer server([](const HTTPrequest&) { return Page(200, "OK", kTitledPage); });
  const std::string url = server.url("/watched");
  DCH_api_init();
  ASSERT_TRUE(start({})) << agent_.failure();
  findTables();
  const char kNode[] = "localhost:INTERNETMANAGED_URL00";
  const char kSubnode[] = "localhost:INTERNET00";
  const std::string rule = "INTERVAL=60 APPLNAME=Internet ATTRGROUP=Managed_URL ATTRIBUTES=(URL EQ " + url + ")";
  ASSERT_EQ(dc_provideAction(2, "S", kNode, kSubnode, "RULESTART", 41, rule.c_str()), 0);
  Rows rows;
  ASSERT_TRUE(Eventually([&] { return (rows = sample(managed_, "URL")).count(url) == 1; }, kCheckWaitMs))
      << agent_.traceText();
  EXPECT_EQ(rows[url]["User_Name"], "S");
  EXPECT_EQ(rows[url]["Status"], "OK");
  EXPECT_EQ(rows[url]["Status_Interval"], "2") << "held to the default interval";

  ASSERT_EQ(dc_provideAction(2, "S", kNode, kSubnode, "RULESTOP", 41, nullptr), 0);
  EXPECT_TRUE(Eventually([&] { return sample(managed_, "URL").count(url) == 0; }, kCheckWaitMs));
  EXPECT_NE(agent_.traceText().find("URL <" + url + "> Owner <S> removed from list of monitored URLs"),
            std::string::npos);
  EXPECT_EQ(agent_.terminate(kStartWaitMs * 2), 0) << agent_.errorText();
  EXPECT_EQ(agent_.errorText().find("Sanitizer"), std::string::npos) << agent_.errorText();
}

}  // namespace
