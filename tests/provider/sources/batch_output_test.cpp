// The batch output file: the record of a row's values, byte for byte, the file of
// each application and the batch log's account of it, and a FILE data provider in
// batch mode whose file's lines become records.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "application_entry.h"
#include "attribute_entry.h"
#include "batch_output.h"
#include "data_provider_run.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "dp_shutdown.h"
#include "file_server.h"
#include "metafile_parser.h"
#include "metafile_text.h"
#include "parsed_application.h"
#include "process_entry.h"
#include "run_in_child.h"
#include "running_provider.h"
#include "scratch_directory.h"
#include "source_entry.h"
#include "statistics.h"
#include "table_entry.h"
#include "trace_capture.h"
#include "zev/dp_types.h"
#include "zevp/data_provider.h"

namespace {

using Lines = std::vector<std::string>;

const char kStamp[] = "1021102093015000";

Lines LinesOf(const std::string& text) {
  Lines lines;
  size_t from = 0;
  for (size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
    lines.push_back(text.substr(from, end - from));
  if (from < text.size()) lines.push_back(text.substr(from) + "<no line feed>");
  return lines;
}

// The fields of a record, each ended by a comma.
Lines Fields(const std::string& record) {
  Lines fields;
  size_t from = 0;
  for (size_t end; (end = record.find(',', from)) != std::string::npos; from = end + 1)
    fields.push_back(record.substr(from, end - from));
  if (from < record.size()) fields.push_back(record.substr(from) + "<no comma>");
  return fields;
}

bool IsStamp(const std::string& text) {
  return text.size() == 16 && text.find_first_not_of("0123456789") == std::string::npos;
}

// One application of a small metafile whose records go to out.dat of a scratch
// folder, with the batch log in the same folder.
class BatchOutputTest : public ::testing::Test {
 protected:
  void use(const Lines& metafile, const std::string& fileName = "out.dat") {
    parsed_ = std::make_unique<ParsedApplication>(metafile);
    anchor()->batchMode = 1;
    application()->BatchOutputFileName = zevp::NewStorageText(files_.file(fileName));
    ZEVP_OpenBatchLog(anchor(), files_.file("batch.log").c_str());
  }
  void TearDown() override {
    if (parsed_ != nullptr && application()->BatchOutputStream != nullptr) ZEVP_CloseBatchOutputFile(application());
    ZEVP_CloseBatchLog();
  }

  DPAB* anchor() const { return parsed_->anchor(); }
  ApplicationEntry* application() const { return parsed_->application(); }
  SourceEntry* source() const { return parsed_->source(); }
  std::string written(const std::string& fileName = "out.dat") const { return files_.read(fileName); }
  Lines batchLog() const { return LinesOf(files_.read("batch.log")); }

  TraceCapture trace_{"*=0x80"};
  ScratchDirectory files_{"zev_batch"};
  std::unique_ptr<ParsedApplication> parsed_;
};

TEST_F(BatchOutputTest, ARowIsTheStampTheApplicationTheGroupAndItsValuesEachEndedByAComma) {
  use({"//APPL APP", "//NAME GRP P 60", "//SOURCE BASE one", "//ATTRIBUTES ';'", "_LocalTimeStamp T 16", "Name D 8",
       "Used C 100000"});
  SetAttributeValue(source(), "_LocalTimeStamp", kStamp);
  SetAttributeValue(source(), "Name", "disk1   ");
  SetAttributeNumber<int32_t>(source(), "Used", 42);
  ZEVP_OutputBatchDataRecord(source());
  EXPECT_EQ(written(), std::string(kStamp) + ",APP,GRP," + kStamp + ",disk1,42,\n");
  EXPECT_EQ(batchLog(), Lines{"Batch application APP data output file " + files_.file("out.dat") +
                              " opened successfully"});
}

// Each kind of value as it is written; attributes that take no place in a row are
// left out, and an empty value still keeps its place.
TEST_F(BatchOutputTest, EachValueIsWrittenByItsTypeAndLength) {
  use({"//APPL APP", "//NAME GRP P 60", "//SOURCE BASE one", "//ATTRIBUTES ';'", "_LocalTimeStamp T 16",
       "ShortGauge G 100", "ShortCounter C 100", "LongGauge G 100000", "LongCounter C 100000", "Skipped K 4",
       "Amount N 12", "Odd G 100000", "EmptyText D 8", "EmptyNumber C 100", "_DataSourceName D 32",
       "-Hidden D 8"});
  SetAttributeValue(source(), "_LocalTimeStamp", kStamp);
  SetAttributeNumber<uint16_t>(source(), "ShortGauge", 0xFFFF);
  SetAttributeNumber<uint16_t>(source(), "ShortCounter", 0xFFFF);
  SetAttributeNumber<int32_t>(source(), "LongGauge", -70000);
  SetAttributeNumber<uint32_t>(source(), "LongCounter", 4000000000u);
  SetAttributeValue(source(), "Amount", "1,234.5");
  AttributeNamed(source(), "Odd")->ActualValSize = 3;  // no number of that length
  SetAttributeValue(source(), "Hidden", "secret");  // an operand, outside the row
  ASSERT_EQ(AttributeNamed(source(), "Hidden")->AttrAccessible, 0);
  ZEVP_OutputBatchDataRecord(source());
  EXPECT_EQ(written(), std::string(kStamp) + ",APP,GRP," + kStamp + ",-1,65535,-70000,4000000000,1,234.5, ,0," +
                           source()->pSourceNodeName + ",\n");
}

TEST_F(BatchOutputTest, WithoutAStampTheRecordStartsWithTheCurrentOneAndTheValuesAreUsedUp) {
  use({"//APPL APP", "//NAME GRP P 60", "//SOURCE BASE one", "//ATTRIBUTES ';'", "Name D 8", "_LocalTimeStamp T 16",
       "Stamp T 16"});
  SetAttributeValue(source(), "Name", "first");
  SetAttributeValue(source(), "Stamp", kStamp);  // a stamp of another name starts no record
  ZEVP_OutputBatchDataRecord(source());
  ZEVP_OutputBatchDataRecord(source());
  EXPECT_EQ(trace_.count("-----Error: expected timestamp attribute not present. Current timestamp being used"), 2);
  Lines records = LinesOf(written());
  ASSERT_EQ(records.size(), 2u);
  Lines first = Fields(records[0]);
  Lines second = Fields(records[1]);
  ASSERT_EQ(first.size(), 6u) << records[0];
  ASSERT_EQ(second.size(), 6u) << records[1];
  for (const Lines* fields : {&first, &second}) {
    EXPECT_TRUE(IsStamp((*fields)[0])) << (*fields)[0];
    EXPECT_TRUE(IsStamp((*fields)[4])) << "an empty _LocalTimeStamp is now's stamp: " << (*fields)[4];
  }
  EXPECT_EQ(Lines(first.begin() + 1, first.begin() + 4), (Lines{"APP", "GRP", "first"}));
  EXPECT_EQ(first[5], kStamp);
  EXPECT_EQ(Lines(second.begin() + 1, second.begin() + 4), (Lines{"APP", "GRP", " "}))
      << "the values went with the first record";
  EXPECT_EQ(second[5], " ");
}

TEST_F(BatchOutputTest, AnSNMPApplicationKeepsItsAgentName) {
  use({"//APPL APP", "//NAME GRP P 60", "//SOURCE BASE one", "//ATTRIBUTES ';'", "_LocalTimeStamp T 16",
       "Agent_Name D 16", "Value C 100"});
  application()->SNMPapplication = 1;
  SetAttributeValue(source(), "_LocalTimeStamp", kStamp);
  SetAttributeValue(source(), "Agent_Name", "router7");
  SetAttributeNumber<uint16_t>(source(), "Value", 3);
  ZEVP_OutputBatchDataRecord(source());
  SetAttributeValue(source(), "_LocalTimeStamp", kStamp);
  ZEVP_OutputBatchDataRecord(source());
  std::string prefix = std::string(kStamp) + ",APP,GRP," + kStamp + ",router7,";
  EXPECT_EQ(LinesOf(written()), (Lines{prefix + "3,", prefix + "0,"}));
}

// A record is as long as its fields: numbers written as text take more room than
// their values, past the 4064 bytes the file's records were once bounded by. None
// is cut, nothing written over.
TEST_F(BatchOutputTest, ALongRecordIsWrittenWhole) {
  Lines metafile = {"//APPL APP", "//NAME GRP P 60", "//SOURCE BASE one", "//ATTRIBUTES ';'", "_LocalTimeStamp T 16",
                    "Text D 3600"};
  for (int n = 0; n < 60; ++n) metafile.push_back("Gauge" + std::to_string(n) + " G 100000");
  use(metafile);
  SetAttributeValue(source(), "_LocalTimeStamp", kStamp);
  std::string text(3600, 't');
  SetAttributeValue(source(), "Text", text);
  std::string expected = std::string(kStamp) + ",APP,GRP," + kStamp + "," + text + ",";
  for (int n = 0; n < 60; ++n) {
    SetAttributeNumber<int32_t>(source(), ("Gauge" + std::to_string(n)).c_str(), INT32_MIN);
    expected += "-2147483648,";
  }
  ZEVP_OutputBatchDataRecord(source());
  EXPECT_GT(expected.size(), 4064u);
  EXPECT_EQ(written(), expected + "\n");
}

TEST_F(BatchOutputTest, AFileThatCannotBeOpenedIsReportedAndTriedAgainAtTheNextRecord) {
  use({"//APPL APP", "//NAME GRP P 60", "//SOURCE BASE one", "//ATTRIBUTES ';'", "_LocalTimeStamp T 16", "Name D 8"},
      "later/out.dat");
  std::string file = files_.file("later/out.dat");
  SetAttributeValue(source(), "Name", "lost");
  ZEVP_OutputBatchDataRecord(source());
  ASSERT_EQ(mkdir(files_.file("later").c_str(), 0700), 0);
  SetAttributeValue(source(), "_LocalTimeStamp", kStamp);
  SetAttributeValue(source(), "Name", "kept");
  ZEVP_OutputBatchDataRecord(source());
  ZEVP_CloseBatchOutputFile(application());
  EXPECT_EQ(written("later/out.dat"), std::string(kStamp) + ",APP,GRP," + kStamp + ",kept,\n");
  EXPECT_EQ(batchLog(), (Lines{"Batch application APP data output file " + file +
                                   " opened failed. Errno No such file or directory",
                               "Batch application APP data output file " + file + " opened successfully",
                               "Total 1 batch data records output to file " + file}));
}

// Two applications write side by side: each close reports its own file's count.
TEST_F(BatchOutputTest, RegressionEachApplicationCountsItsOwnRecords) {
  use({"//APPL APP", "//NAME GRP P 60", "//SOURCE BASE one", "//ATTRIBUTES ';'", "Name D 8"});
  ParsedApplication other({"//APPL OTHER", "//NAME GRP P 60", "//SOURCE BASE two", "//ATTRIBUTES ';'", "Name D 8"});
  other.application()->BatchOutputFileName = zevp::NewStorageText(files_.file("other.dat"));
  for (int i = 0; i < 3; ++i) ZEVP_OutputBatchDataRecord(source());
  ZEVP_OutputBatchDataRecord(other.source());
  ZEVP_CloseBatchOutputFile(application());
  ZEVP_CloseBatchOutputFile(other.application());
  Lines log = batchLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2], "Total 3 batch data records output to file " + files_.file("out.dat"));
  EXPECT_EQ(log[3], "Total 1 batch data records output to file " + files_.file("other.dat"));
  EXPECT_EQ(LinesOf(written("other.dat")).size(), 1u);
}

TEST_F(BatchOutputTest, NothingIsWrittenForASourceWithoutAttributesOrApplication) {
  use({"//APPL APP", "//NAME GRP P 60", "//SOURCE BASE one", "//ATTRIBUTES ';'", "Name D 8"});
  AttributeEntry* attributes = source()->FirstAttribute;
  source()->FirstAttribute = nullptr;
  ZEVP_OutputBatchDataRecord(source());
  source()->FirstAttribute = attributes;
  TableEntry* table = source()->Table;
  source()->Table = nullptr;
  ZEVP_OutputBatchDataRecord(source());
  source()->Table = table;
  EXPECT_EQ(written(), "");
  EXPECT_EQ(batchLog(), Lines{}) << "no file was opened";
}

// The way the batch program runs a FILE data provider: batch mode, an output file
// for the application, the batch file monitoring; its file's lines become records.
TEST(BatchModeRoadTest, AFileDataProviderInBatchModeWritesItsFilesLinesAsRecords) {
  RunInChild([] {
    ProdSpecDirectory product;
    UseProductSpec(product);
    ScaledClock clock;
    ScratchDirectory files("zev_batch_road");
    files.write("input.log", "alpha;1\nbeta;2\ngamma;3\n");
    files.write("batch.mdl", "//APPL BATCHAPP\n//NAME LINES P 60\n//SOURCE FILE " + files.file("input.log") +
                                 "\n//ATTRIBUTES ';'\nWord D 16\nCount C 100\n");
    setenv("ZEVP_META_PATH", files.path().c_str(), 1);
    TraceCapture trace(kEngineTrace);
    ZEVP_SetDPprogramStart();
    DPAB* anchor = ZEVP_StartupInitialization();
    ASSERT_NE(anchor, nullptr);
    ZEVP_SetupMainDPanchor(anchor);
    anchor->batchMode = 1;
    anchor->dpType = ZEV_DP_FILE;
    ZEVP_OpenBatchLog(anchor, files.file("batch.log").c_str());
    ASSERT_EQ(ZEVP_StartDataProviderEnvironment(anchor), 1);
    ApplicationEntry* application = ZEVP_ConstructApplDataModel(anchor, "batch.mdl", 0, nullptr, nullptr, 1, 1);
    ASSERT_NE(application, nullptr);
    application->BatchOutputFileName = zevp::NewStorageText(files.file("records.dat"));
    StatisticBlock* statistics = anchor->statistics;  // the process's, kept to its end
    ASSERT_NE(statistics, nullptr);
    ZEVP_StartBatchFileMonitoring(anchor);
    // The DCH client and the periodic task stay; the file server ends after its pass.
    EXPECT_TRUE(WaitUntil([anchor] { return ZEVP_ActiveThreadCount(anchor) <= 2; })) << trace.take();
    ZEVP_ShutdownCleanUp(anchor, 1);
    ZEVP_ReleaseGlobalResources(anchor);
    ZEVP_CloseBatchLog();
    EXPECT_GE(statistics->fileIOs, 2u) << "the file was opened and its first line read";
    EXPECT_EQ(statistics->dchMessages, 0u) << "nothing goes to an agent in batch mode";

    Lines records = LinesOf(files.read("records.dat"));
    ASSERT_EQ(records.size(), 3u) << files.read("records.dat");
    const char* expected[] = {",BATCHAPP,LINES,alpha,1,", ",BATCHAPP,LINES,beta,2,", ",BATCHAPP,LINES,gamma,3,"};
    for (size_t i = 0; i < records.size(); ++i) {
      ASSERT_GT(records[i].size(), 16u);
      EXPECT_EQ(records[i].substr(16), expected[i]);
    }
    Lines log = LinesOf(files.read("batch.log"));
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "Batch application BATCHAPP data output file " + files.file("records.dat") +
                            " opened successfully"),
              log.end())
        << files.read("batch.log");
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "Total 3 batch data records output to file " + files.file("records.dat")),
              log.end())
        << files.read("batch.log");
  });
}

}  // namespace
