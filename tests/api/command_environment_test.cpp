// The command environment file ./ZEVPINIT, in a scratch directory of each test.
#include <gtest/gtest.h>

#include <string>

#include "api_test_settings.h"
#include "records.h"
#include "scratch_directory.h"
#include "zevpapi/dp_api.h"

namespace {

class CommandEnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseLoopbackSettings();
    ASSERT_TRUE(here_.entered());
    handle_ = dp_AllocateHandle(nullptr);
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override { dp_FreeHandle(handle_, nullptr); }

  void save(const char* appID, int32_t stamp, uint16_t key) {
    handle_->serverStamp = stamp;
    handle_->sessionKey = key;
    dp_SaveCommandEnvironment(handle_, appID);
  }
  uint16_t get(const char* appID, const char* stamp = nullptr) {
    handle_->sessionKey = 9;
    dp_GetCommandEnvironment(handle_, appID, stamp);
    return handle_->sessionKey;
  }
  std::string file() const { return scratch_.read("ZEVPINIT"); }

  ScratchDirectory scratch_{"zevpinit"};
  WorkingDirectory here_{scratch_.path()};
  APIhandle* handle_ = nullptr;
};

TEST_F(CommandEnvironmentTest, ASaveStartsTheFileWithTheStampAndAddsTheAppIDsKey) {
  save("APPLGRP", 123, 41000);
  EXPECT_EQ(file(), "123\nAPPLGRP#41000\n");
  save("OTHERGRP", 123, 41001);
  EXPECT_EQ(file(), "123\nAPPLGRP#41000\nOTHERGRP#41001\n");
  save("APPLGRP", 123, 41000);
  EXPECT_EQ(file(), "123\nAPPLGRP#41000\nOTHERGRP#41001\n") << "an entry already there";
  EXPECT_EQ(get("APPLGRP", "123"), 41000);
  EXPECT_EQ(get("OTHERGRP"), 41001);
  EXPECT_EQ(scratch_.read("ZEVPTEMP"), "") << "the work file is gone";
}

TEST_F(CommandEnvironmentTest, ASaveUnderAnotherStampStartsTheFileAgain) {
  save("APPLGRP", 123, 41000);
  save("OTHERGRP", 124, 42000);
  EXPECT_EQ(file(), "124\nOTHERGRP#42000\n");
}

// The data provider dropped the session and the next one has another key, same stamp:
// the AppID's line is replaced, so that later gets find the new key.
TEST_F(CommandEnvironmentTest, ASaveOfAnotherKeyReplacesTheAppIDsLine) {
  save("APPLGRP", 123, 41000);
  save("OTHERGRP", 123, 41001);
  save("APPLGRP", 123, 41002);
  EXPECT_EQ(file(), "123\nOTHERGRP#41001\nAPPLGRP#41002\n");
  EXPECT_EQ(get("APPLGRP", "123"), 41002);
}

TEST_F(CommandEnvironmentTest, AnEmptyFileIsWrittenAsIfAbsent) {
  scratch_.write("ZEVPINIT", "");
  save("APPLGRP", 123, 41000);
  EXPECT_EQ(file(), "123\nAPPLGRP#41000\n");
}

TEST_F(CommandEnvironmentTest, KeyZeroIsNotSaved) {
  save("APPLGRP", 123, 0);
  EXPECT_EQ(file(), "123\n");
  save("APPLGRP", 123, 41000);
  save("APPLGRP", 123, 0);
  EXPECT_EQ(file(), "123\nAPPLGRP#41000\n");
}

TEST_F(CommandEnvironmentTest, GetFindsTheKeyOfTheFirstLineThatBeginsWithTheAppID) {
  std::string tooLong = "APPLGRP#5" + std::string(90, '0') + "\n";
  const struct {
    const char* name;
    std::string file;
    const char* appID;
    const char* stamp;
    uint16_t key;
  } cases[] = {
      {"no file", "", "APPLGRP", nullptr, 0},
      {"the AppID's line", "123\nAPPLGRP#41000\n", "APPLGRP", "123", 41000},
      {"another stamp", "123\nAPPLGRP#41000\n", "APPLGRP", "124", 0},
      {"no stamp asked for", "123\nAPPLGRP#41000\n", "APPLGRP", nullptr, 41000},
      {"a shorter AppID stops at the longer one's line", "123\nAPPLGRP#41000\nAPPL#41001\n", "APPL", "123", 0},
      {"no line of the AppID", "123\nOTHER#41000\n", "APPLGRP", "123", 0},
      {"the AppID alone", "123\nAPPLGRP\n", "APPLGRP", "123", 0},
      {"without an AppID, the only line", "123\nAPPLGRP#41000\n", nullptr, "123", 41000},
      {"without an AppID, two lines", "123\nAPPLGRP#41000\nOTHER#41001\n", nullptr, "123", 0},
      {"without an AppID, a line without '#'", "123\nAPPLGRP\n", nullptr, "123", 0},
      {"a line over 79 characters is passed over whole", "123\n" + tooLong + "APPLGRP#41000\n", "APPLGRP", "123",
       41000},
      {"a key above 65535", "123\nAPPLGRP#70000\n", "APPLGRP", "123", 0},
      {"a negative key", "123\nAPPLGRP#-5\n", "APPLGRP", "123", 0},
      {"a key that is no number", "123\nAPPLGRP#abc\n", "APPLGRP", "123", 0},
      {"a stamp line over 79 characters", std::string(80, '1') + "\nAPPLGRP#41000\n", "APPLGRP", nullptr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.file.empty())
      scratch_.remove("ZEVPINIT");
    else
      scratch_.write("ZEVPINIT", c.file);
    EXPECT_EQ(get(c.appID, c.stamp), c.key);
  }
}

TEST_F(CommandEnvironmentTest, ClearRemovesEveryLineOfTheKeyAndKeepsTheStamp) {
  scratch_.write("ZEVPINIT", "123\nAPPLGRP#41000\nOTHER#41001\nTHIRD#41000\n");
  handle_->sessionKey = 41000;
  dp_ClearCommandEnvironment(handle_);
  EXPECT_EQ(file(), "123\nOTHER#41001\n");
  EXPECT_EQ(scratch_.read("ZEVPTEMP"), "");

  handle_->sessionKey = 42000;
  dp_ClearCommandEnvironment(handle_);
  EXPECT_EQ(file(), "123\nOTHER#41001\n") << "no line of the key: the file stays";

  scratch_.remove("ZEVPINIT");
  dp_ClearCommandEnvironment(handle_);
  EXPECT_EQ(file(), "") << "no file: none made";
}

TEST_F(CommandEnvironmentTest, NoHandleChangesNothing) {
  scratch_.write("ZEVPINIT", "123\nAPPLGRP#41000\n");
  dp_GetCommandEnvironment(nullptr, "APPLGRP", "123");
  dp_SaveCommandEnvironment(nullptr, "X");
  dp_ClearCommandEnvironment(nullptr);
  EXPECT_EQ(file(), "123\nAPPLGRP#41000\n");
}

}  // namespace
