#include "registration_texts.h"

#include <gtest/gtest.h>

#include <string>

#include "trace_capture.h"

namespace {

RegisteredGroup Group(const char* name, char sampleType, int32_t TTL, const char* attrRegister,
                      const char* attributeHelp = "A,help, :") {
  return RegisteredGroup{name, "group help", sampleType, TTL, attrRegister, attributeHelp};
}

TEST(RegistrationTextsTest, TwoGroupsGiveTheThreeTexts) {
  RegistrationTexts texts("APPL", "appl help");
  ASSERT_TRUE(texts.addGroup({"G1", "help one", 'P', 300, "@$KEY,D,8, ,k;CNT,C,4,a b, ;", "KEY,k, ,CNT,c,a b:"}));
  ASSERT_TRUE(texts.addGroup({"G2", "help two", 'S', 60, "X,G,2, , ;", "X,x, :"}));
  texts.close();
  EXPECT_EQ(texts.applInfo(), "APPL,G1,P,300:G2,S,60:;");
  EXPECT_EQ(texts.attrInfo(), "G1,@$KEY,D,8:CNT,C,4:;G2,X,G,2:;");
  EXPECT_EQ(texts.help(), "appl help,G1,help one,KEY,k, ,CNT,c,a b:G2,help two,X,x, :;");
}

TEST(RegistrationTextsTest, AGroupWithoutAttributesEndsItsHelpLikeEveryOther) {
  RegistrationTexts texts("APPL", "appl help");
  ASSERT_TRUE(texts.addGroup({"G0", "help none", 'P', 300, "", ""}));
  ASSERT_TRUE(texts.addGroup({"G1", "help one", 'P', 300, "X,G,2, , ;", "X,x, :"}));
  texts.close();
  EXPECT_EQ(texts.attrInfo(), "G0,;G1,X,G,2:;");
  EXPECT_EQ(texts.help(), "appl help,G0,help none,:G1,help one,X,x, :;");
}

TEST(RegistrationTextsTest, ReducingKeepsTheFirstThreeFieldsOfEachRecord) {
  const struct {
    const char* registerText;
    const char* reduced;
  } cases[] = {
      {"NAME,D,8, ,help, with commas;", "NAME,D,8:"},
      {"TWO,D;NAME,D,8, , ;", "NAME,D,8:"},  // a record of two fields is left out
      {"A,C,4, , ;;B,G,2, , ;", "A,C,4:B,G,2:"},
      {"A,,C,4, , ;", "A,C,4:"},  // empty fields are skipped, the next move up
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.registerText);
    std::string reduced = "left over";
    ASSERT_TRUE(reduceRegisterText(c.registerText, &reduced));
    EXPECT_EQ(reduced, c.reduced);
  }
}

TEST(RegistrationTextsTest, ARecordOverItsLimitIsRefused) {
  TraceCapture capture("*=0x80");
  std::string atLimit = "N,D,8," + std::string(RegistrationTexts::kMaxRecord - 6, 'h') + ";";
  std::string reduced;
  EXPECT_TRUE(reduceRegisterText(atLimit.c_str(), &reduced));
  std::string over = "N,D,8," + std::string(RegistrationTexts::kMaxRecord - 5, 'h') + ";";
  RegistrationTexts texts("APPL", "help");
  EXPECT_FALSE(texts.addGroup(Group("G1", 'P', 300, over.c_str())));
  EXPECT_TRUE(capture.contains("Error: 4096 > 4095"));
}

// The fault: the application information was built in a fixed 4096-byte buffer, while
// a packaged product (or a raised group limit) registers more groups than fit.
TEST(RegistrationTextsTest, RegressionApplicationInformationOfManyGroupsIsNotCut) {
  RegistrationTexts texts("APPL", "help");
  std::string expected = "APPL,";
  for (int i = 0; i < 200; ++i) {
    std::string name = "GROUP_" + std::string(20, 'X') + std::to_string(1000 + i);
    ASSERT_TRUE(texts.addGroup(Group(name.c_str(), 'K', 86400, "N,D,8, , ;")));
    expected += name + ",K,86400:";
  }
  texts.close();
  expected += ";";
  EXPECT_GT(texts.applInfo().size(), 4096u);
  EXPECT_EQ(texts.applInfo(), expected);
}

}  // namespace
