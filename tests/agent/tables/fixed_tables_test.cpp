// The fixed tables in process, against the framework stand-in played by the test: the
// remote-file table's rows byte for byte from files of the test's making, its refusals,
// the columns and accessors both tables share, and the action table's answer when it
// sends nothing. The definition the remote-file table finds is built from the DCH server
// in its host program.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "application_probe_list.h"
#include "definition_fixture.h"
#include "fixed_tables.h"
#include "q7srv_rmtfile.h"
#include "raf_driver.h"
#include "table_manager_list.h"
#include "user_data_list.h"
#include "zev_zevact.h"

namespace {

constexpr char kNode[] = "srcA:MYAPP00";

// A row of the remote-file table as the framework receives it.
std::string FileRow(const std::string& text, const std::string& kind) {
  q7srv_rmtfile_data_t row;
  std::memset(&row, 0, sizeof row);
  std::memcpy(row.filerow, text.data(), text.size());
  std::memset(row.originnode, ' ', sizeof row.originnode);
  std::memcpy(row.originnode, kNode, std::strlen(kNode));
  std::memset(row.rmtfile, ' ', sizeof row.rmtfile);
  std::memcpy(row.rmtfile, kind.data(), kind.size());
  return std::string(reinterpret_cast<const char*>(&row), sizeof row);
}

raf::RequestSpec FileRequest(const std::string& kind, int sampleType = IntfSampleType_demand) {
  raf::RequestSpec spec;
  spec.application = "Q7SRV";
  spec.table = "RMTFILE";
  spec.sampleType = sampleType;
  spec.predicates = {{"ORIGINNODE", IntfOper_EQ, kNode}, {"RMTFILE", IntfOper_EQ, kind}};
  return spec;
}

class FixedTablesTest : public DefinitionRoadTest {
 protected:
  void SetUp() override {
    DefinitionRoadTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(registerApplication("MYAPP", {{"G1", "g", 'P', 60, "Count,C,4, ,c;"}}));
    definition_ = std::make_unique<userDataList>("MYAPP");
    ASSERT_EQ(definition_->errors(), 0) << trace().take();
    applDataStruct record;
    std::snprintf(record.applName, sizeof record.applName, "MYAPP");
    record.status = applDataStruct::kStarted;
    ASSERT_EQ(probes_.addEntry(record), 0);
    ASSERT_EQ(probes_.setUserDataList("MYAPP", definition_.get()), 1);
    setStartedProbes(&probes_);
    ASSERT_EQ(q7srv_rmtfile_init(), 0);
    ASSERT_EQ(zev_zevact_init(), 0);
  }
  void TearDown() override {
    raf::Reset();
    setStartedProbes(nullptr);
    probes_.setUserDataList("MYAPP", nullptr);
    definition_.reset();
    DefinitionRoadTest::TearDown();
  }

  // The rows of one sample of a new request, which is closed again.
  std::vector<std::string> sampleOnce(const raf::RequestSpec& spec) {
    uint32_t handle = raf::OpenRequest(spec);
    EXPECT_NE(handle, 0u);
    std::vector<std::string> rows;
    EXPECT_TRUE(raf::Sample(handle, &rows));
    raf::CloseRequest(handle);
    return rows;
  }

  applicationProbeList probes_;
  std::unique_ptr<userDataList> definition_;
};

TEST_F(FixedTablesTest, AFileIsAnsweredInRowsOfWholeLines) {
  const std::string line(200, 'x');
  const struct {
    const char* what;
    std::string file;
    std::vector<std::string> rows;  // FILEROW's texts
  } cases[] = {
      {"three lines of 200", line + "\n" + line + "\n" + line + "\n", {line + "\n" + line, line}},
      {"a short file", "@one\nAtwo\n", {"@one\nAtwo"}},
      {"a last line without a line feed", "first\nlast", {"first\nlast"}},
      {"a line of 511 and one more", std::string(511, 'y') + "\nz\n", {}},
      {"a line of 600", std::string(600, 'y') + "\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteWorkFile("MYACAT00", c.file);
    trace().take();
    std::vector<std::string> expected;
    for (const std::string& text : c.rows) expected.push_back(FileRow(text, "*CAT"));
    EXPECT_EQ(sampleOnce(FileRequest("*CAT")), expected);
    EXPECT_EQ(trace().contains("Error: could not find LF"), expected.empty()) << trace().take();
  }
}

TEST_F(FixedTablesTest, OnlyADemandSampleReadsTheFile) {
  WriteWorkFile("MYACAT00", "a line\n");
  const struct {
    int sampleType;
    const char* trace;
  } cases[] = {{IntfSampleType_undefined, "Error: IntfSampleType_undefined not supported"},
               {IntfSampleType_exception, "Error: IntfSampleType_exception ignored"},
               {IntfSampleType_interval, "Error: IntfSampleType_interval ignored"},
               {9, "Error: 9 is an unknown IntfSampleType."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trace);
    EXPECT_TRUE(sampleOnce(FileRequest("*CAT", c.sampleType)).empty());
    EXPECT_TRUE(trace().contains(c.trace));
  }
  EXPECT_EQ(sampleOnce(FileRequest("*CAT")).size(), 1u);
}

// The columns, the rows by index and the accessors that the fixed tables share.
TEST_F(FixedTablesTest, ColumnsRowsAndAccessorsOfAFixedTable) {
  WriteWorkFile("MYACAT00", "a line\n");
  uint32_t handle = raf::OpenRequest(FileRequest("*CAT"));
  ASSERT_NE(handle, 0u);
  Pxraf* pinned = Pxraf::UseHandle(handle);
  ASSERT_NE(pinned, nullptr);
  auto* request = dynamic_cast<q7srv_rmtfile_agent*>(pinned);
  ASSERT_NE(request, nullptr);
  EXPECT_EQ(request->NumColumns(), 3);
  const struct {
    const char* name;
    int type, length, offset;
  } columns[] = {{"filerow", RAF_COLUMN_TEXT, 512, 0},
                 {"originnode", RAF_COLUMN_TEXT, 32, 512},
                 {"rmtfile", RAF_COLUMN_TEXT, 32, 544}};
  for (int i = 0; i < 3; ++i) {
    ColumnInfo info{};
    ASSERT_EQ(request->GetColumnInfo(&info, i), 0);
    EXPECT_STREQ(info.name, columns[i].name);
    EXPECT_EQ(info.type, columns[i].type);
    EXPECT_EQ(info.length, columns[i].length);
    EXPECT_EQ(info.offset, columns[i].offset);
  }
  ColumnInfo beyond{};
  EXPECT_EQ(request->GetColumnInfo(&beyond, 3), RAF_STATUS_BAD_COLUMN);

  request->TakeSample();
  EXPECT_EQ(request->CheckDataIndex(-1), 0);
  EXPECT_EQ(request->CheckDataIndex(0), 1);
  EXPECT_EQ(request->CheckDataIndex(1), 0);
  EXPECT_EQ(request->GetRow(1), nullptr);
  ASSERT_NE(request->GetRow(0), nullptr);
  EXPECT_EQ(std::string(request->GetRow(0), sizeof(q7srv_rmtfile_data_t)), FileRow("a line", "*CAT"));
  EXPECT_EQ(request->_get_value(1, 0), request->GetRow(0) + 512);
  EXPECT_STREQ(request->_get_thres(2), "*CAT");
  EXPECT_EQ(request->_get_oper(2), IntfOper_EQ);
  EXPECT_EQ(request->_get_thres(0), nullptr);
  EXPECT_NE(request->IsRowException(request->GetRow(0)), 0);
  pinned->Drop();
  raf::CloseRequest(handle);

  // Rows pushed to the table reach its open requests as an event.
  raf::RequestSpec events = FileRequest("*CAT", IntfSampleType_event);
  uint32_t listening = raf::OpenRequest(events);
  ASSERT_NE(listening, 0u);
  std::string row = FileRow("pushed", "*CAT");
  EXPECT_EQ(q7srv_rmtfile_manager::EventArrived(reinterpret_cast<q7srv_rmtfile_data_t*>(&row[0]), 1), 0);
  std::vector<std::vector<std::string>> batches = raf::TakeEventBatches(listening);
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0], std::vector<std::string>{row});
}

// The answer of an alert that is refused at its set-up: every text column blank but the
// ones the request gave, REQRC -1.
TEST_F(FixedTablesTest, ARefusedAlertIsAnsweredWithABlankFilledRow) {
  raf::RequestSpec spec;
  spec.application = "ZEV";
  spec.table = "ZEVACT";
  spec.predicates = {{"ATTRVALS", IntfOper_EQ, ";first field empty"}};
  std::vector<std::string> rows = sampleOnce(spec);
  ASSERT_EQ(rows.size(), 1u);
  zev_zevact_data_t expected;
  std::memset(&expected, ' ', sizeof expected);
  expected.reqrc = -1;
  std::memcpy(expected.attrvals, ";first field empty", 18);
  EXPECT_EQ(rows[0], std::string(reinterpret_cast<const char*>(&expected), sizeof expected));
  EXPECT_TRUE(trace().contains("Warning: received empty result rows from QMS."));
}

}  // namespace
