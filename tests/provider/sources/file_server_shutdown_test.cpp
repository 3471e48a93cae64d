// File servers that wait for their file or sleep between passes end when their
// data provider shuts down, well within the shut-down's bound.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "accepted_registrations.h"
#include "application_entry.h"
#include "data_provider_run.h"
#include "dch_work_queue.h"
#include "dp_shutdown.h"
#include "file_server.h"
#include "io_entry.h"
#include "model_records.h"
#include "parsed_application.h"
#include "process_entry.h"
#include "scratch_directory.h"

namespace {

int64_t Now() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds;
}

TEST(FileServerShutdownTest, WaitingAndSleepingFileServersEndWithinTheBound) {
  ScratchDirectory files;
  files.write("sleeping.log", "a\n");
  // A poll group of a long time-to-live sleeps 300 seconds between passes.
  ParsedApplication application({"//APPL FileApp", "//NAME Sleeping P 3600", "//SOURCE FILE " + files.file("sleeping.log"),
                                 "//ATTRIBUTES ';'", "Text D 64", "//NAME Waiting E 60",
                                 "//SOURCE FILE " + files.file("missing.log"), "//ATTRIBUTES ';'", "Text D 64"});
  AcceptedRegistrations agent;
  ScaledClock clock;
  DPAB* anchor = application.anchor();
  SourceEntry* sleeping = application.source(0);
  SourceEntry* waiting = application.source(1);
  sleeping->State = waiting->State = ZEVP_Ready;
  ZEVP_CheckAndStartFileServer(anchor, ZEVP_FileServer);
  ASSERT_EQ(ZEVP_ActiveThreadCount(anchor), 2);
  ASSERT_TRUE(WaitUntil([&] { return ZEVP_SourceStateOf(sleeping) == ZEVP_Input && ZEVP_FileWaitPending(waiting->IO) != 0; }));

  auto realStart = std::chrono::steady_clock::now();
  int64_t start = Now();
  ZEVP_ShutdownCleanUp(anchor, 1);
  EXPECT_EQ(ZEVP_ActiveThreadCount(anchor), 0);
  EXPECT_LT(Now() - start, 180) << "the shut-down's bound";
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(15));
}

}  // namespace
