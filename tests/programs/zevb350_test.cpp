// The batch data provider zevb350 as a program: its runs end with exit code 0 and
// say what went wrong in its batch log (in ./logs of its working folder, named from
// its base name although it is started by a path), and SIGTERM ends its wait for
// the batch work through the engine's shut-down.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "eventually.h"
#include "tool_process.h"

namespace {

constexpr int kRunWaitMs = 30000;

std::string Read(const std::string& path) {
  std::ifstream stream(path);
  std::stringstream text;
  text << stream.rdbuf();
  return text.str();
}

struct BatchRun {
  std::unique_ptr<ToolProcess> program = std::make_unique<ToolProcess>("zevb350");

  // Starts the program in its folder with the files written there first.
  void start(const std::vector<std::string>& arguments, const std::vector<std::pair<std::string, std::string>>& files) {
    const std::string folder = program->scratch() + "/";
    mkdir((folder + "logs").c_str(), 0700);
    for (const auto& [name, content] : files) std::ofstream(folder + name) << content;
    program->runInScratch();
    ASSERT_TRUE(program->start(arguments, {"ZEV_PRODSPEC_PATH=" ZEV_EXAMPLES_DIR "/", "ZEV_PRODSPEC_NAME=ZEVPSF",
                                           "ZEVP_META_PATH=" + folder, "ZEV_WORK_PATH=" + folder,
                                           "ZEV_TRACE=*=0x90 storage=0x80 >" + folder + "trace"}))
        << program->failure();
  }
  std::string log() const {
    std::string folder = program->scratch() + "/logs";
    DIR* directory = opendir(folder.c_str());
    std::string name;
    while (dirent* entry = directory != nullptr ? readdir(directory) : nullptr)
      if (std::string(entry->d_name).rfind("zevb350_", 0) == 0) name = entry->d_name;
    if (directory != nullptr) closedir(directory);
    return name.empty() ? std::string() : Read(folder + "/" + name);
  }
  std::string trace() const { return Read(program->scratch() + "/trace"); }
};

int ExitCode(int status) { return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

TEST(Zevb350Test, RunsThatEndEarlyTellWhyInTheLog) {
  const std::string socketSource = "//APPL SKT\n//NAME G P 60\n//SOURCE SOCK 127.0.0.1\n//ATTRIBUTES ';'\nA D 8\n";
  const struct {
    std::vector<std::string> arguments;
    std::vector<std::pair<std::string, std::string>> files;
    std::string logged;
    std::string traced;
  } cases[] = {
      {{}, {}, "\nERROR: At least one input parameter is required\n", "*****ERROR: No input parameter found"},
      {{"-F", "out.dat"}, {}, "\nERROR: -M Metafile name input parameter required\n",
       "*****ERROR: No input metafile name specified"},
      // -E takes no value from an option: the default file is read.
      {{"-E", "-M", "m.mdl"},
       {{"m.mdl", socketSource}, {"ZEVENV", "* settings of the test\nA=1   \nZEVP_SNMP_X=2\n"}},
       "Application SKT available.\n\nBatch Job ",
       "Env Var A Value set to 1"},
      {{"-M", "bad.mdl", "-s"}, {{"bad.mdl", "//APPL\n"}}, "\nERROR: Input metafile bad.mdl  definition failed\n",
       "*****ERROR: Input batch metafile bad.mdl definition failed!"},
  };
  std::vector<BatchRun> runs(std::size(cases));
  for (size_t n = 0; n < runs.size(); ++n) runs[n].start(cases[n].arguments, cases[n].files);
  for (size_t n = 0; n < runs.size(); ++n) {
    SCOPED_TRACE(n);
    std::string output = runs[n].program->readAll(kRunWaitMs);
    EXPECT_EQ(ExitCode(runs[n].program->waitForEnd(kRunWaitMs)), 0) << runs[n].program->errorText();
    EXPECT_EQ(output.rfind("Input command setting:\n", 0) == 0, cases[n].arguments.empty()) << output;
    std::string log = runs[n].log();
    EXPECT_EQ(log.rfind("Batch Job ", 0), 0u) << log;
    EXPECT_NE(log.find(cases[n].logged), std::string::npos) << log;
    EXPECT_NE(runs[n].trace().find(cases[n].traced), std::string::npos) << runs[n].trace();
  }
  EXPECT_NE(runs[2].trace().find("Env file ZEVENV opened successfully"), std::string::npos);
  EXPECT_NE(runs[2].trace().find("Setting Env Var {A=1}"), std::string::npos);
}

TEST(Zevb350Test, SigtermEndsTheWaitThroughTheShutdown) {
  BatchRun run;
  run.start({"-M", "wait.mdl"}, {{"wait.mdl", "//APPL WAIT\n//NAME G P 60\n//SOURCE FILE " + run.program->scratch() +
                                                  "/absent.txt\n//ATTRIBUTES ';'\nA D 8\n"}});
  // The file server waits for its file, and the job for the file server.
  ASSERT_TRUE(Eventually([&] { return run.log().find("wait for file creation") != std::string::npos; }, kRunWaitMs))
      << run.log();
  EXPECT_EQ(ExitCode(run.program->terminate(kRunWaitMs)), 0) << run.program->errorText();
  std::string log = run.log();
  EXPECT_NE(log.find("\n\nBatch Job "), std::string::npos) << "the end line: " << log;
  EXPECT_NE(log.find(" ended "), std::string::npos) << log;
}

}  // namespace
