#include "agent_startup.h"

#include <cerrno>

#include "application_probe_list.h"
#include "atomic_situation_list.h"
#include "dch/channel_functions.h"
#include "dch_server.h"
#include "samples_list.h"
#include "table_manager_list.h"
#include "trc1.h"

TRC_UNIT();

bool waitForDCHserver(DCHserver& server) {
  if (ZEVA_GetLock(server.readyLock(), &server) != 0) return false;
  bool ready = true;
  if (server.readyState() != 0) {
    TRC(TRC_DETAIL, "DCHServer was ready to process request.");
  } else {
    TRC(TRC_DETAIL, "Waiting for DCHServer to notify us it is ready for request.");
    while (server.readyState() == 0) {
      int rc = pthread_cond_wait(server.readyCond(), server.readyLock());
      if (rc != 0) {
        TRC(TRC_ERROR, "Error: pthread_cond_wait failed. rc=%d errno=%d", rc, errno);
        ready = false;
        break;
      }
    }
    if (ready) TRC(TRC_DETAIL, "DCHServer ready to process request.");
  }
  if (ZEVA_ReleaseLock(server.readyLock(), &server) != 0) ready = false;
  return ready;
}

void createAgentLists() {
  setDataSamples(new samplesList());
  setStartedProbes(new applicationProbeList());
  setTableManagers(new tableManagerList());
  setAtomicSituations(new atomicSituationList());
}

namespace {

// Unpublished before it goes, so that no thread finds it half deleted.
template <typename List>
void deleteList(List* (*published)(), void (*publish)(List*)) {
  List* list = published();
  publish(nullptr);
  delete list;
}

}  // namespace

void deleteAgentLists() {
  deleteList(dataSamples, setDataSamples);
  deleteList(startedProbes, setStartedProbes);
  deleteList(tableManagers, setTableManagers);
  deleteList(atomicSituations, setAtomicSituations);
}
