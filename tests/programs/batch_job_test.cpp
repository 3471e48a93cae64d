// The batch data provider's job in the test process (each in a child, since the
// environment and the product specification are the process's): its options, its
// environment file, its log and a whole batch pass over a FILE source, under a
// clock on which the wait for the batch work passes quickly.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch_job.h"
#include "batch_options.h"
#include "data_provider_run.h"
#include "environment_file.h"
#include "run_in_child.h"
#include "scratch_directory.h"
#include "zev0/env.h"

namespace {

std::vector<std::string> Settings(const std::string& text) {
  std::vector<std::string> settings;
  FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  zevb350::ReadEnvironmentSettings(stream, [&](const std::string& setting) { settings.push_back(setting); });
  std::fclose(stream);
  return settings;
}

TEST(EnvironmentFileTest, CommentsBlanksAndLongLinesAreLeftOut) {
  const std::string longest = "L=" + std::string(253, 'v');
  EXPECT_EQ(Settings("* a comment\nA=1   \r\n\n  \t\nB=two words\t \n" + longest + "\n" + "X=" +
                     std::string(300, 'x') + "=Y=1\nC=3"),
            (std::vector<std::string>{"A=1", "B=two words", longest, "C=3"}));
  EXPECT_EQ(Settings(std::string(256, 'n') + "\r\nD=4\n"), std::vector<std::string>{"D=4"});
  EXPECT_EQ(Settings(""), std::vector<std::string>{});
}

TEST(BatchOptionsTest, OptionsTheirValuesAndTheSwitches) {
  RunInChild([] {
    zevb350::BatchOptions options = zevb350::ParseBatchOptions({"-E", "-m", "m.mdl", "word", "-f", "a.dat", "-s",
                                                                "-F", "b.dat", "-X"});
    EXPECT_EQ(options.environmentFile, "ZEVENV") << "-E is followed by an option";
    EXPECT_EQ(options.metafile, "m.mdl");
    EXPECT_EQ(options.outputFile, "b.dat") << "the last value";
    EXPECT_STREQ(ZEV0_GetEnv("ZEVP_BATCH_SUMMARY_OUTPUT_ONLY", "unset"), "Y");
    EXPECT_STREQ(ZEV0_GetEnv("ZEVP_PROCESS_ALL_MATCH_PATTERN_FILES", "unset"), "unset");
    options = zevb350::ParseBatchOptions({"-a", "-M"});
    EXPECT_EQ(options.metafile, "");
    EXPECT_STREQ(ZEV0_GetEnv("ZEVP_PROCESS_ALL_MATCH_PATTERN_FILES", "unset"), "Y");
  });
}

TEST(BatchLogNameTest, TheProgramsBaseNameInTheLogDirectory) {
  RunInChild([] {
    EXPECT_EQ(zevb350::BatchLogName("./bin/zevb350", "1261210082544000"), "./logs/zevb350_1261210082544000.log");
    setenv("PXRAF_LOG_PATH", "/var/jobs", 1);
    EXPECT_EQ(zevb350::BatchLogName("zevb350", "1261210082544000"), "/var/jobs/zevb350_1261210082544000.log");
  });
}

// A whole job in a child: the metafile's FILE source read once into the batch
// output file; the log's lines.
class BatchJobTest : public ::testing::Test {
 protected:
  // Runs the job with the arguments; false when it did not return 0.
  bool run(const std::vector<std::string>& arguments) {
    setenv("ZEV_PRODSPEC_PATH", ZEV_EXAMPLES_DIR "/", 1);
    setenv("ZEV_PRODSPEC_NAME", "ZEVPSF", 1);
    setenv("ZEVP_META_PATH", files_.path().c_str(), 1);
    setenv("ZEV_WORK_PATH", files_.path().c_str(), 1);
    setenv("PXRAF_LOG_PATH", (files_.path() + "logs").c_str(), 1);
    setenv("ZEV_TRACE", kEngineTrace, 1);
    mkdir((files_.path() + "logs").c_str(), 0700);
    ScaledClock clock;
    return zevb350::RunBatchJob("/opt/jobs/zevb350", arguments, -1) == 0;
  }
  // The lines of the one log of the log directory.
  std::vector<std::string> logLines() const {
    std::vector<std::string> lines;
    DIR* directory = opendir((files_.path() + "logs").c_str());
    std::string name;
    while (dirent* entry = directory != nullptr ? readdir(directory) : nullptr)
      if (std::string(entry->d_name).rfind("zevb350_", 0) == 0) name = entry->d_name;
    if (directory != nullptr) closedir(directory);
    EXPECT_EQ(name.size(), std::string("zevb350_1261210082544000.log").size()) << name;
    std::string text = files_.read("logs/" + name);
    for (size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
      lines.push_back(text.substr(from, end - from));
    return lines;
  }
  ScratchDirectory files_{"zev_batch_job"};
};

TEST_F(BatchJobTest, TheRecordsOfAFileSourceLandInTheOutputFile) {
  RunInChild([this] {
    files_.write("in.txt", "h1;10;1021210100500000\nh2;20;1021210100510000\n");
    files_.write("m.mdl", "//APPL BAT\n//NAME REC P 60\n//SOURCE FILE " + files_.file("in.txt") +
                              "\n//ATTRIBUTES ';'\nHost D 8\nBytes C 999999\nLocalTimeStamp T 16\n");
    ASSERT_TRUE(run({"-M", "m.mdl", "-F", "out.dat"}));
    EXPECT_EQ(files_.read("out.dat"),
              "1021210100500000,BAT,REC,h1,10,1021210100500000,\n1021210100510000,BAT,REC,h2,20,1021210100510000,\n");
    std::vector<std::string> log = logLines();
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(log[0].rfind("Batch Job /opt/jobs/zevb350 started ", 0), 0u) << log[0];
    EXPECT_EQ(std::vector<std::string>(log.begin() + 1, log.begin() + 6),
              (std::vector<std::string>{"Input parameters:", "1 - {-M}", "2 - {m.mdl}", "3 - {-F}", "4 - {out.dat}"}));
    EXPECT_NE(std::find(log.begin(), log.end(), "Total 2 batch data records output to file " + files_.file("out.dat")),
              log.end());
    EXPECT_EQ(log[log.size() - 2], "");
    EXPECT_EQ(log.back().rfind("Batch Job /opt/jobs/zevb350 ended ", 0), 0u) << log.back();
  });
}

TEST_F(BatchJobTest, WithOnlySummaryOutputOnlyTheSummaryRowsAreWritten) {
  RunInChild([this] {
    files_.write("in.txt", "A;100;1021210100500000\nB;7;1021210100510000\nA;200;1021210100520000\n"
                           "A;5;1021210100601000\n");
    const std::string source = "//SOURCE FILE " + files_.file("in.txt") + "\n";
    files_.write("sum.mdl", "//APPL Sum\n//NAME Plain P 60\n" + source +
                                "//ATTRIBUTES ';'\nHost D 8\nBytes C 999999\nLocalTimeStamp T 16\n"
                                "//NAME Traffic P 60\n" + source +
                                "//SUMMARY 60 BATCH\n//ATTRIBUTES ';'\nHost D 16 SKEY=1\nBytes C 999999 SKEY=SUM\n"
                                "LocalTimeStamp T 16\n");
    ASSERT_TRUE(run({"-S", "-M", "sum.mdl", "-F", files_.file("out.dat")}));
    std::string written = files_.read("out.dat");
    EXPECT_NE(written.find("1021210100500000,Sum,Traffic,A,5,60,2,1021210100500000,2002/12/10 10:05:00 000,"
                           "1 Minute(s),300,\n"),
              std::string::npos)
        << written;
    EXPECT_EQ(written.find(",Plain,"), std::string::npos) << written;
  });
}

}  // namespace
