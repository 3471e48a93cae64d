#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "run_in_child.h"
#include "trace_capture.h"
#include "zev0/storage.h"
#include "zev0/text.h"

namespace {

std::string fullName(const char* path, const char* name) {
  char* built = ZEV0_ConstructFullyQualifiedName(path, name);
  std::string result = built ? built : "<null>";
  ZEV0_FreeStorage(&built);
  return result;
}

TEST(PathsTest, CheckPathSpecEndsThePathInASlash) {
  char blanks[] = "/tmp/dir  ";
  char* withSlash = ZEV0_CheckPathSpec(blanks);
  ASSERT_NE(withSlash, nullptr);
  EXPECT_NE(withSlash, blanks);
  EXPECT_STREQ(withSlash, "/tmp/dir/");
  EXPECT_STREQ(blanks, "/tmp/dir");
  ZEV0_FreeStorage(&withSlash);

  char slash[] = "/tmp/dir/";
  EXPECT_EQ(ZEV0_CheckPathSpec(slash), slash);
  EXPECT_STREQ(slash, "/tmp/dir/");

  EXPECT_EQ(ZEV0_CheckPathSpec(nullptr), nullptr);
}

TEST(PathsTest, CheckPathSpecOfAnEmptyPathIsTheCurrentDirectory) {
  for (std::string path : {"", "   "}) {
    char* current = ZEV0_CheckPathSpec(path.data());
    ASSERT_NE(current, nullptr);
    EXPECT_STREQ(current, "./");
    ZEV0_FreeStorage(&current);
  }
}

// Every case that builds a full name runs in a child: the work directory is read once
// per process, with the first name, and the cases below each set their own.
TEST(PathsTest, FullNameJoinsPathAndNameWithoutASeparator) {
  RunInChild([] {
    EXPECT_EQ(fullName("/opt/x", "f"), "/opt/xf");
    EXPECT_EQ(fullName("/opt/x/", "ZEVPSF"), "/opt/x/ZEVPSF");
    EXPECT_EQ(fullName("", "f"), "f");
  });
}

TEST(PathsTest, WorkDirectoryDefaultsToWorkBelowTheCurrentDirectory) {
  RunInChild([] {
    unsetenv("ZEV_WORK_PATH");
    EXPECT_EQ(fullName(nullptr, "ZEVPSF"), "./work/ZEVPSF");
  });
}

TEST(PathsTest, WorkDirectoryComesFromTheEnvironmentOnceAndForAll) {
  RunInChild([] {
    setenv("ZEV_WORK_PATH", "/var/zev  ", 1);
    EXPECT_EQ(fullName(nullptr, "ZEVPSF"), "/var/zev/ZEVPSF");
    EXPECT_STREQ(std::getenv("ZEV_WORK_PATH"), "/var/zev  ") << "the environment itself is not edited";
    setenv("ZEV_WORK_PATH", "/elsewhere/", 1);
    EXPECT_EQ(fullName(nullptr, "f"), "/var/zev/f");
  });
}

// The full name goes into a 512-byte block: a name that does not fit is refused,
// not written past the block.
TEST(PathsTest, FullNameThatDoesNotFitIsRefused) {
  RunInChild([] {
    std::string path(500, 'p');
    TraceCapture capture("*=0x80");
    EXPECT_EQ(fullName(path.c_str(), std::string(11, 'n').c_str()), path + std::string(11, 'n'));
    EXPECT_EQ(fullName(path.c_str(), std::string(12, 'n').c_str()), "<null>");
    EXPECT_EQ(fullName("/opt/", std::string(600, 'n').c_str()), "<null>");
    EXPECT_EQ(fullName("/opt/", nullptr), "<null>");
    EXPECT_TRUE(capture.contains("longer than 511 characters"));
  });
}

TEST(PathsTest, WorkDirectoryThatDoesNotFitRefusesNamesWithoutAPath) {
  RunInChild([] {
    setenv("ZEV_WORK_PATH", std::string(600, 'w').c_str(), 1);
    EXPECT_EQ(fullName(nullptr, "f"), "<null>");
    EXPECT_EQ(fullName("/opt/", "f"), "/opt/f");
  });
}

TEST(PathsTest, CloseFileClosesAndClearsThePointer) {
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  ZEV0_CloseFile(&stream);
  EXPECT_EQ(stream, nullptr);

  TraceCapture capture("*=0x80");
  ZEV0_CloseFile(&stream);
  EXPECT_TRUE(capture.contains("***** Input FD pointer is NULL"));
}

}  // namespace
