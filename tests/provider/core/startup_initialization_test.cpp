// The anchor that the start-up builds from the environment and the product
// specification. The product specification is read once per process: each case
// runs in a child.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "data_provider_run.h"
#include "dch_transport_table.h"
#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "manual_clock.h"
#include "process_entry.h"
#include "run_in_child.h"
#include "trace_capture.h"

namespace {

void SetOrUnset(const char* name, const char* value) {
  if (value != nullptr)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

// The settings of the start-up unset, the work directory fixed, a product specification in use.
void PrepareChild(ProdSpecDirectory& directory) {
  for (const char* name : {"ZEVP_INIT_CONFIG_PATH", "ZEVP_DP_TRANSPORT", "ZEVP_ACTION_LOG_FILENAME",
                           "ZEVP_TRAP_DESTINATION", "ZEVP_META_PATH"})
    unsetenv(name);
  setenv("ZEV_WORK_PATH", "/srv/zev/work", 1);
  UseProductSpec(directory);
}

TEST(StartupInitializationTest, TransportLetterSelectsItsTable) {
  struct Case {
    const char* setting;
    char letter;
    const DCHtransportTable* table;
    bool traced;
  };
  RunInChild([] {
    ProdSpecDirectory directory;
    PrepareChild(directory);
    const Case cases[] = {{nullptr, 'I', &TCPIP_DSFT, false}, {"", 'I', &TCPIP_DSFT, false},
                          {"ip", 'I', &TCPIP_DSFT, false},    {"rpc", 'R', &RPC_DSFT, false},
                          {"R", 'R', &RPC_DSFT, false},       {"x", 'I', &TCPIP_DSFT, true}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.setting ? c.setting : "(unset)");
      SetOrUnset("ZEVP_DP_TRANSPORT", c.setting);
      TraceCapture capture("*=0x80");
      DPAB* anchor = ZEVP_StartupInitialization();
      ASSERT_NE(anchor, nullptr);
      EXPECT_EQ(anchor->transportLetter, c.letter);
      EXPECT_EQ(anchor->transport, c.table);
      EXPECT_EQ(capture.contains("*** Invalid DCH transport type X, TCPIP type assumed"), c.traced);
      ZEVP_ReleaseGlobalResources(anchor);
    }
  });
}

TEST(StartupInitializationTest, FileNamesAndDirectoriesFromTheSettings) {
  struct Case {
    const char* name;
    const char* actionLog;
    const char* initConfigPath;
    const char* metaPath;
    const char* expectedActionLog;
    const char* expectedStartupConfig;
    const char* expectedMetafileDirectory;
  };
  RunInChild([] {
    ProdSpecDirectory directory;
    PrepareChild(directory);
    const Case cases[] = {
        {"defaults", nullptr, nullptr, nullptr, "/srv/zev/work/DPACTLOG", "/srv/zev/work/ZEVPCNFG", "./metafiles/"},
        {"bare action log name lies in the work directory", "ACTIONS", nullptr, nullptr, "/srv/zev/work/ACTIONS",
         "/srv/zev/work/ZEVPCNFG", "./metafiles/"},
        {"qualified action log name is kept", "/var/log/zev/actions.log", nullptr, nullptr,
         "/var/log/zev/actions.log", "/srv/zev/work/ZEVPCNFG", "./metafiles/"},
        {"directories with and without their slash", nullptr, "/etc/zev", "/opt/meta/", "/srv/zev/work/DPACTLOG",
         "/etc/zev/ZEVPCNFG", "/opt/meta/"},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      SetOrUnset("ZEVP_ACTION_LOG_FILENAME", c.actionLog);
      SetOrUnset("ZEVP_INIT_CONFIG_PATH", c.initConfigPath);
      SetOrUnset("ZEVP_META_PATH", c.metaPath);
      DPAB* anchor = ZEVP_StartupInitialization();
      ASSERT_NE(anchor, nullptr);
      EXPECT_STREQ(anchor->actionLogFile, c.expectedActionLog);
      EXPECT_STREQ(anchor->startupConfigFile, c.expectedStartupConfig);
      EXPECT_STREQ(anchor->metafileDirectory, c.expectedMetafileDirectory);
      ZEVP_ReleaseGlobalResources(anchor);
    }
  });
}

TEST(StartupInitializationTest, AnchorStartsWithItsLentEntryAndBuffersAndNothingElse) {
  RunInChild([] {
    ProdSpecDirectory directory;
    PrepareChild(directory);
    ManualClock clock(1234567);
    DPAB* anchor = ZEVP_StartupInitialization();
    ASSERT_NE(anchor, nullptr);
    ASSERT_NE(anchor->pStatPE, nullptr);
    EXPECT_EQ(anchor->pStatPE->anchor, anchor);
    EXPECT_EQ(anchor->processEntries, nullptr) << "the lent entry is not chained";
    EXPECT_EQ(anchor->threadCount, 0);
    EXPECT_NE(anchor->apiReplyBuffer, nullptr);
    EXPECT_EQ(anchor->startTime, 1234567);
    EXPECT_EQ(anchor->applications, nullptr);
    EXPECT_EQ(anchor->trapDestinations, nullptr);
    EXPECT_EQ(anchor->trapDestinationCount, 0);
    EXPECT_EQ(anchor->shutdownFlag.load(), 0);
    EXPECT_EQ(Main_DPAB.load(), nullptr) << "only the start by type records the main anchor";
    ZEVP_ReleaseGlobalResources(anchor);
  });
}

TEST(StartupInitializationTest, NoProductSpecificationGivesNoAnchor) {
  RunInChild([] {
    setenv("ZEV_PRODSPEC_PATH", "/nonexistent/zev/", 1);
    setenv("ZEV_PRODSPEC_NAME", "NOPSF", 1);
    TraceCapture capture("*=0x80");
    EXPECT_EQ(ZEVP_StartupInitialization(), nullptr);
    EXPECT_TRUE(capture.contains("*****Product specification initialization unsuccessful"));
  });
}

}  // namespace
