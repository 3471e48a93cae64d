#include "zev0/text_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scratch_directory.h"

namespace {

TEST(TextFiles, LinesWithoutTheirEndsAndOverLongLinesSkippedWhole) {
  ScratchDirectory scratch;
  std::string name = scratch.write("lines", "one\r\ntwo\n" + std::string(12, 'x') + "\nlast");
  FILE* file = std::fopen(name.c_str(), "r");
  ASSERT_NE(file, nullptr);
  std::vector<std::pair<std::string, bool>> lines;
  std::string line;
  bool tooLong = false;
  while (zev0::NextTextLine(file, &line, 10, &tooLong)) lines.emplace_back(tooLong ? "" : line, tooLong);
  std::fclose(file);
  EXPECT_EQ(lines, (std::vector<std::pair<std::string, bool>>{{"one", false}, {"two", false}, {"", true}, {"last", false}}));
}

TEST(TextFiles, NewFileReplacesTheOldOnlyWhenWhole) {
  ScratchDirectory scratch;
  std::string name = scratch.write("kept", "old");
  FILE* file = std::fopen(scratch.file("kept.new").c_str(), "w");
  std::fputs("new", file);
  EXPECT_TRUE(zev0::ReplaceWithNewFile(file, scratch.file("kept.new").c_str(), name.c_str()));
  EXPECT_EQ(scratch.read("kept"), "new");

  file = std::fopen(scratch.file("kept.new").c_str(), "w");
  std::fputs("newer", file);
  EXPECT_FALSE(zev0::ReplaceWithNewFile(file, scratch.file("kept.new").c_str(), scratch.file("no/such/dir").c_str()));
  EXPECT_EQ(scratch.read("kept"), "new");
  EXPECT_EQ(scratch.read("kept.new"), "") << "the new file is removed";
}

}  // namespace
