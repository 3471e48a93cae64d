// The start-up configuration file: which metafiles a data provider loads when it
// starts, the packaged product's list, the auto-load without a file, and the
// file's upkeep as metafiles are imported and deleted. Each case runs in a process
// of its own: the product specification and the file's loaded state are settled
// once per process.
#include "startup_config.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "accepted_registrations.h"
#include "application_entry.h"
#include "data_provider_run.h"
#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "run_in_child.h"
#include "scratch_directory.h"
#include "zev0/storage.h"

namespace {

using Names = std::vector<std::string>;

// A data provider's anchor with a metafile directory and a directory for its
// start-up configuration file, whose applications register without an agent.
class StartUpConfig {
 public:
  explicit StartUpConfig(const std::vector<std::string>& productLines = {}) {
    setenv("ZEV_WORK_PATH", work_.path().c_str(), 1);
    setenv("ZEVP_META_PATH", metafiles_.path().c_str(), 1);
    setenv("ZEVP_INIT_CONFIG_PATH", config_.path().c_str(), 1);
    UseProductSpec(productSpec_, productLines);
  }
  ~StartUpConfig() {
    if (anchor_ == nullptr) return;
    ZEVP_ShutdownCleanUp(anchor_, 1);
    ZEVP_ReleaseGlobalResources(anchor_);
  }

  // A metafile of an application of that name.
  void metafile(const std::string& fileName, const std::string& application) const {
    metafiles_.write(fileName, "//APPL " + application + "\n//NAME Grp E\n//ATTRIBUTES\nA1 D 8\n");
  }
  void writeConfiguration(const std::string& text, const std::string& name = "ZEVPCNFG") const {
    config_.write(name, text);
  }
  std::string configuration(const std::string& name = "ZEVPCNFG") const { return config_.read(name); }
  const ScratchDirectory& metafiles() const { return metafiles_; }

  DPAB* anchor() {
    if (anchor_ == nullptr) anchor_ = ZEVP_StartupInitialization();
    EXPECT_NE(anchor_, nullptr);
    return anchor_;
  }
  Names applications() {
    Names names;
    for (ApplicationEntry* application = anchor()->applications; application != nullptr;
         application = application->next)
      names.push_back(application->ApplName);
    return names;
  }

 private:
  ScratchDirectory work_;
  ScratchDirectory metafiles_;
  ScratchDirectory config_;
  ProdSpecDirectory productSpec_;
  AcceptedRegistrations agent_;
  DPAB* anchor_ = nullptr;
};

TEST(StartUpConfigTest, FileNamesTheMetafilesToLoadInOrder) {
  struct Case {
    const char* label;
    std::string file;  // empty: no file
    int count;
    Names loaded;
  } cases[] = {
      {"no file", "", 0, {}},
      {"only comments", "* first\n*second\r\n\n", -1, {}},
      {"three names on a line, one on the next", "  a.mdl   b.mdl  c.mdl\r\n* c.mdl\nc.mdl\n", 4,
       {"APPLA", "APPLB", "APPLC"}},
      {"an asterisk after blanks is a name", "   * b.mdl\n", 2, {"APPLB"}},
      {"names that do not load count all the same", "missing.mdl\n", 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RunInChild([&] {
      StartUpConfig config;
      for (const char* name : {"a", "b", "c"}) config.metafile(std::string(name) + ".mdl", std::string("APPL") + static_cast<char>(std::toupper(name[0])));
      if (!c.file.empty()) config.writeConfiguration(c.file);
      EXPECT_EQ(ZEVP_ProcessStartUpConfig(config.anchor()), c.count);
      EXPECT_EQ(config.anchor()->startupConfigDone.load(), 1);
      EXPECT_EQ(config.applications(), c.loaded);
      EXPECT_EQ(zevp::StartUpConfigLoaded(), !c.file.empty());
    });
  }
}

TEST(StartUpConfigTest, ProductSpecificationNamesTheFileAndThePackagedMetafiles) {
  struct Case {
    const char* label;
    std::vector<std::string> productLines;
    std::string fileName;
    std::string file;
    int count;
    Names loaded;
  } cases[] = {
      {"a file of another name", {"INITCNFG_FILE_NAME=MYCNFG"}, "MYCNFG", "a.mdl\n", 1, {"APPLA"}},
      {"an empty file and a packaged metafile", {"METAFILES_TO_LOAD=b.mdl"}, "ZEVPCNFG", "", 1, {"APPLB"}},
      {"no file and packaged metafiles", {"METAFILES_TO_LOAD=a.mdl, missing.mdl ,b.mdl"}, "", "", 2,
       {"APPLA", "APPLB"}},
      {"a file and a packaged metafile", {"METAFILES_TO_LOAD=c.mdl"}, "ZEVPCNFG", "a.mdl\n", 2, {"APPLA", "APPLC"}},
      {"a packaged metafile that does not load", {"METAFILES_TO_LOAD=missing.mdl"}, "ZEVPCNFG", "* none\n", -1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RunInChild([&] {
      StartUpConfig config(c.productLines);
      for (const char* name : {"a", "b", "c"}) config.metafile(std::string(name) + ".mdl", std::string("APPL") + static_cast<char>(std::toupper(name[0])));
      if (!c.fileName.empty()) config.writeConfiguration(c.file, c.fileName);
      EXPECT_EQ(ZEVP_ProcessStartUpConfig(config.anchor()), c.count);
      EXPECT_EQ(config.applications(), c.loaded);
    });
  }
}

TEST(StartUpConfigTest, AutoLoadLoadsEveryEntryOfTheMetafileDirectory) {
  RunInChild([] {
    StartUpConfig config;
    config.metafile("one.mdl", "One");
    config.metafile("Two", "Two");
    ZEVP_DoApplicationAutoLoad(config.anchor());
    Names loaded = config.applications();
    std::sort(loaded.begin(), loaded.end());
    EXPECT_EQ(loaded, (Names{"One", "Two"}));
  });
}

TEST(StartUpConfigTest, AutoLoadWithoutMetafileDirectoryTakesMetafilesOfTheCurrentDirectoryByName) {
  RunInChild([] {
    StartUpConfig config;
    const Names candidates = {"one.mdl", "two.MDL", "three.txt", "four", "zevfive", "ZEVsix", "abcATRx", "abccatx",
                              "abcCatx", "seven.Mdl.x"};
    for (size_t i = 0; i < candidates.size(); ++i) config.metafile(candidates[i], "Appl" + std::to_string(i));
    DPAB* anchor = config.anchor();
    ZEV0_FreeStorage(&anchor->metafileDirectory);
    char previous[512];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(config.metafiles().path().c_str()), 0);
    ZEVP_DoApplicationAutoLoad(anchor);
    ASSERT_EQ(chdir(previous), 0);
    Names loaded = config.applications();
    std::sort(loaded.begin(), loaded.end());
    EXPECT_EQ(loaded, (Names{"Appl0", "Appl1", "Appl3", "Appl8"}));
  });
}

TEST(StartUpConfigTest, RemovalDropsEveryNameThatBeginsWithTheGivenOneAndKeepsTheRest) {
  RunInChild([] {
    StartUpConfig config;
    config.writeConfiguration("* kept comment\n  a.mdl Orders.mdl c.mdl\r\norders_old.mdl\n\n  * indented\nz.mdl\n");
    DPAB* anchor = config.anchor();
    ZEVP_ProcessStartUpConfig(anchor);
    std::string directory = config.metafiles().path();
    EXPECT_EQ(ZEVP_RemoveMetafileFromStartUpConfig(anchor, (directory + "ORDERS").c_str()), 1);
    EXPECT_EQ(config.configuration(), "* kept comment\na.mdl\nc.mdl\r\n* indented\nz.mdl\n");
    EXPECT_EQ(ZEVP_RemoveMetafileFromStartUpConfig(anchor, "c.mdl"), 1) << "a name in the metafile directory";
    EXPECT_EQ(config.configuration(), "* kept comment\na.mdl\n* indented\nz.mdl\n");
    EXPECT_EQ(ZEVP_AppendMetafileToStartUpConfig(anchor, "new.mdl"), 1);
    EXPECT_EQ(config.configuration(), "* kept comment\na.mdl\n* indented\nz.mdl\nnew.mdl\n");
    EXPECT_EQ(ZEVP_RemoveMetafileFromStartUpConfig(anchor, nullptr), 0);
    EXPECT_EQ(ZEVP_RemoveMetafileFromStartUpConfig(anchor, ""), 0);
  });
}

TEST(StartUpConfigTest, RemovingTheLastNameLeavesTheComment) {
  RunInChild([] {
    StartUpConfig config;
    config.writeConfiguration("only.mdl\n");
    ZEVP_ProcessStartUpConfig(config.anchor());
    EXPECT_EQ(ZEVP_RemoveMetafileFromStartUpConfig(config.anchor(), "only.mdl"), 1);
    EXPECT_EQ(config.configuration(), "* Dorvane Agent Configuration file\n");
  });
}

TEST(StartUpConfigTest, FileIsNotWrittenWhenItWasNotThereAtStart) {
  RunInChild([] {
    StartUpConfig config;
    EXPECT_EQ(ZEVP_ProcessStartUpConfig(config.anchor()), 0);
    EXPECT_EQ(ZEVP_AppendMetafileToStartUpConfig(config.anchor(), "new.mdl"), 1);
    EXPECT_EQ(ZEVP_RemoveMetafileFromStartUpConfig(config.anchor(), "new.mdl"), 1);
    EXPECT_EQ(config.configuration(), "");
    EXPECT_FALSE(std::ifstream(config.metafiles().path() + "../ZEVPCNFG").good());
  });
}

}  // namespace
