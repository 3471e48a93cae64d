#include "zev0/base64.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>

#include "trace_capture.h"

namespace {

// Output storage as callers provide it, with room to spare for the checks.
struct Output {
  char text[1024];
  char* pointer = text;
  Output() { std::fill(std::begin(text), std::end(text), '#'); }
};

std::string encode(const std::string& input) {
  Output out;
  EXPECT_EQ(ZEV0_EncodeBase64(input.c_str(), &out.pointer), 1) << input;
  return out.text;
}

std::string decode(const std::string& input) {
  Output out;
  EXPECT_EQ(ZEV0_DecodeBase64(input.c_str(), &out.pointer), 1) << input;
  return out.text;
}

// Runs coreutils base64 (with the given options) on the data through a file.
std::string coreutils(const std::string& data, const char* options) {
  char path[] = "/tmp/base64_test_XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return "(no temporary file)";
  bool written = write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
  close(fd);
  std::string result = written ? "" : "(not written)";
  std::string command = std::string("/usr/bin/base64 ") + options + " " + path;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char chunk[512];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) result.append(chunk, n);
    pclose(pipe);
  }
  unlink(path);
  return result;
}

// Random text of the given length without zero bytes (the codec works on texts).
std::string randomText(std::mt19937& random, size_t length) {
  std::uniform_int_distribution<int> byte(1, 255);
  std::string text;
  for (size_t i = 0; i < length; ++i) text += static_cast<char>(byte(random));
  return text;
}

struct Case {
  const char* plain;
  const char* encoded;
};

TEST(Base64Test, EncodesWithPadding) {
  const Case cases[] = {
      {"abc", "YWJj"}, {"ab", "YWI="}, {"a", "YQ=="}, {"\xff", "/w=="}, {"foobar", "Zm9vYmFy"}, {"\xfb\xff", "+/8="},
  };
  for (const Case& c : cases) EXPECT_EQ(encode(c.plain), c.encoded) << c.plain;
}

TEST(Base64Test, DecodesPaddedAndUnpaddedText) {
  const Case cases[] = {
      {"abc", "YWJj"}, {"ab", "YWI="}, {"ab", "YWI"},          {"a", "YQ=="}, {"a", "YQ"},
      {"foobar", "Zm9vYmFy"}, {"\xfb\xff", "+/8="}, {"abc", "\xD9\xD7\xCA\xEA"},  // top bit set: same characters
  };
  for (const Case& c : cases) EXPECT_EQ(decode(c.encoded), c.plain) << c.encoded;
}

TEST(Base64Test, DecodedTextEndsAtTheFirstZeroByte) {
  EXPECT_EQ(decode("YQBj"), "a");  // a, NUL, c
  EXPECT_EQ(decode("AGJj"), "");
}

TEST(Base64Test, CharactersOutsideTheAlphabetAreNotRejected) {
  for (const char* malformed : {"@@@@", "==YW", "YW Jj\nYWJj", "Y"}) {
    Output out;
    EXPECT_EQ(ZEV0_DecodeBase64(malformed, &out.pointer), 1) << malformed;
  }
}

TEST(Base64Test, EmptyInputFailsAndLeavesTheOutputAlone) {
  TraceCapture capture("*=0x80");
  Output out;
  EXPECT_EQ(ZEV0_EncodeBase64("", &out.pointer), 0);
  EXPECT_EQ(ZEV0_DecodeBase64("", &out.pointer), 0);
  EXPECT_EQ(out.text[0], '#');
  EXPECT_EQ(capture.count("No input string was provided"), 2);
}

// Regression: the working area of 512 bytes was filled without a bound, so a long
// input overran it.
TEST(Base64Test, InputTooLongForTheWorkingAreaIsRefused) {
  TraceCapture capture("*=0x80");
  Output out;
  std::string longest(ZEV0_BASE64_MAX_ENCODE_INPUT, 'x');
  EXPECT_EQ(encode(longest).size(), 508u);
  EXPECT_EQ(ZEV0_EncodeBase64((longest + "x").c_str(), &out.pointer), 0);
  EXPECT_EQ(out.text[0], '#');

  std::string longestEncoded(ZEV0_BASE64_MAX_DECODE_INPUT, 'e');
  EXPECT_EQ(decode(longestEncoded).size(), 510u);
  EXPECT_EQ(ZEV0_DecodeBase64((longestEncoded + "e").c_str(), &out.pointer), 0);
  EXPECT_EQ(out.text[0], '#');
  EXPECT_TRUE(capture.contains("Input string longer than"));
}

TEST(Base64Test, AgreesWithCoreutilsOnRandomText) {
  std::mt19937 random(20020215);
  std::uniform_int_distribution<size_t> length(1, ZEV0_BASE64_MAX_ENCODE_INPUT);
  for (int round = 0; round < 60; ++round) {
    size_t size = round < 3 ? static_cast<size_t>(round + 1) : length(random);
    std::string plain = randomText(random, size);
    SCOPED_TRACE("length " + std::to_string(size));
    ASSERT_EQ(encode(plain), coreutils(plain, "-w 0"));
  }
}

TEST(Base64Test, DecodesWhatCoreutilsEncodes) {
  std::mt19937 random(19991231);
  std::uniform_int_distribution<size_t> length(1, 510);  // 680 characters encoded
  for (int round = 0; round < 60; ++round) {
    size_t size = round == 0 ? 510 : length(random);
    std::string plain = randomText(random, size);
    std::string encoded = coreutils(plain, "-w 0");
    SCOPED_TRACE("length " + std::to_string(size));
    ASSERT_EQ(decode(encoded), plain);
    ASSERT_EQ(decode(encoded.substr(0, encoded.find('='))), plain);  // without the padding
  }
}

}  // namespace
