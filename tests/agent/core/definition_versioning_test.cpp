// Versions of an application definition as a sequence of rebuilds in one work directory:
// each step registers the application anew with the DCH server in its host program and
// builds its definition, as its probe does when it comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dch/dch_api.h"
#include "definition_fixture.h"
#include "raf_driver.h"
#include "table_manager_list.h"
#include "user_data_info.h"
#include "user_data_list.h"
#include "zev0/text.h"
#include "zev_dorvan_manager.h"

namespace {

// A group by its reduced attribute records ("NAME,TYPE,LENGTH:..."), with marks.
struct GroupDefinition {
  std::string name;
  char sampleType;
  std::string records;
};

std::string RegisterText(const std::string& records) {
  std::string text;
  for (char c : records) text += c == ':' ? std::string(", ,h;") : std::string(1, c);
  return text;
}

uint16_t Checksum(const std::string& text) {
  return ZEV0_ComputeCheckSum(text.data(), static_cast<int32_t>(text.size()));
}

std::string WithoutAll(std::string text, char mark) {
  text.erase(std::remove(text.begin(), text.end(), mark), text.end());
  return text;
}

// The work file a build of these groups at this version writes.
std::string ExpectedWorkFile(const std::string& version, const std::vector<GroupDefinition>& groups,
                             const std::string& help) {
  std::string content;
  for (const GroupDefinition& group : groups) {
    char letter = group.sampleType == 'E' ? 'E' : 'P';
    std::string text = std::string(1, letter) + "," + group.name + "," + WithoutAll(group.records, '@');
    content += version + " " + group.name + " " + std::to_string(Checksum(WithoutAll(text, '$'))) + " <" + text + ">\n";
  }
  return content + "@HELP " + std::to_string(Checksum(help)) + " <" + help + ">\n";
}

// A build that went through.
void Built(const userDataList* list) {
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->errors(), 0);
}

class DefinitionVersioningTest : public DefinitionRoadTest {
 protected:
  void TearDown() override {
    list_.reset();
    DefinitionRoadTest::TearDown();
  }

  // Registers the application anew and builds its definition; the previous one goes first.
  // Null when the server did not take the registration.
  userDataList* rebuild(const std::string& applName, const std::vector<GroupDefinition>& groups,
                        const std::string& applHelp = "appl help") {
    list_.reset();
    if (registered_) unregisterApplication(applName);
    std::vector<rawdch::Group> registration;
    for (const GroupDefinition& group : groups)
      registration.push_back({group.name, "help of " + group.name, group.sampleType, 300, RegisterText(group.records)});
    registerApplication(applName, registration, applHelp);
    if (HasFatalFailure()) return nullptr;
    registered_ = true;
    help_ = Text(dc_getApplHelp, applName.c_str());
    trace().take();
    list_ = std::make_unique<userDataList>(applName.c_str());
    return list_.get();
  }

  bool rewritten() { return trace().contains("Saving into file"); }
  const std::string& help() const { return help_; }
  userDataList& list() { return *list_; }

 private:
  std::unique_ptr<userDataList> list_;
  bool registered_ = false;
  std::string help_;
};

TEST_F(DefinitionVersioningTest, EachKindOfChangeRaisesItsPartOfTheVersion) {
  const GroupDefinition plain{"G1", 'P', "A,D,8:"};
  const struct Step {
    const char* what;
    std::vector<GroupDefinition> groups;
    const char* applHelp;
    const char* version;
    bool written;
  } steps[] = {
      {"new", {plain}, "appl help", "03.00.00", true},
      {"unchanged", {plain}, "appl help", "03.00.00", false},
      {"attribute appended", {{"G1", 'P', "A,D,8:B,C,4:"}}, "appl help", "03.00.01", true},
      {"attribute changed", {{"G1", 'P', "A,D,16:B,C,4:"}}, "appl help", "03.01.01", true},
      {"key mark added", {{"G1", 'P', "@A,D,16:B,C,4:"}}, "appl help", "03.01.01", false},
      {"atomic mark added", {{"G1", 'P', "@A,D,16:$B,C,4:"}}, "appl help", "03.01.02", true},
      {"atomic mark moved", {{"G1", 'P', "@$A,D,16:B,C,4:"}}, "appl help", "03.01.03", true},
      {"sample type S for P", {{"G1", 'S', "@$A,D,16:B,C,4:"}}, "appl help", "03.01.03", false},
      {"sample type K for S", {{"G1", 'K', "@$A,D,16:B,C,4:"}}, "appl help", "03.01.03", false},
      {"sample type N for K", {{"G1", 'N', "@$A,D,16:B,C,4:"}}, "appl help", "03.01.03", false},
      {"group added", {{"G1", 'K', "@$A,D,16:B,C,4:"}, {"G2", 'P', "X,D,4:"}}, "appl help", "03.01.04", true},
      {"help changed", {{"G1", 'K', "@$A,D,16:B,C,4:"}, {"G2", 'P', "X,D,4:"}}, "new help", "03.01.05", true},
      {"group removed", {{"G1", 'K', "@$A,D,16:B,C,4:"}}, "new help", "03.02.05", true},
      {"sample type E for K", {{"G1", 'E', "@$A,D,16:B,C,4:"}}, "new help", "03.03.05", true},
      {"reordered", {{"G1", 'E', "B,C,4:@$A,D,16:"}}, "new help", "03.04.05", true},
      {"attribute removed", {{"G1", 'E', "B,C,4:"}}, "new help", "03.05.05", true},
  };
  std::string workFile;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    userDataList* built = rebuild("VERS", step.groups, step.applHelp);
    ASSERT_NE(built, nullptr);
    ASSERT_EQ(built->errors(), 0) << trace().take();
    EXPECT_STREQ(built->cvrm(), step.version);
    EXPECT_EQ(rewritten(), step.written);
    if (step.written) workFile = ExpectedWorkFile(step.version, step.groups, help());
    EXPECT_EQ(ReadWorkFile("zevawVER"), workFile);
  }
}

TEST_F(DefinitionVersioningTest, AWorkFileWithoutItsHelpLineGivesAModification) {
  const std::vector<GroupDefinition> groups{{"G1", 'P', "A,D,8:"}};
  ASSERT_NO_FATAL_FAILURE(Built(rebuild("NOHE", groups)));
  std::string workFile = ReadWorkFile("zevawNOH");
  WriteWorkFile("zevawNOH", workFile.substr(0, workFile.find("@HELP")));
  ASSERT_NO_FATAL_FAILURE(Built(rebuild("NOHE", groups)));
  EXPECT_STREQ(list().cvrm(), "03.00.01");
  EXPECT_EQ(ReadWorkFile("zevawNOH"), ExpectedWorkFile("03.00.01", groups, help()));
}

TEST_F(DefinitionVersioningTest, AHandWrittenWorkFileSetsTheStart) {
  const std::vector<GroupDefinition> groups{{"G1", 'P', "A,D,8:"}};
  WriteWorkFile("zevawHAN", ExpectedWorkFile("03.07.42", groups, "appl help,G1,help of G1,A,h, :;"));
  ASSERT_NO_FATAL_FAILURE(Built(rebuild("HAND", groups)));
  EXPECT_STREQ(list().cvrm(), "03.07.42");
  EXPECT_STREQ(list().prior_vrm(), "03.07.42");
  EXPECT_STREQ(list().RR(), "07");
  EXPECT_FALSE(rewritten());
  EXPECT_EQ(list().List()->udi()->tableNameRR(), "HAN" + std::to_string(Checksum("G1")) + "07");
}

// A line beyond the most groups an application may have (64) is a group that no
// registration can hold any more.
TEST_F(DefinitionVersioningTest, AGroupLineBeyondTheMostGroupsIsARemovedGroup) {
  std::vector<GroupDefinition> groups;
  for (int i = 0; i < 64; ++i) groups.push_back({"G" + std::to_string(i), 'P', "A,D,8:"});
  ASSERT_NO_FATAL_FAILURE(Built(rebuild("BEYOND", groups)));
  std::string workFile = ReadWorkFile("zevawBEY");
  WriteWorkFile("zevawBEY", workFile.insert(workFile.find("@HELP"), "03.00.00 X 1 <P,X,>\n"));
  ASSERT_NO_FATAL_FAILURE(Built(rebuild("BEYOND", groups)));
  EXPECT_STREQ(list().cvrm(), "03.01.00");
  EXPECT_TRUE(trace().contains("Note: 1 attrGroup(s) from previous registration removed."));
}

TEST_F(DefinitionVersioningTest, AModificationPastNinetyEightFailsTheBuild) {
  const std::vector<GroupDefinition> groups{{"G1", 'P', "A,D,8:"}};
  std::string before = ExpectedWorkFile("03.00.98", groups, "appl help,G1,help of G1,A,h, :;");
  WriteWorkFile("zevawLIM", before);
  userDataList* built = rebuild("LIMIT", {{"G1", 'P', "A,D,8:B,C,4:"}});
  ASSERT_NE(built, nullptr);
  EXPECT_NE(built->errors(), 0);
  EXPECT_EQ(built->noOfElements(), 0);
  EXPECT_TRUE(trace().contains("Error: Application modification level reached 100."));
  EXPECT_EQ(ReadWorkFile("zevawLIM"), before);
}

TEST_F(DefinitionVersioningTest, AReleaseChangeShutsThePreviousManagerDownAndBindsANewOne) {
  const std::string group = "G1";
  const std::string t00 = "REL" + std::to_string(Checksum(group)) + "00";
  const std::string t01 = "REL" + std::to_string(Checksum(group)) + "01";
  ASSERT_NO_FATAL_FAILURE(Built(rebuild("RELA", {{"G1", 'P', "A,D,8:"}})));
  zev_dorvan_manager* first = list().List()->udi()->tableManager();
  ASSERT_NE(first, nullptr);

  ASSERT_NO_FATAL_FAILURE(Built(rebuild("RELA", {{"G1", 'P', "A,D,16:"}})));
  EXPECT_STREQ(list().cvrm(), "03.01.00");
  zev_dorvan_manager* second = list().List()->udi()->tableManager();
  EXPECT_NE(second, first);
  EXPECT_EQ(second, registry().getTblMgr("RELA01", t01.c_str()));
  EXPECT_TRUE(trace().contains("TableManager <REL> shutdown all request for applName <RELA00> tableName <" + t00 + ">"));
  EXPECT_TRUE(trace().contains("Shutdown(" + std::to_string(userDataInfo::kShutdownPreviousRelease) +
                               ") of table manager <RELA00/" + t00 + ">"));

  // The same release again: the registered manager serves it, nothing is recorded anew.
  ASSERT_NO_FATAL_FAILURE(Built(rebuild("RELA", {{"G1", 'P', "A,D,16:B,C,4:"}})));
  EXPECT_STREQ(list().cvrm(), "03.01.01");
  EXPECT_EQ(list().List()->udi()->tableManager(), second);
  EXPECT_EQ(second->userDataInfoPtr(), list().List()->udi());
  EXPECT_FALSE(trace().contains("shutdown all request"));
  EXPECT_EQ(ReadWorkFile("ZEVATBLS"), "RELA00 " + t00 + " 0\nRELA01 " + t01 + " 0\n");

  // A manager that cannot be shut down does not keep the new release from its tables.
  raf::InjectFailure(raf::Failure::Shutdown);
  ASSERT_NO_FATAL_FAILURE(Built(rebuild("RELA", {{"G1", 'P', "B,C,4:"}})));
  EXPECT_STREQ(list().cvrm(), "03.02.01");
  EXPECT_TRUE(trace().contains("Error: TableManager::Shutdown failed. Cannot stop QMS request for previous verson of "
                               "applName <RELA01> tableName<" + t01 + ">"));
}

}  // namespace
