#include "application_probe.h"

#include <new>
#include <string>
#include <vector>

#include "application_probe_list.h"
#include "trc1.h"
#include "user_data_info.h"
#include "user_data_list.h"
#include "user_table_columns.h"
#include "zev0/threads.h"
#include "zev_dorvan_manager.h"

TRC_UNIT();

namespace {

struct probeStart {
  std::string applName;
  std::shared_ptr<probeSignals> signals;
};

// A copy of a filled description; null when there is no storage for it.
userTableColumnsPtr userTableColumnsOf(const userDataInfo& description) {
  try {
    std::vector<userTableColumn> columns;
    for (int i = 0; i < description.noOfColumns(); ++i) {
      const attrInfo_t* column = description.attrInfo(i);
      columns.push_back(userTableColumn{column->colName, column->attrName, column->colType, column->length,
                                        column->offset});
    }
    return std::make_shared<const userTableColumns>(std::move(columns), description.rowSize(),
                                                    description.applName(), description.attrGroup(),
                                                    description.tableNameRR());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// The requests of each table take their columns from the complete definition.
void publishColumns(const userDataList& definition) {
  userDataListIterator walk(definition.entries());
  while (userDataListEntry* entry = walk.Next()) {
    userDataInfo* description = entry->udi();
    if (description == nullptr || !description->complete() || description->tableManager() == nullptr) continue;
    userTableColumnsPtr columns = userTableColumnsOf(*description);
    if (columns == nullptr)
      TRC(TRC_ERROR, "Error: allocating the columns of table <%s>", description->tableNameRR());
    else
      description->tableManager()->publishColumns(description, std::move(columns));
  }
}

}  // namespace

bool startProbeThread(const char* applName, std::shared_ptr<probeSignals> signals) {
  TRC(TRC_DETAIL, "Creating thread to run startNewProbe for %s", applName);
  auto* start = new (std::nothrow) probeStart{applName, std::move(signals)};
  pthread_t thread;
  if (start == nullptr || ZEV0_CreateThread(startNewProbe, start, PTHREAD_CREATE_DETACHED, &thread) != 0) {
    delete start;
    TRC(TRC_ERROR, "Error: startNewProbe thread failed creation.");
    return false;
  }
  TRC(TRC_DETAIL, "startNewProbe thread <%lX> created.", static_cast<unsigned long>(thread));
  return true;
}

void* startNewProbe(void* probe) {
  std::unique_ptr<probeStart> start(static_cast<probeStart*>(probe));
  const char* applName = start->applName.c_str();
  TRC(TRC_DETAIL, "Starting probe for application <%s>", applName);
  auto* definition = new (std::nothrow) userDataList(applName);
  if (definition == nullptr) {
    TRC(TRC_ERROR, "Error: allocating userDataList <%s>", applName);
    return nullptr;
  }
  applicationProbeList* probes = startedProbes();
  if (definition->errors() != 0) {
    TRC(TRC_ERROR, "Error: in userDataList for <%s>", applName);
  } else if (probes == nullptr) {
    TRC(TRC_ERROR, "Error: no applicationProbeList for <%s>", applName);
  } else {
    publishColumns(*definition);
    probes->setUserDataList(applName, definition);
    probes->signalWaiters(applName);
    TRC(TRC_DETAIL, "Waiting for exit signal for applName <%s>", applName);
    // The definition stays where the probe list holds it when the wait itself failed.
    if (start->signals->WaitForExit(applName) != 0) {
      TRC(TRC_ERROR, "Error: waiting for exit signal for applName <%s>", applName);
      return nullptr;
    }
  }
  short errors = definition->errors();
  // A reader that found the definition before the probe was asked to exit still uses it.
  start->signals->holds().waitUntilReleased();
  delete definition;
  TRC(TRC_DETAIL, "Leaving startNewProbe for applName <%s> errors=%d", applName, errors);
  return nullptr;
}
