// An API request as the server reads it: eye-catcher, verb and operands, and what
// ACCREQ, SETSRC and RESULT make of their operands.
#include <gtest/gtest.h>

#include <string>

#include "action_hand_over.h"
#include "api_request.h"
#include "bare_anchor.h"
#include "hand_built_model.h"
#include "model_release.h"

namespace {

class APIrequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    application_ = AddApplication(anchor_.get(), "APP");
    source_ = AddSource(anchor_.get(), AddTable(application_, "GRP"), 'B');
  }
  void TearDown() override { ZEVP_ReleaseApplResources(anchor_.get(), application_, 1); }

  BareAnchor anchor_;
  ApplicationEntry* application_ = nullptr;
  SourceEntry* source_ = nullptr;
};

int32_t VerbOf(const std::string& request) {
  return ZEVP_ExtractAPIcallType(request.data(), static_cast<int>(request.size()));
}

TEST(APIrequestLayoutTest, TheVerbFollowsTheEyeCatcherAndTheOperandsTheVerb) {
  const struct {
    std::string request;
    int version;
    int32_t verb;
    std::string operands;
  } cases[] = {
      {"ZEVPAPI300BGNINPAPP GRP ", 1, ZEVP_VERB_BGNINP, "APP GRP "},
      {"ZEVPAPI300SNDDTAa;1\nb;2", 1, ZEVP_VERB_SNDDTA, "a;1\nb;2"},
      {"ZEVPAPI300ENDINP", 1, ZEVP_VERB_ENDINP, ""},
      {"ZEVPAPI300SETSRC", 1, ZEVP_VERB_SETSRC, ""},
      {"ZEVPAPI200RESULT1;x", 0, ZEVP_VERB_RESULT, "1;x"},
      {"ZEVPAPI300sndDTA", 1, ZEVP_VERB_NONE, ""},
      {"ZEVPAPI300BGNIN", 1, ZEVP_VERB_NONE, ""},
      {"ZEVPAPI", 0, ZEVP_VERB_NONE, ""},
      {"", 0, ZEVP_VERB_NONE, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    int length = static_cast<int>(c.request.size());
    EXPECT_EQ(ZEVP_ValidateAPIversion(c.request.data(), length), c.version);
    EXPECT_EQ(VerbOf(c.request), c.verb);
    EXPECT_EQ(ZEVP_APIoperands(c.request.data(), length), c.operands);
  }
}

TEST_F(APIrequestTest, AcceptRequestsTakesTheWaitOnlyWhenEnabled) {
  const struct {
    const char* operands;
    int32_t accept;
    int32_t wait;
  } cases[] = {
      {"1;0", 1, 60},   {"1;-5", 1, -1}, {"1;15", 1, 15}, {"1;15;", 1, 15}, {"0;x", 0, -1},
      {"0;30", 0, -1},  {"2;30", 0, -1}, {"1", 1, 60},    {"1 60 ", 1, 60},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operands);
    source_->AcceptActionRequests = 0;
    source_->ActionResultWait = 0;
    ZEVP_SetAcceptRequestOptions(source_, c.operands);
    EXPECT_EQ(source_->AcceptActionRequests, c.accept);
    EXPECT_EQ(source_->ActionResultWait, c.wait);
  }
}

TEST_F(APIrequestTest, SetSourceTakesTheFirstWordUpToTheSubnodeLimit) {
  ASSERT_EQ(ZEVP_SaveAPIsourceName(source_, " alpha beta"), 1);
  EXPECT_STREQ(source_->pSourceNodeName, "alpha");
  EXPECT_EQ(source_->SourceNodeNameLength, 5);
  std::string longest(ZEVP_API_SOURCE_NAME_MAX, 'n');
  ASSERT_EQ(ZEVP_SaveAPIsourceName(source_, longest), 1);
  EXPECT_EQ(source_->pSourceNodeName, longest);
  for (const std::string& refused : {std::string(ZEVP_API_SOURCE_NAME_MAX + 1, 'n'), std::string("   "),
                                     std::string(), std::string("a\0b", 3)}) {
    EXPECT_EQ(ZEVP_SaveAPIsourceName(source_, refused), 0);
    EXPECT_EQ(source_->pSourceNodeName, longest) << "unchanged";
  }
}

TEST(APIrequestLayoutTest, AResultIsAnIDAndTheTextAfterTheFirstSemicolon) {
  const struct {
    const char* operands;
    bool valid;
    int32_t id;
    const char* text;
    bool hasText;
  } cases[] = {
      {"42;done;", true, 42, "done;", true}, {"42;", true, 42, "", true},  {"42", true, 42, "", false},
      {"7;a;b", true, 7, "a;b", true},        {"x;y", false, 0, "", false}, {"", false, 0, "", false},
      {";y", false, 0, "", false},            {"-1;y", false, 0, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operands);
    int32_t id = 0;
    std::string text;
    bool hasText = false;
    ASSERT_EQ(ZEVP_ParseAPIresult(c.operands, &id, &text, &hasText), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(hasText, c.hasText);
  }
}

}  // namespace
