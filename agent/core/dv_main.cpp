#include "dv_main.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "action_dispatch.h"
#include "agent_limits.h"
#include "agent_startup.h"
#include "atomic_situation_list.h"
#include "atomic_situations_setting.h"
#include "data_provider_threads.h"
#include "dch/channel_functions.h"
#include "dch/dch_api.h"
#include "dch_server.h"
#include "dp_start_table.h"
#include "fixed_tables.h"
#include "raf.h"
#include "shutdown_request.h"
#include "status_monitor.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/prodspec.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int kFatalExitCode = 1;
constexpr char kVersionRelease[] = "03";

// Set while data-provider threads run, for the framework's thread to see.
std::atomic<bool> dataProvidersRunning{false};

[[noreturn]] void endProcess() { std::exit(kFatalExitCode); }

// Gives the framework the product's identity; ends the process when an item is missing.
const char* announceIdentity() {
  const char* nodeType = ZEV0_QueryProductSpec(ZEV2_NODE_TYPE);
  const char* affinity = ZEV0_QueryProductSpec(ZEV2_AGENT_AFF_NAME);
  const char* productCode = ZEV0_QueryProductSpec(ZEV2_PRODUCT_CODE);
  const char* productName = ZEV0_QueryProductSpec(ZEV2_PRODUCT_NAME);
  if (productName != nullptr) TRC1_Printf(&trcUnit_, __LINE__, "%s startup in progress", productName);
  if (nodeType == nullptr || affinity == nullptr || productCode == nullptr || productName == nullptr) {
    TRC(TRC_ERROR, "Error: nodeTypePtr<%p> affPtr<%p> productCodePtr<%p> productNamePtr<%p>", nodeType, affinity,
        productCode, productName);
    endProcess();
  }
  TRC(TRC_DETAIL, "nodeTypePtr<%s> affPtr<%s> productCodePtr<%s> productNamePtr<%s>", nodeType, affinity,
      productCode, productName);
  RAF_SetNodeType(nodeType);
  RAF_SetAffinity(affinity);
  char version[16];
  std::snprintf(version, sizeof version, "%s.50.00", kVersionRelease);
  RAF_SetProduct(productCode, version);
  RAF_RegisterAgentLoader(LoadAgents);
  return productName;
}

DPstartOutcome buildStartTable(int argc, char* argv[], DPstartTable* table) {
  DPstartInputs inputs;
  for (int i = 1; i < argc; ++i) inputs.arguments.emplace_back(argv[i]);
  inputs.startupDP = startupDataProviders();
  inputs.packagedProduct = ZEV0_QueryProductSpec(ZEV2_PACKAGED_PRODUCT);
  if (inputs.packagedProduct != nullptr) inputs.dpToStart = ZEV0_QueryProductSpec(ZEV2_DP_TO_START);
  DPstartOutcome outcome = buildDPstartTable(inputs, table);
  if (outcome == DPstartOutcome::fatal) endProcess();
  return outcome;
}

void startClientProcess() {
  const char* program = clientProcess();
  if (program == nullptr) return;
  TRC(TRC_DETAIL, "Calling StartDPprocess with clientProcess <%s>", program);
  if (ZEVA_StartDPprocess(program) > 0)
    TRC(TRC_DETAIL, "Process <%s> successfully started", program);
  else
    TRC(TRC_ERROR, "Error: failed to start process <%s>", program);
}

// The framework's main loop on a thread of its own.
class FrameworkThread {
 public:
  bool start() {
    started_ = ZEV0_CreateThread(startRAF, nullptr, PTHREAD_CREATE_JOINABLE, &thread_) == 0;
    return started_;
  }
  // Until the loop returns.
  void waitForLoopEnd() {
    TRC(TRC_DETAIL, "Waiting for startRAF thread to complete.");
    int rc = pthread_join(thread_, nullptr);
    if (rc != 0)
      TRC(TRC_ERROR, "Error: pthread_join failed: errno=%d", rc);
    else
      joined_ = true;
  }
  // The framework samples the row store and calls DV_Action: it is shut down and its
  // thread joined.
  void end() {
    if (!started_) return;
    RAF_Shutdown(1);
    if (!joined_) pthread_join(thread_, nullptr);
  }

 private:
  pthread_t thread_{};
  bool started_ = false;
  bool joined_ = false;
};

// Starts the data providers and the framework, then blocks until the agent is to end:
// its data providers have ended or, with none named, the framework's main loop has
// returned.
void runAgent(DPstartTable* table, const char* productName, FrameworkThread* framework) {
  startDataProviderThreads(table);
  dataProvidersRunning = startedDataProviders(*table) > 0;
  startClientProcess();
  RAF_RegisterCommandCallback("*", DV_Action);
  if (!framework->start()) {
    TRC(TRC_ERROR, "Error: startRAF thread failed creation: errno=%d", errno);
    // They would run on for a framework that is not there: they end with the agent.
    if (dataProvidersRunning) zevp::RequestShutdownOfEveryDP();
  } else if (table->DPsToStartCount > 0) {
    TRC1_Printf(&trcUnit_, __LINE__, "%s startup complete.  Data Providers now being started...", productName);
  } else {
    TRC1_Printf(&trcUnit_, __LINE__, "%s startup complete.", productName);
    framework->waitForLoopEnd();
    return;
  }
  joinDataProviderThreads(table);
  dataProvidersRunning = false;
}

}  // namespace

void* startRAF(void*) {
  char name[] = "zevagent";
  char* arguments[] = {name, nullptr};
  tzomain(1, arguments);
  if (dataProvidersRunning) zevp::RequestShutdownOfEveryDP();
  return nullptr;
}

int LoadAgents() {
  q7srv_rmtfile_init();
  zev_zevact_init();
  return 0;
}

void DV_Main(int argc, char* argv[]) {
  readAgentEnvironment();
  if (ZEV0_InitializeProductSpec() == 0) {
    TRC(TRC_ERROR, "Error: Initialization of Product Specification File failed.");
    endProcess();
  }
  const char* productName = announceIdentity();
  fillAgentLimits();
  ZEV0_InitializeMutex(ZEVA_GetEnvVarsInitLock());

  auto server = std::make_unique<DCHserver>();
  bool error = !waitForDCHserver(*server);
  DCH_api_init();
  createAgentLists();
  addAtomicSituations(atomicSituationsSetting(), atomicSituations());
  if (!startStatusMonitor()) error = true;

  DPstartTable table;
  if (buildStartTable(argc, argv, &table) == DPstartOutcome::errorFlag) error = true;
  FrameworkThread framework;
  if (!error) runAgent(&table, productName, &framework);
  // The monitor, the probes it started and their tables' data threads use the lists and the
  // consumer locks and are not joined: the monitor stops taking notices, the framework ends,
  // and the lists and the locks stay until the process ends.
  stopStatusMonitor();
  framework.end();
}
