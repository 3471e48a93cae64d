// The network files: the work file written exactly and read back, the lines a
// reader passes over, the seed file and the excluded interface types.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "excluded_interface_types.h"
#include "network_block_fixture.h"
#include "network_masks.h"
#include "network_seed_file.h"
#include "network_work_file.h"
#include "trace_capture.h"

namespace {

const std::string kHeader = std::string(zevs::kNetworkFileHeader) + "\n";

// The text as an open file for a reader.
class TextFile {
 public:
  explicit TextFile(const std::string& text) : text_(text), file_(fmemopen(text_.data(), text_.size(), "r")) {}
  ~TextFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  FILE* get() const { return file_; }

 private:
  std::string text_;
  FILE* file_;
};

class NetworkFilesTest : public NetworkBlockTest {
 protected:
  // What the list holds of each network: address, mask, state, agent-found, interval,
  // slot 0's times, seen hosts and the letters of the first hosts.
  std::vector<std::string> networks() const {
    std::vector<std::string> all;
    for (NetworkEntry* entry = block_->networks; entry != nullptr; entry = entry->next) {
      const int32_t shown = std::min<int32_t>(entry->hostRange - 1, 4);
      all.push_back(zevs::DottedAddress(entry->networkAddress) + "/" + zevs::DottedMask(entry->networkMask) + " " +
                    std::to_string(entry->state) + " " + std::to_string(entry->agentFound) + " " +
                    std::to_string(entry->pollInterval) + " " + std::to_string(entry->currentResponseTimes[0]) + "," +
                    std::to_string(entry->minimumResponseTimes[0]) + "," +
                    std::to_string(entry->maximumResponseTimes[0]) + " seen " +
                    std::to_string(entry->seenHostCount) + " " + std::string(entry->nodeStatus + 1, shown));
    }
    return all;
  }
  void restart() {
    zevs::FreeNetworkConfigurationBlock(block_);
    block_ = ZEVS_InitializeNCB();
    ASSERT_NE(block_, nullptr);
  }
};

TEST_F(NetworkFilesTest, TheWorkFileIsWrittenExactlyAndReadBackWhole) {
  NetworkEntry* small = Enter("10.77.1.0", "255.255.255.248");
  small->agentFound = 1;
  small->state = ZEVS_NETWORK_EXCLUDED;
  small->pollInterval = 600;
  small->currentResponseTimes[0] = 5;
  small->minimumResponseTimes[0] = 3;
  small->maximumResponseTimes[0] = 9;
  small->nodeStatus[1] = 'A';
  small->nodeStatus[3] = 'I';
  NetworkEntry* wide = Enter("172.16.0.0", "255.255.0.0");
  wide->state = ZEVS_NETWORK_MANAGED;
  wide->nodeStatus[1] = 'A';
  NetworkEntry* classC = Enter("192.168.5.0", "255.255.255.0");
  classC->nodeStatus[254] = 'A';
  ZEVS_WriteNetConfigToExt(block_);

  const std::string written = NetworkWorkDirectory().read("ZEVSNETS");
  const std::string classCletters = std::string(253, '0') + "A";
  EXPECT_EQ(written, kHeader + "255.255.255.248,10.77.1.0,1,2,600,5,3,9,A0I000,\n" +
                         "255.255.0.0,172.16.0.0,0,1,300,0,2147483647,0,,\n" +
                         "255.255.255.0,192.168.5.0,0,0,300,0,2147483647,0," + classCletters + ",\n");

  restart();
  ZEVS_ReadNetConfigFromExt(block_);
  // Letters are kept for ranges below 256 only; each one other than '0' is a host seen.
  const std::vector<std::string> after = networks();
  EXPECT_EQ(after, (std::vector<std::string>{"10.77.1.0/255.255.255.248 2 1 600 5,3,9 seen 2 A0I0",
                                             "172.16.0.0/255.255.0.0 1 0 300 0,2147483647,0 seen 0 0000",
                                             "192.168.5.0/255.255.255.0 0 0 300 0,2147483647,0 seen 1 0000"}));
  EXPECT_EQ(block_->networksTail->nodeStatus[254], 'A');

  // Networks already known are passed over: a second read changes nothing.
  ZEVS_ReadNetConfigFromExt(block_);
  EXPECT_EQ(networks(), after);
  EXPECT_EQ(block_->networkCount, 3);
}

TEST_F(NetworkFilesTest, LinesThatAreNoNetworkRecordArePassedOverAndShortOnesTakeWhatTheyGive) {
  const std::string text = kHeader +
                           "255.255.255.128,10.77.1.0,0,2,300,5,3,9,AAI,\n"  // taken
                           "255.255.255.0,10.1.1.0,\n"                       // taken, nothing more given
                           "255.255.255.0,10.1.2.0,0,1,300,5,3,9,AXI,\n"     // a letter that is none
                           "255.255.255.0,10.1.3.0,0,9,300,5,3,9,,\n"        // no such state
                           "255.255.255.0,10.1.4.0,0,1,-300,5,3,9,,\n"       // a negative interval
                           "255.255.255.0,10.1.5.0,0,1,300,99999999999,3,9,,\n"
                           "255.255.300.0,10.1.6.0,0,1,300,5,3,9,,\n"
                           "255.255.255.0,10.1.7\n"
                           "255.255.255.0,10.1.8.0,0,1,300,5,3,9,AA,extra,\n" +
                           "255.255.255.0,10.1.9.0,0,0,300,0,0,0," + std::string(600, 'A') + ",\n" +
                           "* a comment\n"
                           "255.255.255.0\n"
                           "255.255.255.255,10.1.10.0,0,0,300,0,0,0,,\n";
  TextFile file(text);
  TraceCapture trace("*=0x80");
  EXPECT_EQ(zevs::ReadNetworkLines(block_, file.get()), 2);
  EXPECT_EQ(networks(), (std::vector<std::string>{"10.77.1.0/255.255.255.128 2 0 300 5,3,9 seen 3 AAI0",
                                                  "10.1.1.0/255.255.255.0 0 0 300 0,2147483647,0 seen 0 0000"}));
  EXPECT_EQ(trace.count("***** Network configuration record ignored"), 8);
  EXPECT_EQ(trace.count("longer than 511 characters ignored"), 1);
}

TEST_F(NetworkFilesTest, SeedLinesGiveANetworkAndItsMaskOrItsClassMask) {
  TextFile file(
      "10.78.0.0 255.255.0.0\n"
      "192.168.5.0\n"
      "  172.20.0.0   extra\n"
      "* 10.99.0.0\n"
      "10.79.0.0 255.255.300.0\n"
      "abc\n"
      "\n"
      "10.78.0.0 255.255.255.0\n");
  TraceCapture trace("*=0x80");
  EXPECT_EQ(zevs::ReadSeedLines(block_, file.get()), 2);
  EXPECT_EQ(networks(), (std::vector<std::string>{"10.78.0.0/255.255.0.0 0 0 300 0,2147483647,0 seen 0 0000",
                                                  "192.168.5.0/255.255.255.0 0 0 300 0,2147483647,0 seen 0 0000"}));
  EXPECT_EQ(trace.count("is not a network address and mask, ignored"), 3);
}

TEST(ExcludedInterfaceTypesTest, TheFileIncludesOrExcludesTypesOverTheDefaults) {
  zevs::ExcludedTypes excluded = zevs::DefaultExcludedTypes();
  for (int type = 0; type < zevs::kInterfaceTypes; ++type)
    EXPECT_EQ(excluded[static_cast<size_t>(type)], type == 23 || type == 24 || type == 28) << type;

  TextFile file(
      "   24 include\n"
      "* 28 include\n"
      "40 exclude\n"
      "6\n"
      "6x exclude\n"
      "-1 exclude\n"
      "7 Exclude\n"
      "8 e\n"
      "23 anything\r\n");
  zevs::ReadExcludedTypes(file.get(), &excluded);
  std::vector<int> excludedTypes;
  for (int type = 0; type < zevs::kInterfaceTypes; ++type)
    if (excluded[static_cast<size_t>(type)]) excludedTypes.push_back(type);
  EXPECT_EQ(excludedTypes, (std::vector<int>{7, 8, 28}));
}

TEST(ExcludedInterfaceTypesTest, WithoutTheFileTheDefaultsHoldAndTypesOutsideTheTableAreRefused) {
  NetworkWorkDirectory();
  TraceCapture trace("*=0x80");
  EXPECT_EQ(ZEVS_IsExcludeInterfaceType(23), 1);
  EXPECT_TRUE(trace.contains("Default values used"));
  EXPECT_EQ(ZEVS_IsExcludeInterfaceType(6), 0);
  EXPECT_EQ(ZEVS_IsExcludeInterfaceType(36), 0);
  EXPECT_TRUE(trace.contains("*****Error: input interface type 36 invalid"));
}

}  // namespace
