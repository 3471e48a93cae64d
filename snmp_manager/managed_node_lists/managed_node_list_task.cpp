#include "managed_node_list_task.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "attribute_copies.h"
#include "attribute_entry.h"
#include "builtin_group.h"
#include "dch/dch_protocol.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "icmp_probing.h"
#include "integer_values.h"
#include "managed_node_list.h"
#include "managed_node_table.h"
#include "network_configuration_block.h"
#include "network_list.h"
#include "one_variable_get.h"
#include "process_entry.h"
#include "snmp_manager_model.h"
#include "snmp_manager_tables.h"
#include "snmp_thread.h"
#include "source_entry.h"
#include "system_group_oids.h"
#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/console_message.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"
#include "zev0/timestamp.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr uint16_t kSnmpPort = 161;
constexpr size_t kPduBufferSize = 1600;
constexpr int kPings = 3;
constexpr int32_t kPingWaitMs = 2000;
constexpr unsigned kPauseSlice = 3;
constexpr int32_t kMonitoringWindow = 60;
constexpr int32_t kLongestPause = 30;
constexpr char kUseOwnHostName[] = "*HOSTNAME";
constexpr char kCategory[] = "NetworkStatus";
// The MANAGED-NODES columns in attribute order.
enum Column { kName, kAddress, kNodeStatus, kStatusTimeStamp, kNodeType, kNodeDescription, kResponseTime, kColumns };

int64_t NowSeconds() {
  BSV1_Time now{};
  BSV1_GetTime(&now);
  return now.seconds;
}

std::string StampText() {
  char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE] = {};
  char text[32] = {};
  ZEV0_GetPlovenTime(stamp);
  ZEV0_PlovenTimeToString(stamp, text);
  return text;
}

class ListTask {
 public:
  explicit ListTask(ManagedNodeListEntry* list)
      : list_(list), block_(list->networkConfiguration), anchor_(block_ != nullptr ? block_->anchor : nullptr) {}

  void run() {
    startUp();
    while (!stopped()) {
      const int64_t cycleStart = NowSeconds();
      for (ManagedNodeListNodeEntry& node : table_) {
        if (stopped()) break;
        if (node.removed == ZEVS_NODE_DELETE_DUE) sendDelete(node);
        else if (node.removed == ZEVS_NODE_MONITORED) poll(node);
      }
      if (stopped()) break;
      BSV1_GetLock(&list_->lock);
      if (list_->changed != 0) {
        const auto count = static_cast<int32_t>(list_->nodes.size());
        ZEVS_BuildManagedNodeConfiguration(static_cast<int32_t>(table_.size()), count, list_, &table_);
        BSV1_ReleaseLock(&list_->lock);
        continue;
      }
      BSV1_ReleaseLock(&list_->lock);
      pause(cycleStart);
    }
    end();
  }

 private:
  bool stopped() const { return list_->stopRequested != 0; }

  void stop() { list_->stopRequested = 1; }

  void startUp() {
    if (anchor_ == nullptr) {
      TRC(TRC_ERROR, "*****Managed Node List %s has no network configuration. Monitor bypassed",
          list_->listName.c_str());
      stop();
      return;
    }
    (void)zevs::OwnDomainName();
    TRC(TRC_DETAIL, ">>>>> SNMP Managed Node List worker process started. Thread: %lX", BSV1_ThreadID());
    requestID_ = static_cast<int32_t>(BSV1_ThreadID());
    sockaddr_in local{};
    socket_ = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 1);
    if (socket_ <= 0) {
      TRC(TRC_ERROR, "*****unable to open Managed Node List monitoring socket. Node management impossible");
      stop();
    }
    makeScratchNetwork();
    BSV1_GetLock(&list_->lock);
    ZEVS_BuildManagedNodeConfiguration(0, static_cast<int32_t>(list_->nodes.size()), list_, &table_);
    BSV1_ReleaseLock(&list_->lock);
    label_ = zevs::ManagedNodeListLabel(list_->listName);
    messageName_ = label_.empty() ? list_->listName : label_;
    makeSource();
  }

  void makeScratchNetwork() {
    scratch_ = NetworkEntry{};
    BSV1_InitializeLock(&scratch_.lock);
    scratch_.hostRange = 4;
    scratch_.state = ZEVS_NETWORK_MANAGED;
    scratch_.learnedFromRouteTable = 1;
    ZEVS_AllocateNetStatArray(&scratch_);
  }

  // A copy of the anchor's MANAGED-NODES source with a process entry, locks,
  // attributes and source node name of its own; put online when it is Ready.
  void makeSource() {
    SourceEntry* model = ZEVP_SNMPmanagerSource(anchor_, ZEVP_SNMP_MANAGED_NODES);
    if (model == nullptr) {
      TRC(TRC_ERROR, "*****Managed Node source not available. Monitor bypassed");
      stop();
      return;
    }
    source_ = static_cast<SourceEntry*>(ZEV0_GetStorage(sizeof(SourceEntry)));
    own_ = ZEVP_InitializeProcessEntry(anchor_);
    if (source_ == nullptr || own_ == nullptr) {
      TRC(TRC_ERROR, "*****Managed Node List %s: no storage for its source. Monitor bypassed", list_->listName.c_str());
      ZEV0_FreeStorage(&source_);
      stop();
      return;
    }
    TRC(TRC_STORAGE, "Allocated source entry @%p for length %d", static_cast<void*>(source_),
        static_cast<int>(sizeof(SourceEntry)));
    std::memcpy(static_cast<void*>(source_), model, sizeof(SourceEntry));
    source_->next = nullptr;
    source_->NextInDCHqueue = nullptr;
    source_->NextInOfflineQueue = nullptr;
    source_->FirstAttribute = nullptr;
    source_->FirstInSequence = nullptr;
    source_->SavedRows = nullptr;
    source_->OutputBuffer = nullptr;
    source_->OutputBufferSize = 0;
    source_->RemoteActions = nullptr;
    source_->ActionHandOver = nullptr;
    source_->CurrentAction = nullptr;
    source_->CopiedFrom = nullptr;
    source_->Summary = nullptr;
    source_->OwningTask = own_;
    source_->OwnsTask = 0;
    // Its rows leave with the list: the offline must not outlive the copy.
    source_->ImmediateOffline = 1;
    ZEVP_SetDCHenqueued(source_, 0);
    const std::string nodeName = label_.empty() && model->pSourceNodeName != nullptr ? model->pSourceNodeName : label_;
    source_->pSourceNodeName = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(nodeName.size()) + 1));
    if (source_->pSourceNodeName != nullptr)
      std::memcpy(source_->pSourceNodeName, nodeName.c_str(), nodeName.size() + 1);
    source_->SourceNodeNameLength = static_cast<int32_t>(nodeName.size());
    TRC(TRC_DETAIL, "Set SEptr->pSourceNodeName <%s> SEptr @%p", nodeName.c_str(), static_cast<void*>(source_));
    TRC(TRC_DETAIL, "Initializing locks for SEptr @%p", static_cast<void*>(source_));
    for (BSV1_Lock* lock : {&source_->SummaryLock, &source_->AttributeLock, &source_->DataLock,
                            &source_->ActionListLock, &source_->EntryLock})
      BSV1_InitializeLock(lock);
    ZEVP_DuplicateSourceAttrs(model, source_);
    rowSequence_ = source_->DataSequence;
    if (ZEVP_CheckSourceState(source_, ZEVP_Ready) != 0) {
      online_ = true;
      zevp::Routines().queueAndWaitDCHstatus(anchor_, own_, source_);
    } else {
      TRC(TRC_ERROR, "*****Managed Node SE not in ready state. Monitor bypassed");
      stop();
    }
  }

  // The values of a row into the source's attributes, each cut to its size.
  void fill(const std::array<std::string, kColumns>& texts, uint32_t responseTime, bool withResponseTime) {
    BSV1_GetLock(&source_->AttributeLock);
    int column = 0;
    for (AttributeEntry* attribute = source_->FirstAttribute; attribute != nullptr;
         attribute = attribute->next, ++column) {
      if (column == kResponseTime && withResponseTime)
        zevp::StoreInteger(attribute, static_cast<int32_t>(responseTime));
      else if (column < kColumns)
        zevp::SetRowText(attribute, texts[static_cast<size_t>(column)]);
      else
        attribute->ActualValSize = 0;
    }
    BSV1_ReleaseLock(&source_->AttributeLock);
  }

  // The source's fields are set again once the DCH client is done with the row.
  void send() {
    zevp::EngineRoutines& routines = zevp::Routines();
    routines.updateSourceEntryState(source_, ZEVP_Output);
    routines.queueAndWaitDCHstatus(anchor_, own_, source_);
    ZEVP_AwaitDCHrequestDone(source_);
  }

  void sendDeleteRow(const ManagedNodeListNodeEntry& node) {
    std::array<std::string, kColumns> texts{};
    texts[kAddress] = node.pNodeAddrString;
    fill(texts, 0, false);
    source_->DataSequence = DCH_DeleteKeyRecord;
    send();
    source_->DataSequence = rowSequence_;
  }

  void sendDelete(ManagedNodeListNodeEntry& node) {
    TRC(TRC_DETAIL, "Requesting DCH to remove Managed Node %s", node.pNodeAddrString.c_str());
    if (source_ != nullptr) sendDeleteRow(node);
    node.removed = ZEVS_NODE_DELETE_SENT;
    message("Status", "Managed Node List: " + messageName_ + " Member Node: " + node.pNodeName + "(" +
                          node.pNodeAddrString + ") removed from management");
  }

  static void message(const char* severity, const std::string& text) {
    ZEV0_PXconsoleMessage(kCategory, severity, text.c_str());
  }

  // One get through the task's socket: the value's tag, 0 when none came.
  int get(const ManagedNodeListNodeEntry& node, const char* oid, char** value, int32_t valueSize,
              int32_t* valueLength) {
    int32_t errorStatus = 0;
    const int32_t oidLength = zevp::kSystemFieldLength;
    return ZEVP_RetrieveOneMIBvariable(socket_, pdu_.data(), &node.address, nullptr, &requestID_, &errorStatus,
                                       &oidLength, oid, valueLength, value, valueSize, 0);
  }

  void poll(ManagedNodeListNodeEntry& node) {
    const uint32_t oldStatus = node.status;
    node.status = 0;
    const in_port_t port = node.address.sin_port;
    node.address.sin_port = htons(kSnmpPort);
    bool askDescription = false;
    int32_t started = ZEV0_GetTimeOfDay();
    TRC(TRC_DETAIL, "Retrieving sysServices MIB variable for node %s", node.pNodeAddrString.c_str());
    std::array<char, 16> integer{};
    char* area = integer.data();
    int32_t length = 0;
    const int tag = get(node, zevp::kSysServicesField, &area, static_cast<int32_t>(integer.size()), &length);
    if (tag == ZEV0_ASN_INTEGER) {
      if (length <= 4) {
        const uint32_t services = zevp::ServicesOfInteger(integer.data(), length);
        if (services != node.services) {
          node.responseTime = static_cast<uint32_t>(ZEV0_GetTimeOfDay() - started);
          node.services = services;
          char* type = ZEV0_DetermineNodeServiceType(static_cast<int>(services));
          node.pNodeType = type != nullptr ? type : "";
          ZEV0_FreeStorage(&type);
          node.pNodeDesc.clear();
          node.changed = 1;
        }
        node.status = 1;
      }
      askDescription = true;
    }
    if (askDescription && node.pNodeDesc.empty()) {
      started = ZEV0_GetTimeOfDay();
      TRC(TRC_DETAIL, "Retrieving sysDescr MIB variable for node %s", node.pNodeAddrString.c_str());
      char* description = nullptr;
      if (get(node, zevp::kSysDescrField, &description, 0, &length) == ZEV0_ASN_OCTETSTRING) {
        node.responseTime = static_cast<uint32_t>(ZEV0_GetTimeOfDay() - started);
        node.pNodeDesc = description != nullptr ? description : "";
        node.changed = 1;
      }
      ZEV0_FreeStorage(&description);
    }
    node.address.sin_port = port;
    if (node.status == 0) ping(node);
    if (node.status != oldStatus) {
      const std::string who =
          "Managed Node List: " + messageName_ + " Member Node: " + node.pNodeName + "(" + node.pNodeAddrString + ")";
      if (node.status != 0) message("Status", who + " Online");
      else message("Warning", who + " Offline");
    }
    if (!stopped() && source_ != nullptr) sendRow(node);
  }

  void ping(ManagedNodeListNodeEntry& node) {
    const int32_t started = ZEV0_GetTimeOfDay();
    const uint32_t address = node.address.sin_addr.s_addr;
    for (int attempt = 0; attempt < kPings && !stopped(); ++attempt) {
      scratch_.networkAddress = htonl(ntohl(address) - 1);
      TRC(TRC_DETAIL, "Pinging to see if node %s is online...", node.pNodeAddrString.c_str());
      if (ZEVS_CheckActiveNode(&address, ntohs(node.address.sin_port), 0, &scratch_, nullptr, kPingWaitMs) != 0) {
        node.status = 1;
        node.changed = 1;
        node.responseTime = static_cast<uint32_t>(ZEV0_GetTimeOfDay() - started);
        return;
      }
    }
  }

  void sendRow(ManagedNodeListNodeEntry& node) {
    std::array<std::string, kColumns> texts{};
    texts[kName] = node.pNodeName;
    texts[kAddress] = node.pNodeAddrString;
    texts[kNodeStatus] = node.status != 0 ? "On-line " : "Off-line";
    texts[kStatusTimeStamp] = StampText();
    if (node.changed != 0) {
      TRC(TRC_DETAIL, "Node %s contents changed", node.pNodeAddrString.c_str());
      texts[kNodeType] = !node.pNodeType.empty() ? node.pNodeType : node.status != 0 ? "IP Node" : "Unknown";
      texts[kNodeDescription] = !node.pNodeDesc.empty() ? node.pNodeDesc : "Unavailable";
    } else {
      TRC(TRC_DETAIL, "Node %s contents NOT changed", node.pNodeAddrString.c_str());
    }
    fill(texts, node.responseTime, true);
    send();
    node.changed = 0;
  }

  void pause(int64_t cycleStart) {
    int32_t remaining = zevs::ManagedNodeListPause(NowSeconds() - cycleStart);
    TRC(TRC_DETAIL, "Pause for monitoring window %d", remaining);
    while (remaining > 0 && !stopped()) {
      BSV1_Sleep(kPauseSlice);
      remaining -= static_cast<int32_t>(kPauseSlice);
    }
  }

  void end() {
    if (source_ != nullptr) {
      for (const ManagedNodeListNodeEntry& node : table_) sendDeleteRow(node);
      if (online_) {
        TRC(TRC_DETAIL, ">>>>> Do dp_offline for Managed Node List %s", list_->listName.c_str());
        zevp::EngineRoutines& routines = zevp::Routines();
        routines.updateSourceEntryState(source_, ZEVP_Inactive);
        routines.queueAndWaitDCHstatus(anchor_, own_, source_);
      }
    }
    NetworkConfigurationBlock* block = block_;
    // The list may be freed from here on.
    zevp::EndManagedNodeListTask(list_);
    releaseSource();
    TRC(TRC_STORAGE, "Freeing NodeStat @%p for NetworkEntry @%p", static_cast<void*>(scratch_.nodeStatus),
        static_cast<void*>(&scratch_));
    ZEV0_FreeStorage(&scratch_.nodeStatus);
    ZEV0_FreeStorage(&scratch_.minimumResponseTimes);
    ZEV0_FreeStorage(&scratch_.currentResponseTimes);
    ZEV0_FreeStorage(&scratch_.maximumResponseTimes);
    BSV1_DestroyLock(&scratch_.lock);
    table_.clear();
    TRC(TRC_DETAIL, ">>>>> SNMP Managed Node List worker process ended. Thread: %lX", BSV1_ThreadID());
    if (socket_ > 0) ZEV0_CloseTheSocket(socket_);
    if (block != nullptr) zevs::BlockUserEnded(block);
  }

  // After a shut-down the last request may still be with the DCH client: the
  // source goes only once the client is done with it, or has ended.
  void awaitDCHrelease() {
    ZEVP_RemoveFromDCHwaitQueue(anchor_, source_);
    for (;;) {
      pthread_mutex_lock(&own_->mutex);
      const bool held = ZEVP_IsDCHenqueued(source_) != 0;
      pthread_mutex_unlock(&own_->mutex);
      if (!held || anchor_->dchClientEntry.load() == nullptr) return;
      BSV1_Sleep(1);
    }
  }

  void releaseSource() {
    if (source_ == nullptr) return;
    awaitDCHrelease();
    ZEV0_FreeStorage(&source_->pSourceNodeName);
    AttributeEntry* attribute = source_->FirstAttribute;
    while (attribute != nullptr) {
      AttributeEntry* next = attribute->next;
      TRC(TRC_STORAGE, "Freeing AttributeEntry @%p", static_cast<void*>(attribute));
      ZEVP_FreeAttributeOwnedStorage(attribute);
      ZEV0_FreeStorage(&attribute);
      attribute = next;
    }
    ZEV0_FreeStorage(&source_->OutputBuffer);
    for (BSV1_Lock* lock : {&source_->SummaryLock, &source_->AttributeLock, &source_->DataLock,
                            &source_->ActionListLock, &source_->EntryLock})
      BSV1_DestroyLock(lock);
    ZEVP_DestroyProcessEntry(own_);
    TRC(TRC_STORAGE, "Freeing source entry @%p", static_cast<void*>(source_));
    ZEV0_FreeStorage(&source_);
  }

  ManagedNodeListEntry* list_;
  NetworkConfigurationBlock* block_;
  DPAB* anchor_;
  int socket_ = -1;
  std::vector<char> pdu_ = std::vector<char>(kPduBufferSize);
  int32_t requestID_ = 0;
  NetworkEntry scratch_{};
  std::vector<ManagedNodeListNodeEntry> table_;
  std::string label_;
  std::string messageName_;
  SourceEntry* source_ = nullptr;
  ProcessEntry* own_ = nullptr;
  bool online_ = false;
  int16_t rowSequence_ = ZEVP_DATA_SEQUENCE_ROW;
};

}  // namespace

namespace zevs {

int32_t ManagedNodeListPause(int64_t elapsedSeconds) {
  const int64_t remaining = kMonitoringWindow - elapsedSeconds;
  return remaining > kLongestPause || remaining < 0 ? kLongestPause : static_cast<int32_t>(remaining);
}

std::string ManagedNodeListLabel(const std::string& listName) {
  if (listName.empty() || listName[0] != '*') return listName;
  std::string upper = listName;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper != kUseOwnHostName) return "";
  std::string host = ZEV0_LocalHostNameString();
  return host.substr(0, host.find('.'));
}

}  // namespace zevs

void* ZEVS_ManagedNodeListTask(void* managedNodeList) {
  ListTask(static_cast<ManagedNodeListEntry*>(managedNodeList)).run();
  return nullptr;
}
