// The SHOW reply of applications parsed from small metafiles: its records, its
// labels, and its segments when the text grows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "metafile_fixture.h"
#include "model_records.h"
#include "show_reply.h"
#include "zev0/storage.h"

namespace {

class ShowReplyTest : public ::testing::Test {
 protected:
  ApplicationEntry* parse(const std::string& name, const std::vector<std::string>& lines) {
    models_.write(name, lines);
    ApplicationEntry* application = models_.parse(name).application;
    EXPECT_NE(application, nullptr) << "metafile " << name << " refused";
    return application;
  }
  // The records of a reply of one segment, its head cut off.
  static std::string Records(const zevp::ShowReply& reply) {
    EXPECT_EQ(reply.segments.size(), 1u);
    EXPECT_EQ(reply.segments.front().substr(0, 2), "2 ");
    return reply.segments.front().substr(2);
  }
  // A source name of the test's choosing, in storage as the model keeps it.
  static void Rename(SourceEntry* source, const std::string& name) {
    ZEV0_FreeStorage(&source->SourceName);
    source->SourceName = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(name.size() + 1)));
    std::memcpy(source->SourceName, name.c_str(), name.size() + 1);
    source->SourceNameLength = static_cast<int32_t>(name.size());
  }

  MetafileFixture models_;
};

TEST_F(ShowReplyTest, TheExampleApplicationIsOneSegmentOfItsRecords) {
  ApplicationEntry* application = parse("MF", {"//APPL APPL", "//NAME GRP P 300", "//SOURCE FILE app.log",
                                               "//ATTRIBUTES ';'", "A1 D 32", "A2 C 999999"});
  ASSERT_NE(application, nullptr);
  // KEY is a K group's word in a metafile; the reply shows it for any group.
  application->FirstTable->FirstSource->FirstAttribute->AttrKey = 1;
  EXPECT_EQ(Records(ZEVP_ConstructShowReply(application)),
            "0;" + models_.directory() +
                "MF;1;APPL;2;GRP;Poll Data TTL=300;3;FILE;app.log;4;A1;Display Type Max Size 32 KEY;4;A2;Counter Type;");
}

TEST_F(ShowReplyTest, LabelsOfGroupsSourcesAndAttributes) {
  ApplicationEntry* application =
      parse("labels.mdl", {"//APPL LABELS", "//NAME EVT E 60", "//SOURCE SOCK 127.0.0.1", "//ATTRIBUTES ';'",
                           "Flag S 1", "Level G 100", "Mean A 100", "Blob O 64", "When T 16", "Name D 8 ATOMIC",
                           "Gap K 4", "Tail Z 20", "//NAME SMP S 30", "//ATTRIBUTES ';'",
                           "Count C 10", "//NAME KEYS K 90", "//SOURCE FILE keys.log", "//ATTRIBUTES ';'",
                           "Id D 8 KEY ATOMIC", "Host D 8 KEY", "//NAME ODD P 45", "//ATTRIBUTES ';'", "X D 2"});
  ASSERT_NE(application, nullptr);
  TableEntry* odd = application->FirstTable->next->next->next;
  ASSERT_STREQ(odd->TableName, "ODD");
  odd->DataType[0] = 'X';  // a data type no metafile gives: the TTL alone
  std::string records = Records(ZEVP_ConstructShowReply(application));
  for (const char* part : {
           "1;LABELS;2;EVT;Event-Data TTL=60;3;SOCKET;127.0.0.1;",
           "4;Flag;Switch Type;4;Level;Gauge Type;4;Mean;Average Type;4;Blob;Object Type Max Size 64;",
           "4;When;Time Type;4;Name;Display Type Max Size 8 ATOMIC;4;Gap;;4;Tail;Last Type Max Size 20;",
           "2;SMP;Sample Data TTL=30;3;API;-;",  // a group without a source statement reads from a nameless one
           "4;Count;Counter Type;2;KEYS;Key Data TTL=90;3;FILE;keys.log;",
           "4;Id;Display Type Max Size 8 KEY ATOMIC;4;Host;Display Type Max Size 8 KEY;",
           "2;ODD;45;",
       })
    EXPECT_NE(records.find(part), std::string::npos) << part << "\n in " << records;
}

// Many attributes: segments of the whole text, the first headed 1, the rest 0, each
// closed before a record once the text passed its limit. An at sign in a name
// stays inside its segment.
TEST_F(ShowReplyTest, ALargeApplicationComesInSegmentsSplitWhereTheTextGrew) {
  std::vector<std::string> lines = {"//APPL WIDE", "//NAME GRP P 300", "//SOURCE FILE wide@log", "//ATTRIBUTES ';'"};
  for (int n = 0; n < 60; ++n) lines.push_back("Attribute_number_" + std::to_string(n) + " D 32");
  ApplicationEntry* application = parse("wide.mdl", lines);
  ASSERT_NE(application, nullptr);
  Rename(application->FirstTable->FirstSource, "wide@log");
  zevp::ShowReply reply = ZEVP_ConstructShowReply(application);
  ASSERT_GE(reply.segments.size(), 3u);
  EXPECT_EQ(reply.segments[0].substr(0, 2), "1 ");
  std::string whole = reply.segments[0].substr(2);
  size_t length = reply.segments[0].size();
  size_t limit = 950;
  for (size_t n = 1; n < reply.segments.size(); ++n) {
    SCOPED_TRACE(n);
    const std::string& segment = reply.segments[n];
    EXPECT_EQ(segment.substr(0, 2), "0 ");
    EXPECT_EQ(segment.substr(2, 2), "4;") << "a segment begins with a record";
    EXPECT_GT(length, limit) << "the previous segment had passed its limit";
    EXPECT_LT(length, limit + 60) << "by one record at most";
    limit = length + 1000 - 50;
    length += 1 + segment.size();
    whole += segment.substr(2);
  }
  EXPECT_NE(reply.segments[0].find("3;FILE;wide@log;"), std::string::npos);
  std::string expected = "0;" + std::string(application->MetafileName) + ";1;WIDE;2;GRP;Poll Data TTL=300;3;FILE;wide@log;";
  for (int n = 0; n < 60; ++n) expected += "4;Attribute_number_" + std::to_string(n) + ";Display Type Max Size 32;";
  EXPECT_EQ(whole, expected) << "the segments are the records, cut between them";
}

// A record longer than the room its segment has left opens a segment of its own
// that holds it whole.
TEST_F(ShowReplyTest, ARecordLongerThanTheMarginOpensASegmentThatHoldsIt) {
  std::vector<std::string> lines = {"//APPL LONG", "//NAME GRP P 300", "//SOURCE FILE first.log", "//ATTRIBUTES ';'"};
  for (int n = 0; n < 20; ++n) lines.push_back("Attr" + std::to_string(n) + " D 32");
  for (const char* line : {"//NAME NEXT P 300", "//SOURCE SOCK 127.0.0.1", "//ATTRIBUTES ';'", "Last D 8"})
    lines.push_back(line);
  ApplicationEntry* application = parse("long.mdl", lines);
  ASSERT_NE(application, nullptr);
  const std::string longName(1500, 'n');
  Rename(application->FirstTable->next->FirstSource, longName);
  zevp::ShowReply reply = ZEVP_ConstructShowReply(application);
  ASSERT_EQ(reply.segments.size(), 2u);
  EXPECT_EQ(reply.segments[0].substr(0, 2), "1 ");
  EXPECT_LT(reply.segments[0].size(), 1000u) << "the first buffer was not overrun";
  EXPECT_EQ(reply.segments[1], "0 3;SOCKET;" + longName + ";4;Last;Display Type Max Size 8;");
}

}  // namespace
