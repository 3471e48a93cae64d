#include "managed_node_list.h"

#include <arpa/inet.h>
#include <strings.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "dp_anchor.h"
#include "managed_node_list_file.h"
#include "network_manage_entry.h"
#include "process_entry.h"
#include "trc1.h"
#include "work_file_name.h"
#include "zev/prodspec_items.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/text_files.h"

TRC_UNIT();

namespace {

constexpr size_t kConfigLineMax = 511;
constexpr char kBlanks[] = " \t";

BSV1_Lock chainLock;
// Guards the lists' queuedToServer and the server's queue and reference as lists
// pass to the server; never held by the server while it holds its mutex, so an
// enqueue may hold it while it wakes the server.
std::mutex handoverLock;
std::once_flag chainOnce;
std::string configurationFileName;  // full; empty when undefined
ManagedNodeListEntry* chain = nullptr;

void InitListOnce() {
  std::call_once(chainOnce, [] {
    BSV1_InitializeLock(&chainLock);
    const char* name = ZEV0_QueryProductSpec(ZEV2_SNMPLIST_FILENAME);
    if (name != nullptr && name[0] != '\0') configurationFileName = zevp::FullWorkFileName(name);
  });
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A loaded list with the input file name, case ignored (caller holds the chain lock).
ManagedNodeListEntry* LoadedFromFile(const std::string& inputFileName) {
  for (ManagedNodeListEntry* list = chain; list != nullptr; list = list->next)
    if (strcasecmp(list->inputFileName.c_str(), inputFileName.c_str()) == 0) return list;
  return nullptr;
}

void Append(ManagedNodeListEntry* list) {
  list->next = nullptr;
  list->previous = nullptr;
  if (chain == nullptr) {
    chain = list;
    return;
  }
  ManagedNodeListEntry* last = chain;
  while (last->next != nullptr) last = last->next;
  last->next = list;
  list->previous = last;
}

bool TaskMarked(ManagedNodeListEntry* list) {
  BSV1_GetLock(&list->lock);
  const bool marked = list->taskMark != 0;
  BSV1_ReleaseLock(&list->lock);
  return marked;
}

void SetTaskMark(ManagedNodeListEntry* list, int32_t mark) {
  BSV1_GetLock(&list->lock);
  list->taskMark = mark;
  BSV1_ReleaseLock(&list->lock);
}

// The server's queue, emptied (caller holds the hand-over lock).
ManagedNodeListEntry* TakeServerQueue(ProcessEntry* server) {
  BSV1_GetLock(&server->workQueueLock);
  auto* lists = static_cast<ManagedNodeListEntry*>(server->requestQueue);
  server->requestQueue = nullptr;
  BSV1_ReleaseLock(&server->workQueueLock);
  return lists;
}

void FreeList(ManagedNodeListEntry* list) {
  BSV1_DestroyLock(&list->lock);
  delete list;
}

ManagedNodeListEntry* NewList(const char* inputFileName, const std::string& fileName) {
  auto* list = new ManagedNodeListEntry();
  list->inputFileName = inputFileName;
  list->fileName = fileName;
  list->filterType = ZEVP_FILTER_NONE;
  list->nodes.reserve(32);
  BSV1_InitializeLock(&list->lock);
  return list;
}

// Fills the list from its file; false when the file is not there.
bool ReadList(ManagedNodeListEntry* list) {
  FILE* file = std::fopen(list->fileName.c_str(), "re");
  if (file == nullptr) {
    TRC(TRC_ERROR, "Input managed node list file %s does not exist", list->fileName.c_str());
    return false;
  }
  ManagedNodeListText text = ZEVP_ReadManagedNodeListText(file, list->fileName.c_str());
  std::fclose(file);
  list->listName = text.listName;
  list->filterType = text.filterType;
  list->filterValue = text.filterValue;
  BSV1_GetLock(&list->lock);
  for (const std::string& word : text.nodeWords) {
    ManagedNodeWord node = ZEVP_SplitManagedNodeWord(word);
    if (!node.valid) {
      TRC(TRC_ERROR, "Input node word <%s> in file %s is not a node. Bypassed", word.c_str(), list->fileName.c_str());
      continue;
    }
    ZEVP_AddNodeToManagedNodeArray(list, (node.excluded ? "-" + node.name : node.name).c_str(), node.port);
  }
  BSV1_ReleaseLock(&list->lock);
  return true;
}

// Loads one list under the chain lock: 1, or 0 when its file is missing.
int LoadUnderLock(DPAB* anchor, const char* inputFileName) {
  ManagedNodeListEntry* list = NewList(inputFileName, zevp::FullWorkFileName(inputFileName));
  if (!ReadList(list)) {
    FreeList(list);
    return 0;
  }
  if (list->filterType == ZEVP_FILTER_NONE && list->nodes.empty()) {
    TRC(TRC_DETAIL, "Managed node list file %s names neither nodes nor a filter", list->fileName.c_str());
    FreeList(list);
    return 1;
  }
  if (list->listName.empty()) list->listName = ZEVP_DefaultManagedNodeListName(inputFileName);
  Append(list);
  list->changed = 1;
  std::lock_guard<std::mutex> handover(handoverLock);
  list->queuedToServer = ZEVP_EnqueueManagedNodeListToServer(anchor, list) != 0 ? 1 : 0;
  return 1;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while ((at = line.find_first_not_of(kBlanks, at)) != std::string::npos) {
    size_t end = line.find_first_of(kBlanks, at);
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

// The names the configuration file holds, in order.
std::vector<std::string> ConfiguredNames() {
  std::vector<std::string> names;
  FILE* file = std::fopen(configurationFileName.c_str(), "re");
  if (file == nullptr) {
    TRC(TRC_ERROR, "***** Managed Node List configuration file %s open failed, ErrorText <%s>",
        configurationFileName.c_str(), std::strerror(errno));
    return names;
  }
  std::string line;
  bool tooLong = false;
  while (zev0::NextTextLine(file, &line, kConfigLineMax, &tooLong)) {
    if (tooLong || line.empty() || line[0] == '*') continue;
    for (std::string& word : Words(line)) names.push_back(std::move(word));
  }
  std::fclose(file);
  return names;
}

void LoadPackagedLists(DPAB* anchor, const char* names) {
  std::string all = names;
  size_t start = 0;
  while (start <= all.size()) {
    size_t comma = all.find(',', start);
    std::string name = all.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    start = comma == std::string::npos ? all.size() + 1 : comma + 1;
    name.erase(0, std::min(name.find_first_not_of(kBlanks), name.size()));
    if (name.empty()) continue;
    BSV1_GetLock(&chainLock);
    bool loaded = LoadedFromFile(name) != nullptr;
    BSV1_ReleaseLock(&chainLock);
    if (loaded) {
      TRC(TRC_DETAIL, "Packaged solution node list %s already pre-loaded", name.c_str());
      continue;
    }
    TRC(TRC_DETAIL, "Loading Packaged Solution Managed Node List %s", name.c_str());
    ZEVP_LoadSNMPManagedNodeList(anchor, name.c_str());
  }
}

}  // namespace

int ZEVP_LoadSNMPManagedNodeList(DPAB* anchor, const char* inputFileName) {
  InitListOnce();
  if (configurationFileName.empty()) {
    TRC(TRC_ERROR, "Managed Node List file name not defined.");
    return 0;
  }
  if (inputFileName == nullptr || inputFileName[0] == '\0') {
    TRC(TRC_ERROR, "Managed Node List input file name not specified.");
    return 0;
  }
  BSV1_GetLock(&chainLock);
  ManagedNodeListEntry* previous = LoadedFromFile(inputFileName);
  if (previous != nullptr) {
    TRC(TRC_DETAIL, "MNL input file %s already exists in the MNL configuration file", inputFileName);
    zevp::UnchainManagedNodeList(previous);
  }
  BSV1_ReleaseLock(&chainLock);
  if (previous != nullptr) ZEVP_StopSNMPManagedNodeListTask(previous);

  BSV1_GetLock(&chainLock);
  int result = LoadUnderLock(anchor, inputFileName);
  BSV1_ReleaseLock(&chainLock);
  ZEVP_WriteSNMPManagedNodeListConfigFile();
  return result;
}

// The file is written whole beside the old one and renamed over it: a write cut short
// leaves the old lists for the next start.
void ZEVP_WriteSNMPManagedNodeListConfigFile() {
  InitListOnce();
  if (configurationFileName.empty()) return;
  const std::string newName = configurationFileName + ".new";
  BSV1_GetLock(&chainLock);
  FILE* file = std::fopen(newName.c_str(), "we");
  if (file == nullptr) {
    TRC(TRC_ERROR, "***** Managed Node List configuration file %s open failed, ErrorText <%s>", newName.c_str(),
        std::strerror(errno));
  } else {
    for (ManagedNodeListEntry* list = chain; list != nullptr; list = list->next)
      std::fprintf(file, "%s\n", list->inputFileName.c_str());
    const bool written = std::ferror(file) == 0;
    if (!written) {
      const int error = errno;
      std::fclose(file);
      std::remove(newName.c_str());
      errno = error;
    }
    if (!written || !zev0::ReplaceWithNewFile(file, newName.c_str(), configurationFileName.c_str()))
      TRC(TRC_ERROR, "***** Managed Node List configuration file %s not rewritten, ErrorText <%s>",
          configurationFileName.c_str(), std::strerror(errno));
  }
  BSV1_ReleaseLock(&chainLock);
}

void ZEVP_ReadSNMPManagedNodeListConfigFile(DPAB* anchor) {
  InitListOnce();
  if (configurationFileName.empty()) {
    TRC(TRC_ERROR, "Node List file name not defined.");
    return;
  }
  const char* packaged = ZEV0_QueryProductSpec(ZEV2_SNMP_HOTLIST_TO_LOAD);
  if (packaged != nullptr && packaged[0] != '\0') {
    LoadPackagedLists(anchor, packaged);
    return;
  }
  // Each load rewrites the file: its names are taken first.
  for (const std::string& name : ConfiguredNames()) ZEVP_LoadSNMPManagedNodeList(anchor, name.c_str());
}

ManagedNodeListEntry* ZEVP_LocateManagedNodeListFromInputFileName(const char* inputFileName) {
  if (inputFileName == nullptr) return nullptr;
  InitListOnce();
  BSV1_GetLock(&chainLock);
  ManagedNodeListEntry* list = chain;
  while (list != nullptr && list->inputFileName != inputFileName) list = list->next;
  BSV1_ReleaseLock(&chainLock);
  return list;
}

ManagedNodeListEntry* ZEVP_LocateManagedNodeListFromListName(const char* listName) {
  if (listName == nullptr) return nullptr;
  InitListOnce();
  std::string name = listName;
  name.erase(0, std::min(name.find_first_not_of(' '), name.size()));
  name = Upper(name.substr(0, name.find(' ')));
  BSV1_GetLock(&chainLock);
  ManagedNodeListEntry* list = chain;
  while (list != nullptr && Upper(list->listName) != name) list = list->next;
  BSV1_ReleaseLock(&chainLock);
  return list;
}

int ZEVP_AddNodeToManagedNodeArray(ManagedNodeListEntry* list, const char* nodeWord, uint16_t port) {
  bool excluded = nodeWord[0] == '-';
  const char* name = excluded ? nodeWord + 1 : nodeWord;
  sockaddr_in address{};
  if (ZEV0_IsThisAddressString(name) == 3 && inet_pton(AF_INET, name, &address.sin_addr) == 1) {
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
  } else if (ZEV0_ConvertNameToAddr(name, port, &address) == 0) {
    TRC(TRC_ERROR, "Input node name <%s> in file %s is unresolved. Bypassed", name, list->inputFileName.c_str());
    return 0;
  }
  for (sockaddr_in& node : list->nodes) {
    if (node.sin_addr.s_addr != address.sin_addr.s_addr) continue;
    if (node.sin_family == ZEVP_NODE_MONITORED || excluded) {
      TRC(TRC_DETAIL, "Add bypassed. Node <%s> is already being monitored", name);
      return 0;
    }
    node.sin_family = ZEVP_NODE_MONITORED;
    TRC(TRC_DETAIL, "Removed Managed Node <%s> has been reset to active monitoring", name);
    list->changed = 1;
    return 1;
  }
  address.sin_family = excluded ? ZEVP_NODE_EXCLUDED : ZEVP_NODE_MONITORED;
  list->nodes.push_back(address);
  TRC(TRC_DETAIL, "Adding node <%s> to managed node array", name);
  list->changed = 1;
  return 1;
}

int ZEVP_RemoveNodeFromManagedNodeArray(ManagedNodeListEntry* list, const sockaddr_in* address) {
  for (sockaddr_in& node : list->nodes) {
    if (node.sin_addr.s_addr != address->sin_addr.s_addr || node.sin_family != ZEVP_NODE_MONITORED) continue;
    node.sin_family = ZEVP_NODE_EXCLUDED;
    list->changed = 1;
    return 1;
  }
  return 0;
}

void ZEVP_StopSNMPManagedNodeListTask(ManagedNodeListEntry* list) {
  if (list == nullptr) return;
  {
    std::lock_guard<std::mutex> handover(handoverLock);
    list->stopRequested = 1;
    if (list->queuedToServer != 0) {
      TRC(TRC_DETAIL, "Managed Node List %s stopped before its task started", list->listName.c_str());
      return;
    }
  }
  while (TaskMarked(list)) BSV1_Sleep(1);
  FreeList(list);
}

void ZEVP_ShutdownSNMPManagedNodeListTask(DPAB* anchor) {
  InitListOnce();
  BSV1_GetLock(&chainLock);
  ManagedNodeListEntry* lists = chain;
  chain = nullptr;
  BSV1_ReleaseLock(&chainLock);
  while (lists != nullptr) {
    ManagedNodeListEntry* next = lists->next;
    ZEVP_StopSNMPManagedNodeListTask(lists);
    lists = next;
  }
  ProcessEntry* server = anchor->managedNodeListEntry.load();
  if (server == nullptr) return;
  pthread_mutex_lock(&server->mutex);
  server->terminationFlag = 1;
  pthread_cond_signal(&server->condition);
  pthread_mutex_unlock(&server->mutex);
}

namespace zevp {

void UnchainManagedNodeList(ManagedNodeListEntry* list) {
  if (list->previous != nullptr) list->previous->next = list->next;
  if (list->next != nullptr) list->next->previous = list->previous;
  if (chain == list) chain = list->next;
  list->next = nullptr;
  list->previous = nullptr;
}

BSV1_Lock* ManagedNodeListLock() {
  InitListOnce();
  return &chainLock;
}

ManagedNodeListEntry* FirstManagedNodeList() { return chain; }

ManagedNodeListEntry* TakeQueuedManagedNodeLists(ProcessEntry* server) {
  std::lock_guard<std::mutex> handover(handoverLock);
  ManagedNodeListEntry* batch = nullptr;
  ManagedNodeListEntry** tail = &batch;
  for (ManagedNodeListEntry* list = TakeServerQueue(server); list != nullptr;) {
    ManagedNodeListEntry* next = list->NextInServerQueue;
    list->NextInServerQueue = nullptr;
    list->queuedToServer = 0;
    if (list->stopRequested != 0) {
      FreeList(list);
    } else {
      SetTaskMark(list, 1);
      *tail = list;
      tail = &list->NextInServerQueue;
    }
    list = next;
  }
  return batch;
}

void ForgoManagedNodeListTask(ManagedNodeListEntry* list) { SetTaskMark(list, 0); }

void EndManagedNodeListTask(ManagedNodeListEntry* list) { SetTaskMark(list, 0); }

void EndManagedNodeListServer(DPAB* anchor, ProcessEntry* server) {
  std::lock_guard<std::mutex> handover(handoverLock);
  anchor->managedNodeListEntry = nullptr;
  for (ManagedNodeListEntry* list = TakeServerQueue(server); list != nullptr;) {
    ManagedNodeListEntry* next = list->NextInServerQueue;
    list->NextInServerQueue = nullptr;
    list->queuedToServer = 0;
    if (list->stopRequested != 0) FreeList(list);
    list = next;
  }
}

}  // namespace zevp
