#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "run_in_child.h"
#include "zev0/prodspec.h"

// The product specification file shipped in examples/ (its plain source beside it).
namespace {

const std::string kExamples = ZEV_EXAMPLES_DIR;

std::string contentOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

TEST(ProdSpecExampleTest, ShippedFileIsTheScrambledFormOfItsPlainSource) {
  const char* tools = std::getenv("ZEV_TEST_TOOLS");
  ASSERT_NE(tools, nullptr);
  std::string deciphered = std::filesystem::temp_directory_path() / ("zev_example_psf_" + std::to_string(getpid()));
  std::string command = std::string(tools) + "/zevscramble decipher -p 1 " + kExamples + "/ZEVPSF " + deciphered;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::string plain = contentOf(kExamples + "/ZEVPSF.plain");
  EXPECT_FALSE(plain.empty());
  EXPECT_EQ(contentOf(deciphered), plain);
  EXPECT_NE(contentOf(kExamples + "/ZEVPSF"), plain) << "the records are stored scrambled";
  std::filesystem::remove(deciphered);
}

TEST(ProdSpecExampleTest, ShippedFileInitialisesTheDefaultProduct) {
  RunInChild([] {
    setenv("ZEV_PRODSPEC_PATH", (kExamples + "/").c_str(), 1);
    unsetenv("ZEV_PRODSPEC_NAME");
    ASSERT_EQ(ZEV0_InitializeProductSpec(), 1);
    EXPECT_STREQ(ZEV0_QueryProductSpec(ZEV2_PRODUCT_CODE), "EV");
    EXPECT_EQ(ZEV0_QueryProductSpec(ZEV2_PACKAGED_PRODUCT), nullptr);
    EXPECT_STREQ(ZEV0_QueryProductSpec(ZEV2_DCH_PORT_NUMBER), "1919");
    EXPECT_STREQ(ZEV0_QueryProductSpec(ZEV2_SUBNODE_AFF_STRING), "0000000000000080000000000000000000000000000");
  });
}

}  // namespace
