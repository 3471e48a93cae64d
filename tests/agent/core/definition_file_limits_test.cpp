// What the definition files share across an application's groups, and where they stop:
// the lists of tables and groups, the data domains of the catalogue, and a column block
// of the attribute file too long to hold. Applications come from the real DCH server.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "definition_fixture.h"
#include "table_manager_list.h"
#include "user_data_info.h"
#include "user_data_list.h"

namespace {

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// A register text of text attributes T<length> for each length.
std::string TextAttributes(int firstLength, int lastLength) {
  std::string text;
  for (int length = firstLength; length <= lastLength; ++length)
    text += "T" + std::to_string(length) + ",D," + std::to_string(length) + ", ,t;";
  return text;
}

class DefinitionFileLimitsTest : public DefinitionRoadTest {
 protected:
  void TearDown() override {
    list_.reset();
    DefinitionRoadTest::TearDown();
  }

  userDataList* build(const std::string& applName, const std::vector<rawdch::Group>& groups) {
    list_.reset();
    registerApplication(applName, groups);
    if (HasFatalFailure()) return nullptr;
    trace().take();
    list_ = std::make_unique<userDataList>(applName.c_str());
    return list_.get();
  }

 private:
  std::unique_ptr<userDataList> list_;
};

TEST_F(DefinitionFileLimitsTest, TheListsOfTablesAndGroupsLeaveOutGroupsWithoutIntegersForType2) {
  userDataList* list = build("LISTS", {{"A", "no integer", 'P', 60, "Name,D,8, ,n;Level,C,4,ENUM{LOW(1)},l;"},
                                       {"B", "integers", 'P', 60, "Count,C,4, ,c;"}});
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->errors(), 0) << trace().take();
  userDataListIterator walk(list->entries());
  const std::string ta = walk.Next()->udi()->tableNameRR();
  const std::string tb = walk.Next()->udi()->tableNameRR();

  const struct {
    int listType;
    std::string tables;
    std::string groups;
  } cases[] = {{1, ta + ";" + tb + ";", "A;B"}, {2, tb + ";", "B"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listType);
    ASSERT_NE(list->tableNameList(c.listType), nullptr);
    EXPECT_EQ(list->tableNameList(c.listType), c.tables);
    ASSERT_NE(list->attrGroupList(c.listType), nullptr);
    EXPECT_EQ(list->attrGroupList(c.listType), c.groups);
  }
  EXPECT_EQ(list->anyNumericalAttrs("A"), 0) << "an enumerated integer is no integer column";
  EXPECT_EQ(list->anyNumericalAttrs("B"), 1);
  EXPECT_EQ(list->anyNumericalAttrs("C"), 0);
  EXPECT_EQ(list->anyNumericalAttrs(), 1);
  EXPECT_EQ(list->errors(), 0);

  EXPECT_EQ(list->tableNameList(3), nullptr);
  EXPECT_EQ(list->attrGroupList(3), nullptr);
  EXPECT_EQ(trace().count("Error: Invalid listType of 3"), 2);
  EXPECT_NE(list->errors(), 0);
}

// Every domain is recorded once, whole: the catalogue describes each in the section of
// the first group that uses it, also beyond 64 of them.
TEST_F(DefinitionFileLimitsTest, EachOfManyDomainsIsDescribedOnce) {
  userDataList* list = build("DOMAINS", {{"G1", "g", 'P', 60, TextAttributes(1, 40)},
                                         {"G2", "g", 'P', 60, TextAttributes(3, 3) + TextAttributes(41, 80)}});
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->errors(), 0) << trace().take();
  const std::string cat = ReadWorkFile("DOMCAT00");
  EXPECT_EQ(Count(cat, "\nDDOM00   "), 80);
  for (const char* domain : {"D_S1 ", "D_S3 ", "D_S32 ", "D_S80 "}) {
    SCOPED_TRACE(domain);
    EXPECT_EQ(Count(cat, std::string("\nDDOM00   ") + domain), 1);
  }
  // G2's section holds only its new domains.
  std::string g2 = cat.substr(cat.find("\nTDOM00   ") + 1);
  EXPECT_EQ(Count(g2, "\nDDOM00   "), 40);
  EXPECT_EQ(g2.find("\nDDOM00   D_S3 "), std::string::npos);
  EXPECT_EQ(list->domainsWritten().size(), 80u);

  EXPECT_EQ(list->findDomain("D_S32"), 1);
  EXPECT_EQ(list->domainsWritten().size(), 80u);
  EXPECT_EQ(list->findDomain("D_S320"), 0);
  EXPECT_EQ(list->findDomain("D_S320"), 1);
  EXPECT_EQ(list->domainsWritten().size(), 81u);
}

TEST_F(DefinitionFileLimitsTest, ADomainSetPast639CharactersFailsTheCatalogue) {
  // G1: "D_S32;" and 60 names of 7 characters (426); G2 adds 30 more (636), then fails.
  userDataList* list =
      build("DSETS", {{"G1", "g", 'P', 60, TextAttributes(100, 159)}, {"G2", "g", 'P', 60, TextAttributes(160, 219)}});
  ASSERT_NE(list, nullptr);
  EXPECT_NE(list->errors(), 0);
  EXPECT_TRUE(trace().contains("Error: (636 + 7) > 640)")) << trace().take();
  EXPECT_TRUE(trace().contains("Error: generateFiles failed."));
  EXPECT_EQ(list->domainSet().size(), 636u);
  const std::string cat = ReadWorkFile("DSECAT00");
  EXPECT_EQ(Count(cat, "\nTDSE00   "), 1) << "no table record after the failure";
  EXPECT_EQ(ReadWorkFile("DSEATR00").find("name DSETSG200"), std::string::npos);
}

// The catalogue's lengths and offsets have four digits: a column beyond them fails the
// catalogue, named, rather than be placed with a number cut short.
TEST_F(DefinitionFileLimitsTest, AColumnBeyondTheCataloguesFourDigitsFailsIt) {
  const struct {
    const char* applName;
    const char* attributes;
    const char* trace;
    int placed;  // the columns placed before it
  } cases[] = {
      {"WIDE", "Wide,D,10000, ,w;", "Error: column <Wide> of table <%s>: length 10000 or offset 32 beyond 9999", 1},
      {"FAR", "Filler,D,9990, ,f;Far,C,4, ,n;",
       "Error: column <Far> of table <%s>: length 4 or offset 10022 beyond 9999", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.applName);
    userDataList* list = build(c.applName, {{"G1", "g", 'P', 60, c.attributes}});
    ASSERT_NE(list, nullptr);
    EXPECT_NE(list->errors(), 0);
    char expected[256];
    std::snprintf(expected, sizeof expected, c.trace, list->List()->udi()->tableNameRR());
    EXPECT_TRUE(trace().contains(expected)) << trace().take();
    const std::string cat = ReadWorkFile(std::string(c.applName).substr(0, 3) + "CAT00");
    EXPECT_EQ(Count(cat, "\nP"), c.placed);
    EXPECT_EQ(cat.find("\nT"), std::string::npos) << "no table record after the failure";
  }
}

// A column block of the attribute file is held in 4096 bytes: an enumeration that would
// go past it leaves the block out and fails the call.
TEST_F(DefinitionFileLimitsTest, AnEnumerationPastTheColumnBlockFailsTheAttributeFile) {
  std::string enumeration;
  for (int value = 1; enumeration.size() < 1900; ++value)
    enumeration += "E" + std::to_string(value) + "(" + std::to_string(value) + ") ";
  enumeration.pop_back();
  userDataList* list = build("ENUMS", {{"G1", "g", 'P', 60, "Before,C,4, ,b;Wide,C,4,ENUM{" + enumeration +
                                                                "},w;After,C,4, ,a;"}});
  ASSERT_NE(list, nullptr);
  EXPECT_NE(list->errors(), 0);
  EXPECT_TRUE(trace().contains(" > 4096 Need more buffer space")) << trace().take();
  EXPECT_TRUE(trace().contains("Error: generateFiles failed."));
  const std::string atr = ReadWorkFile("ENUATR00");
  EXPECT_NE(atr.find("\nname ENUMSG100.Before\n"), std::string::npos);
  EXPECT_EQ(atr.find("\nname ENUMSG100.Wide\n"), std::string::npos);
  EXPECT_EQ(atr.find("\nname ENUMSG100.After\n"), std::string::npos);
  EXPECT_EQ(atr.find("entr HIDDEN"), std::string::npos);
}

}  // namespace
