#include "zev0/scrambler.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string encipher(std::string record, int32_t key) {
  char* result = ZEV0_EncipherRecord(record.data(), key);
  EXPECT_EQ(result, record.data());
  return record;
}

std::string decipher(std::string record, int32_t key) {
  char* result = ZEV0_DecipherMetaRecord(record.data(), key);
  EXPECT_EQ(result, record.data());
  return record;
}

std::string visibleCharacters() {
  std::string all;
  for (char c = '!'; c <= '~'; ++c) all += c;
  return all;
}

// The number of characters in the table: the period of scrambling one character.
int tableLength() {
  for (int key = 1; key <= 96; ++key)
    if (encipher("A", key) == "A") return key;
  return 0;
}

const int32_t kEdgeKeys[] = {0, 1, -1, 93, -94, 123456789, INT32_MAX, INT32_MIN};

TEST(ScramblerTest, RandomRecordsComeBackForEveryKindOfKey) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<int> length(0, 511);
  std::uniform_int_distribution<int32_t> anyKey(INT32_MIN, INT32_MAX);
  for (int round = 0; round < 40; ++round) {
    std::string record(static_cast<size_t>(length(random)), ' ');
    for (char& c : record) c = static_cast<char>(byte(random));
    std::vector<int32_t> keys(std::begin(kEdgeKeys), std::end(kEdgeKeys));
    keys.push_back(anyKey(random));
    for (int32_t key : keys) {
      std::string scrambled = encipher(record, key);
      ASSERT_EQ(scrambled.size(), record.size());
      ASSERT_EQ(decipher(scrambled, key), record) << "round " << round << " key " << key;
    }
  }
}

TEST(ScramblerTest, EveryTableCharacterComesBackUnderEveryShift) {
  const int length = tableLength();
  ASSERT_GT(length, 0);
  const std::string all = visibleCharacters();
  for (int key = 0; key < length; ++key) ASSERT_EQ(decipher(encipher(all, key), key), all) << key;
}

// Scrambling character i of a record uses the key walk key, key-1, key+1, key-2,
// key+2, ...; each character must be what scrambling it alone with that (reduced)
// key gives, however large the key grows.
std::string scrambledOneByOne(const std::string& record, int32_t key, int length) {
  std::string expected;
  int64_t k = key;
  for (size_t i = 0; i < record.size(); ++i) {
    auto reduced = static_cast<int32_t>(((k % length) + length) % length);
    expected += encipher(std::string(1, record[i]), reduced);
    int64_t step = static_cast<int64_t>(i) + 1;
    k += (step % 2 != 0) ? -step : step;
  }
  return expected;
}

TEST(ScramblerTest, KeyWalksCorrectlyOverLongRecordsWithLargeKeys) {
  const int length = tableLength();
  ASSERT_GT(length, 0);
  std::string record;
  while (record.size() < 511) record += visibleCharacters();
  record.resize(511);
  for (int32_t key : kEdgeKeys) {
    SCOPED_TRACE(key);
    std::string scrambled = encipher(record, key);
    EXPECT_EQ(scrambled, scrambledOneByOne(record, key, length));
    EXPECT_EQ(decipher(scrambled, key), record);
  }
}

TEST(ScramblerTest, CharactersOutsideTheTablePassUnchanged) {
  const std::string outside = " \t\n\r\x01\x7f\x80\xfe\xff";
  for (int32_t key : kEdgeKeys) {
    EXPECT_EQ(encipher(outside, key), outside) << key;
    EXPECT_EQ(decipher(outside, key), outside) << key;
  }
}

TEST(ScramblerTest, EmptyRecordAndKeyZeroOnOneCharacter) {
  EXPECT_EQ(encipher("", 12345), "");
  EXPECT_EQ(decipher("", 12345), "");
  for (char c : visibleCharacters()) EXPECT_EQ(encipher(std::string(1, c), 0), std::string(1, c));
}

// ---------------------------------------------------------------- the zevscramble tool

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The lines of a text, each with its line end.
std::vector<std::string> recordsOf(const std::string& text) {
  std::vector<std::string> records;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    records.push_back(text.substr(start, end - start));
    start = end;
  }
  return records;
}

class ScrambleToolTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* tools = std::getenv("ZEV_TEST_TOOLS");
    ASSERT_NE(tools, nullptr) << "ZEV_TEST_TOOLS names the folder of the built tools";
    tool_ = std::string(tools) + "/zevscramble";
    std::string pattern = testing::TempDir() + "zevscramble_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    for (const char* name : {"/plain", "/scrambled", "/restored"}) std::remove((folder_ + name).c_str());
    if (!folder_.empty()) rmdir(folder_.c_str());
  }

  int run(const std::string& arguments) {
    int status = std::system(("'" + tool_ + "' " + arguments).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string path(const char* name) { return folder_ + "/" + name; }

  std::string tool_;
  std::string folder_;
};

TEST_F(ScrambleToolTest, FileRoundTripsWithRecordNKeyedByItsLengthTimesN) {
  const std::string plain =
      "//PSF\n"
      "NODE_TYPE=ZV\n"
      "PRODUCT_NAME=Dorvane Agent\n"
      "DCH_PORT_NUMBER=1919\n"
      "DP_TO_START=FILE,SOCK,SNMP\n";
  std::ofstream(path("plain"), std::ios::binary) << plain;

  ASSERT_EQ(run("encipher -p 1 '" + path("plain") + "' '" + path("scrambled") + "'"), 0);
  std::vector<std::string> plainRecords = recordsOf(plain);
  std::vector<std::string> scrambledRecords = recordsOf(readFile(path("scrambled")));
  ASSERT_EQ(scrambledRecords.size(), plainRecords.size());
  EXPECT_EQ(scrambledRecords[0], plainRecords[0]);  // the identifier line stays plain
  for (size_t n = 1; n < plainRecords.size(); ++n) {
    SCOPED_TRACE(plainRecords[n]);
    EXPECT_NE(scrambledRecords[n], plainRecords[n]);
    auto key = static_cast<int32_t>(scrambledRecords[n].size() * n);
    EXPECT_EQ(decipher(scrambledRecords[n], key), plainRecords[n]);
  }

  ASSERT_EQ(run("decipher -p 1 '" + path("scrambled") + "' '" + path("restored") + "'"), 0);
  EXPECT_EQ(readFile(path("restored")), plain);
}

}  // namespace
