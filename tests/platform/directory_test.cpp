#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <set>
#include <string>

#include "hqn.h"
#include "scratch_directory.h"

namespace {

// Every name the reader hands out, with the blanks of its field cut.
std::multiset<std::string> ReadAll(HQN_Directory* directory) {
  std::multiset<std::string> names;
  char field[HQN_ENTRY_NAME_FIELD];
  while (hqnqprdd(directory, field, nullptr) == 0) {
    std::string name(field);
    EXPECT_EQ(name.size(), static_cast<size_t>(HQN_ENTRY_NAME_FIELD - 1)) << "the field is padded whole";
    name.erase(name.find_last_not_of(' ') + 1);
    names.insert(name);
  }
  return names;
}

TEST(DirectoryTest, ListsEveryEntryButDotAndDotDotWithLongNamesWhole) {
  ScratchDirectory scratch;
  std::string longName(200, 'x');
  scratch.write("LOG020105.TXT", "a");
  scratch.write(longName + ".log", "b");
  ASSERT_EQ(mkdir(scratch.file("sub").c_str(), 0700), 0);

  HQN_Directory* directory = nullptr;
  ASSERT_EQ(hqnqpopd(scratch.path().c_str(), 'R', &directory), 0);
  ASSERT_NE(directory, nullptr);
  EXPECT_EQ(ReadAll(directory), (std::multiset<std::string>{"LOG020105.TXT", longName + ".log", "sub"}));
  char field[HQN_ENTRY_NAME_FIELD];
  EXPECT_NE(hqnqprdd(directory, field, nullptr), 0) << "the end stays the end";
  EXPECT_EQ(hqnqpcld(directory), 0);
}

TEST(DirectoryTest, AnEmptyDirectoryEndsAtOnce) {
  ScratchDirectory scratch;
  HQN_Directory* directory = nullptr;
  ASSERT_EQ(hqnqpopd(scratch.path().c_str(), 'R', &directory), 0);
  EXPECT_TRUE(ReadAll(directory).empty());
  EXPECT_EQ(hqnqpcld(directory), 0);
}

TEST(DirectoryTest, OpenFailuresGiveTheErrnoAndNoReader) {
  ScratchDirectory scratch;
  std::string file = scratch.write("plain", "x");
  struct Case {
    const char* label;
    std::string path;
    char mode;
    int status;
  } cases[] = {
      {"missing", scratch.file("none"), 'R', ENOENT},
      {"a file", file, 'R', ENOTDIR},
      {"through a file", file + "/below", 'R', ENOTDIR},
      {"write mode", scratch.path(), 'W', EINVAL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    HQN_Directory* directory = reinterpret_cast<HQN_Directory*>(&scratch);
    EXPECT_EQ(hqnqpopd(c.path.c_str(), c.mode, &directory), c.status);
    EXPECT_EQ(directory, nullptr);
  }
  HQN_Directory* directory = nullptr;
  EXPECT_EQ(hqnqpopd(nullptr, 'R', &directory), EINVAL);
  EXPECT_EQ(hqnqpopd(scratch.path().c_str(), 'R', nullptr), EINVAL);
  EXPECT_EQ(hqnqpcld(nullptr), 0);
}

}  // namespace
