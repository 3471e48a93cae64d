// The blocks of //ODBC statements on the anchor's list (the statement itself is
// tested with the metafile's group statements).
#include "odbc_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bare_anchor.h"
#include "stdout_capture.h"

namespace {

std::vector<std::string> Names(DPAB* anchor) {
  std::vector<std::string> names;
  for (OMB* block = anchor->ombs; block != nullptr; block = block->next)
    names.push_back(std::string(1, block->Type) + ":" + block->DataSourceName);
  return names;
}

TEST(OdbcBlockTest, BlocksJoinTheListInOrderAndLeaveItFromAnyPlace) {
  for (int released = 0; released < 3; ++released) {
    SCOPED_TRACE(released);
    BareAnchor anchor;
    OMB* blocks[] = {ZEVP_InitializeOMB(anchor.get(), "input", "DSN=a"),
                     ZEVP_InitializeOMB(anchor.get(), "o", "dsn=b=c"),
                     ZEVP_InitializeOMB(anchor.get(), "I", "x=d")};
    ASSERT_EQ(Names(anchor.get()), (std::vector<std::string>{"I:a", "O:b=c", "I:d"}));
    ZEVP_ReleaseOMB(anchor.get(), blocks[released]);
    std::vector<std::string> left = {"I:a", "O:b=c", "I:d"};
    left.erase(left.begin() + released);
    EXPECT_EQ(Names(anchor.get()), left);
    for (int n = 0; n < 3; ++n)
      if (n != released) ZEVP_ReleaseOMB(anchor.get(), blocks[n]);
    EXPECT_EQ(anchor->ombs, nullptr);
  }
}

TEST(OdbcBlockTest, RefusedStatementsShowTheirMessageAndMakeNoBlock) {
  struct Case {
    const char* type;
    const char* operand;
    const char* message;
  } cases[] = {
      {"x", "DSN=a", "ZEVPV97E Specification Error: Invalid ODBC type or not specified. x"},
      {nullptr, "DSN=a", "ZEVPV97E Specification Error: Invalid ODBC type or not specified.  "},
      {"I", nullptr, "ZEVPV98E Specification Error: ODBC Data Source Name required."},
      {"I", "orders", "ZEVPV98E Specification Error: ODBC Data Source Name required."},
      {nullptr, nullptr, "ZEVPV98E Specification Error: ODBC Data Source Name required."},
  };
  BareAnchor anchor;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    StdoutCapture output;
    EXPECT_EQ(ZEVP_InitializeOMB(anchor.get(), c.type, c.operand), nullptr);
    EXPECT_EQ(output.takeLines(), std::vector<std::string>{c.message});
  }
  EXPECT_EQ(anchor->ombs, nullptr);
  ZEVP_ReleaseOMB(anchor.get(), nullptr);
  ZEVP_ReleaseOMB(nullptr, nullptr);
}

}  // namespace
