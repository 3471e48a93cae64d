// The data-provider log on its own: the catalogue, the formatting of a message
// with its inserts, what is kept by product setting, the batch log, and numbers
// outside the catalogue. The road of a log row to the agent is in
// dch_client_routine_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bare_anchor.h"
#include "data_provider_run.h"
#include "dp_log.h"
#include "prodspec_directory.h"
#include "run_in_child.h"
#include "stdout_capture.h"
#include "trace_capture.h"
#include "zev0/prodspec.h"

namespace {

std::string Format(const char* message, std::vector<const char*> given) {
  const char* inserts[ZEVP_DP_LOG_INSERTS] = {};
  for (size_t i = 0; i < given.size() && i < ZEVP_DP_LOG_INSERTS; ++i) inserts[i] = given[i];
  char out[ZEVP_DP_LOG_TEXT_SIZE];
  ZEVP_FormatDPlogText(message, inserts, out, sizeof out);
  return out;
}

TEST(DPlogTextTest, EachAtSignTakesTheNextInsertAndAMissingOneShowsAQuestionMark) {
  struct Case {
    const char* message;
    std::vector<const char*> inserts;
    const char* expected;
  };
  const Case cases[] = {
      {"DP ready", {}, "DP ready"},
      {"File @ for group @.", {"a.log"}, "File a.log for group ?."},
      {"File @ for group @.", {nullptr, "Grp"}, "File ? for group Grp."},
      {"@ and @", {"x@y", "z"}, "x@y and z"},  // an inserted at sign is not replaced
      {"@@@@@@", {"1", "2", "3", "4", "5"}, "12345@"},  // five inserts at most
      {"@", {""}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(Format(c.message, c.inserts), c.expected);
  }
}

TEST(DPlogTextTest, ALongInsertIsCutToTheBuffer) {
  std::string longInsert(2 * ZEVP_DP_LOG_TEXT_SIZE, 'x');
  std::string text = Format("begin @ end", {longInsert.c_str()});
  EXPECT_EQ(text.size(), ZEVP_DP_LOG_TEXT_SIZE - 1);
  EXPECT_EQ(text.substr(0, 7), "begin x");
}

// The categories by number, as the catalogue lays them out in ranges.
std::string CategoryOf(int number) {
  struct Range {
    int first, last;
    const char* category;
  };
  static const Range ranges[] = {
      {0, 3, "SYSTEM"},     {4, 11, "INFO"},      {12, 12, "WARNING"},  {13, 15, "INFO"},     {16, 17, "SYSTEM"},
      {18, 20, "INFO"},     {21, 21, "SOCKCOMM"}, {22, 23, "ERROR"},    {24, 24, "SOCKCOMM"}, {25, 26, "APICOMM"},
      {27, 28, "APIINFO"},  {29, 30, "ERROR"},    {31, 32, "SOCKCOMM"}, {33, 35, "APIINFO"},  {36, 36, "SYSTEM"},
      {37, 38, "ERROR"},    {39, 39, "SYSTEM"},   {40, 41, "METACOMM"}, {42, 42, "METAINFO"}, {43, 43, "SYSTEM"},
      {44, 45, "METAINFO"}, {46, 46, "ERROR"},    {47, 47, "METACOMM"}, {48, 48, "SYSTEM"},   {49, 49, "ERROR"},
      {50, 50, "METACOMM"}, {51, 51, "ERROR"},    {52, 52, "METACOMM"}, {53, 54, "ERROR"},    {55, 55, "SYSTEM"},
      {56, 56, "ERROR"},    {57, 57, "INFO"},     {58, 58, "ERROR"},    {59, 59, "SYSTEM"},   {60, 62, "ACTINFO"},
      {63, 63, "ERROR"},    {64, 66, "ACTINFO"},  {67, 69, "INFO"},     {70, 71, "SYSTEM"},   {72, 73, "APPCINFO"},
      {74, 74, "SOCKCOMM"}, {75, 76, "INFO"},     {77, 77, "SYSTEM"},   {78, 79, "INFO"},     {80, 81, "SYSTEM"},
      {82, 100, "INFO"},    {101, 101, "SYSTEM"}, {102, 102, "SNMPINFO"}, {103, 104, "SYSTEM"}, {105, 105, "ERROR"},
      {106, 107, "SNMPINFO"}, {108, 109, "SYSTEM"}, {110, 113, "SNMPINFO"}, {114, 114, "INFO"}};
  for (const Range& range : ranges)
    if (number >= range.first && number <= range.last) return range.category;
  return "";
}

TEST(DPlogCatalogueTest, EveryNumberHasItsCategoryInNineCharacters) {
  for (int number = 0; number < ZEVP_DP_LOG_MESSAGE_COUNT; ++number) {
    SCOPED_TRACE(number);
    const char* text = ZEVP_DPlogTemplate(number);
    ASSERT_NE(text, nullptr);
    std::string category(text, std::min<size_t>(std::strlen(text), ZEVP_DP_LOG_CATEGORY_WIDTH));
    ASSERT_EQ(category.size(), static_cast<size_t>(ZEVP_DP_LOG_CATEGORY_WIDTH));
    EXPECT_EQ(category.substr(0, category.find(' ')), CategoryOf(number));
    EXPECT_EQ(category.find_first_not_of(' ', category.find(' ')), std::string::npos) << "blank padded";
  }
  EXPECT_EQ(ZEVP_DPlogTemplate(-1), nullptr);
  EXPECT_EQ(ZEVP_DPlogTemplate(ZEVP_DP_LOG_MESSAGE_COUNT), nullptr);
  EXPECT_STREQ(ZEVP_DPlogTemplate(0), "SYSTEM   DP ready");
  EXPECT_STREQ(ZEVP_DPlogTemplate(114), "INFO     ");
}

TEST(DPlogSendTest, ANumberOutsideTheCatalogueIsRefused) {
  BareAnchor anchor;
  TraceCapture trace("*=0x80");
  for (int number : {-1, 115, 1000}) ZEVP_SendDPlogMessage(anchor.get(), number, "x");
  EXPECT_EQ(trace.count("*****Invalid DP log message number"), 3);
  EXPECT_FALSE(zevp::DPlogQueued(anchor.get()));
}

TEST(DPlogSendTest, MessagesAreKeptOnlyWhileTheProductEnablesTheLog) {
  // A product of its own, which gives item 15 no default.
  const std::vector<std::string> ownProduct = {
      "PRODUCT_CODE=AB",      "NODE_TYPE=AB",     "AGENT_AFF_NAME=AFF_DORVANE", "SUBNODE_AFF_NAME=AFF_DORVANE_DATA",
      "DP_TO_START=FILE",     "DCH_PORT_NUMBER=2020", "DP_PORT_OFFSET=5",       "INITCNFG_FILE_NAME=ABCNFG",
      "ZEVATBLS_FILE_NAME=ABTBLS"};
  const std::pair<const char*, bool> cases[] = {
      {nullptr, false}, {"ENABLE_DPLOG=N", false}, {"ENABLE_DPLOG=no thanks", false}, {"ENABLE_DPLOG=Y", true}};
  for (const auto& [line, kept] : cases) {
    SCOPED_TRACE(line != nullptr ? line : "not given");
    RunInChild([&ownProduct, line = line, kept = kept] {
      ProdSpecDirectory directory;
      std::vector<std::string> lines = ownProduct;
      if (line != nullptr) lines.push_back(line);
      UseProductSpec(directory, lines);
      ASSERT_TRUE(ZEV0_InitializeProductSpec());
      BareAnchor anchor;
      std::vector<std::string> printed;
      {
        StdoutCapture out;
        ZEVP_SendDPlogMessage(anchor.get(), 0);
        printed = out.takeLines();
      }
      EXPECT_TRUE(printed.empty()) << "a sender prints nothing";
      EXPECT_EQ(ZEVP_DPlogEnabled(), kept);
      EXPECT_EQ(zevp::DPlogQueued(anchor.get()), kept);
    });
  }
}

TEST(DPlogSendTest, WithoutAnyAnchorAMessageIsDropped) {
  RunInChild([] {
    ProdSpecDirectory directory;
    UseProductSpec(directory, {"ENABLE_DPLOG=Y"});
    ASSERT_TRUE(ZEV0_InitializeProductSpec());
    TraceCapture trace("*=0x80");
    ZEVP_SendDPlogMessage(nullptr, 0);
    EXPECT_TRUE(trace.contains("DP Log message not processed. Addressability not yet established"));
  });
}

TEST(DPlogBatchTest, InBatchModeEveryMessageIsALineOfTheBatchLogAndNothingIsQueued) {
  std::string path = std::filesystem::temp_directory_path() / ("zev_batch_log_" + std::to_string(getpid()));
  {
    BareAnchor anchor;
    anchor->batchMode = 1;
    ZEVP_OpenBatchLog(anchor.get(), path.c_str());
    StdoutCapture out;
    ZEVP_SendDPlogMessage(anchor.get(), 0);
    ZEVP_SendDPlogMessage(nullptr, 18, "in.log");  // the batch log's anchor serves
    EXPECT_FALSE(zevp::DPlogQueued(anchor.get()));
    EXPECT_TRUE(out.takeLines().empty()) << "the batch log takes SYSTEM messages too";
    ZEVP_CloseBatchLog();
    EXPECT_EQ(anchor->batchLog, nullptr);
  }
  std::ifstream log(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "DP ready",
                       "File in.log does not exist. Monitoring delayed for attribute group ?, wait for file creation..."}));
  std::filesystem::remove(path);
}

TEST(DPlogBatchTest, ABatchLogThatCannotBeOpenedIsStandardOutput) {
  BareAnchor anchor;
  anchor->batchMode = 1;
  TraceCapture trace("*=0x80");
  StdoutCapture out;
  ZEVP_OpenBatchLog(anchor.get(), "/nonexistent/zev/batch.log");
  EXPECT_TRUE(trace.contains("Batch job log /nonexistent/zev/batch.log open failed. ErrorText <"));
  ZEVP_SendDPlogMessage(anchor.get(), 14);
  EXPECT_EQ(out.takeLines(), std::vector<std::string>{"Shutdown command received."});
  ZEVP_CloseBatchLog();
}

}  // namespace
