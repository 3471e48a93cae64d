// Which input groups internal routing serves: the switches ZEVP_BYPASS_BATCH_GROUP
// and ZEVP_BATCH_MODE_PROCESS, read once with the first routing block, each case
// in a process of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "answering_agent.h"
#include "application_entry.h"
#include "dch_work_queue.h"
#include "metafile_fixture.h"
#include "record_paths.h"
#include "run_in_child.h"
#include "source_entry.h"
#include "summary_block.h"
#include "table_entry.h"
#include "trace_capture.h"

namespace {

using Lines = std::vector<std::string>;

// B's summary is in batch mode, C's is not.
const Lines kRouting = {"//APPL Route",      "//NAME Out P 60",     "//INTERNAL OUTPUT R", "//ATTRIBUTES ' '",
                        "T D 16",            "//NAME B P 60",       "//INTERNAL INPUT R",  "//SUMMARY 60 BATCH",
                        "//ATTRIBUTES ' '",  "T D 16 SKEY=1",       "//NAME C P 60",       "//INTERNAL INPUT R",
                        "//SUMMARY 60",      "//ATTRIBUTES ' '",    "T D 16 SKEY=1"};

TEST(InternalRoutingSwitches, BatchSummariesAreLeftOutUnlessTheSwitchesSayOtherwise) {
  struct Case {
    const char* bypass;
    const char* batchProcess;
    Lines online;
    const char* trace;
  } cases[] = {
      {nullptr, nullptr, {"online C dphost"},
       "dp_online for attribute group <B> bypassed due to Bypass Batch Processing requested"},
      {"n", nullptr, {"online B dphost", "online C dphost"}, nullptr},
      {nullptr, "Y", {"online B dphost"}, "Monitor file attribute group <C> bypassed due to Batch Processing in effect"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.bypass ? c.bypass : "-") + "/" + (c.batchProcess ? c.batchProcess : "-"));
    RunInChild([&c] {
      c.bypass != nullptr ? setenv("ZEVP_BYPASS_BATCH_GROUP", c.bypass, 1) : unsetenv("ZEVP_BYPASS_BATCH_GROUP");
      c.batchProcess != nullptr ? setenv("ZEVP_BATCH_MODE_PROCESS", c.batchProcess, 1)
                                : unsetenv("ZEVP_BATCH_MODE_PROCESS");
      MetafileFixture models;
      AnsweringAgent agent(models.anchor());
      models.write("route.mdl", kRouting);
      ApplicationEntry* application = models.parse("route.mdl").application;
      ASSERT_NE(application, nullptr);
      TraceCapture trace("*=0x90");
      for (std::string record : {"one", "two"})
        ZEVP_MoveDataToDCH(models.anchor(), application->FirstTable->FirstSource, record.data(), 3);
      Lines online;
      for (const std::string& request : agent.take())
        if (request.rfind("online", 0) == 0) online.push_back(request);
      EXPECT_EQ(online, c.online);
      if (c.trace != nullptr) {
        EXPECT_TRUE(trace.contains(c.trace));
      }
      // A group left out keeps its routed source Ready and takes no row.
      for (TableEntry* table = application->FirstTable->next; table != nullptr; table = table->next) {
        SourceEntry* routed = table->FirstSource->next;
        ASSERT_NE(routed, nullptr);
        bool served = ZEVP_SourceStateOf(routed) != ZEVP_Ready;
        EXPECT_EQ(routed->Summary->UsedEntries, served ? 2 : 0) << table->TableName;
      }
    });
  }
}

}  // namespace
