// Which FILE sources get a file server: those Ready or Pending without one, unless
// the batch and summary switches leave their group to others.
#include "file_server.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "bare_anchor.h"
#include "data_provider_run.h"
#include "internal_routing_block.h"
#include "model_records.h"
#include "parsed_application.h"
#include "process_entry.h"

namespace {

std::mutex startedMutex;
std::set<std::string> started;

// Records the group of its source and ends, as a file server does, no longer its
// source's server.
void RecordingServer(ProcessEntry* entry) {
  auto* source = static_cast<SourceEntry*>(entry->parameter);
  {
    std::lock_guard<std::mutex> lock(startedMutex);
    started.insert(source->Table->TableName);
  }
  BSV1_GetLock(&entry->anchor->fileIOListLock);
  source->FileSpec->FileServer = nullptr;
  BSV1_ReleaseLock(&entry->anchor->fileIOListLock);
  ZEVP_ReleaseProcessResources(entry->anchor, entry);
  ZEVP_EndThread();
}

TEST(FileServerStartTest, SourcesAreStartedByTheirStateAndTheBatchSwitches) {
  const std::vector<std::string> metafile = {
      "//APPL FileApp",
      "//NAME Plain E", "//SOURCE FILE /tmp/plain.log", "//ATTRIBUTES", "A1 D 8",
      "//NAME Batch E", "//SOURCE FILE /tmp/batch.log", "//SUMMARY 60 BATCH", "//ATTRIBUTES", "A1 D 8",
      "//NAME Summary E", "//SOURCE FILE /tmp/summary.log", "//SUMMARY 60", "//ATTRIBUTES", "A1 D 8",
      "//NAME Router E", "//INTERNAL OUTPUT route", "//SOURCE FILE /tmp/router.log", "//ATTRIBUTES", "A1 D 8",
      "//NAME Pending E", "//SOURCE FILE /tmp/pending.log", "//ATTRIBUTES", "A1 D 8",
      "//NAME Active E", "//SOURCE FILE /tmp/active.log", "//ATTRIBUTES", "A1 D 8",
      "//NAME Socket E", "//SOURCE SOCK localhost", "//ATTRIBUTES", "A1 D 8",
      "//NAME Served E", "//SOURCE FILE /tmp/served.log", "//ATTRIBUTES", "A1 D 8"};
  using Groups = std::set<std::string>;
  struct Case {
    const char* label;
    const char* bypass;
    const char* batchProcess;
    const char* summaryOnly;
    Groups groups;
  } cases[] = {
      {"by default batch groups are left out", nullptr, nullptr, nullptr,
       {"Plain", "Summary", "Router", "Pending"}},
      {"unless asked for", "n", nullptr, nullptr, {"Plain", "Batch", "Summary", "Router", "Pending"}},
      {"batch processing leaves other summary groups out", nullptr, "Y", nullptr,
       {"Plain", "Batch", "Router", "Pending"}},
      {"summary output only: groups without a summary left out unless they route", nullptr, nullptr, "y",
       {"Summary", "Router"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    auto setting = [](const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); };
    setting("ZEVP_BYPASS_BATCH_GROUP", c.bypass);
    setting("ZEVP_BATCH_MODE_PROCESS", c.batchProcess);
    setting("ZEVP_BATCH_SUMMARY_OUTPUT_ONLY", c.summaryOnly);
    ParsedApplication application(metafile);
    for (int group = 0; group < 8; ++group) application.source(group)->State = ZEVP_Ready;
    application.source(4)->State = ZEVP_Pending;
    application.source(5)->State = ZEVP_Active;
    ProcessEntry* running = ZEVP_InitializeProcessEntry(application.anchor());
    application.source(7)->FileSpec->FileServer = running;  // its server runs
    started.clear();
    ZEVP_CheckAndStartFileServer(application.anchor(), RecordingServer);
    ASSERT_TRUE(WaitForThreadCount(application.anchor(), 0));
    EXPECT_EQ(started, c.groups);
    application.source(7)->FileSpec->FileServer = nullptr;
    ZEVP_DestroyProcessEntry(running);
  }
  unsetenv("ZEVP_BYPASS_BATCH_GROUP");
  unsetenv("ZEVP_BATCH_MODE_PROCESS");
  unsetenv("ZEVP_BATCH_SUMMARY_OUTPUT_ONLY");
}

}  // namespace
