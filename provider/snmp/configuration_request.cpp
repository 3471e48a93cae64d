#include "configuration_request.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "action_entry.h"
#include "configuration_request_text.h"
#include "engine_routines.h"
#include "http/url_config_file.h"
#include "http/url_monitoring_stop.h"
#include "managed_node_identity.h"
#include "managed_node_list.h"
#include "managed_node_list_edit.h"
#include "mib_auto_collection.h"
#include "managed_node_entry.h"
#include "trc1.h"
#include "url_rule_start.h"
#include "zev/prodspec_items.h"
#include "zev0/console_message.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr size_t kResultTextMax = 255;  // in the 256-byte result text

// A node named by a request, with the identity read for it (outside every lock).
class NamedNode {
 public:
  NamedNode(const std::string& name, bool freeOnFailure) : name_(name) {
    node_.ManagedNodeName = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(name.size()) + 1));
    if (node_.ManagedNodeName != nullptr) std::memcpy(node_.ManagedNodeName, name.c_str(), name.size() + 1);
    identified_ = ZEVP_RetrieveManagedNodeIdentity(&node_, freeOnFailure ? 1 : 0) != 0;
  }
  ~NamedNode() {
    ZEV0_FreeStorage(&node_.ManagedNodeName);
    ZEV0_FreeStorage(&node_.ManagedNodeOID);
    ZEV0_FreeStorage(&node_.addressText);
    ZEV0_FreeStorage(&node_.ManagedNodeTypeText);
    ZEV0_FreeStorage(&node_.ManagedNodeDesc);
  }
  NamedNode(const NamedNode&) = delete;
  NamedNode& operator=(const NamedNode&) = delete;

  const std::string& name() const { return name_; }
  bool identified() const { return identified_; }
  bool resolved() const { return node_.addressText != nullptr; }
  ManagedNodeEntry* entry() { return &node_; }

 private:
  std::string name_;
  ManagedNodeEntry node_{};
  bool identified_ = false;
};

// The messages of the two node paths.
struct NodePathTexts {
  const char* alreadyManaged;
  const char* notMonitored;
};
constexpr NodePathTexts kServerTexts = {"Server %s already managed", "Removing server %s not been monitored"};
constexpr NodePathTexts kNodeTexts = {"Adding node %s already managed", "Removing node %s not been monitored"};

std::string Filled(const char* format, const std::string& insert) {
  std::string text = format;
  size_t at = text.find("%s");
  return at == std::string::npos ? text : text.replace(at, 2, insert);
}

class ConfigurationRequest {
 public:
  ConfigurationRequest(DPAB* anchor, ActionEntry* entry) : anchor_(anchor), entry_(entry) {}

  void run() {
    const ConfigurationRequestText read =
        ZEVP_ReadConfigurationRequest(entry_->ActionParm != nullptr ? entry_->ActionParm : "");
    parameters_ = read.parameters;
    if (read.request < 0) {
      fail("Invalid request " + read.name + " rejected");
    } else {
      if (parameters_.empty()) fail("Request parameter not included");
      const char* product = ZEV0_QueryProductSpec(ZEV2_PRODUCT_CODE);
      const char* package = DPconfigPackageName[read.request];
      if (product == nullptr || std::strcmp(product, package) != 0)
        replaceFailure(std::string("Request unsupported for product ") + package);
      if (status_ == 0) runPath(read.request);
    }
    finish();
  }

 private:
  // The first failure's text is the result; later failures of the same request
  // keep it.
  void fail(const std::string& text) {
    status_ = -1;
    if (result_.empty()) result_ = text;
  }
  void replaceFailure(const std::string& text) {
    status_ = -1;
    result_ = text;
  }

  void runPath(int32_t request) {
    switch (request) {
      case ZEVP_CONFIG_RQADD: servers(true); break;
      case ZEVP_CONFIG_RQREMOVE: servers(false); break;
      case ZEVP_CONFIG_MNLADD: listNodes(true); break;
      case ZEVP_CONFIG_MNLREMOVE: listNodes(false); break;
      case ZEVP_CONFIG_TKADD:
      case ZEVP_CONFIG_URLADD: addURL(); break;
      default: removeURL(); break;
    }
  }

  void servers(bool add) {
    std::vector<std::string> names = zevp::CommaSeparatedValue(parameters_, "SERVER=");
    if (names.empty()) return fail("");
    std::vector<std::unique_ptr<NamedNode>> nodes;
    for (const std::string& name : names) nodes.push_back(std::make_unique<NamedNode>(name, true));
    const char* listFile = ZEV0_QueryProductSpec(ZEV2_SNMP_HOTLIST_TO_LOAD);
    BSV1_Lock* chainLock = zevp::ManagedNodeListLock();
    BSV1_GetLock(chainLock);
    ManagedNodeListEntry* list = ZEVP_LocateManagedNodeListFromInputFileName(listFile);
    for (std::unique_ptr<NamedNode>& node : nodes) {
      if (add && !node->identified()) {
        fail(Filled("Unable to resolve server %s identity", node->name()));
        break;
      }
      if (list == nullptr) {
        fail("RQ Managed Node List not started");
        break;
      }
      edit(list, *node, add, kServerTexts);
    }
    BSV1_ReleaseLock(chainLock);
    collect();
  }

  void listNodes(bool add) {
    std::string listName;
    std::vector<std::string> names = zevp::CommaSeparatedValue(parameters_, "NODE=");
    if (!zevp::WordValue(parameters_, "LIST=", &listName) || listName.empty() || names.empty()) return fail("");
    std::vector<std::unique_ptr<NamedNode>> nodes;
    for (const std::string& name : names) nodes.push_back(std::make_unique<NamedNode>(name, false));
    BSV1_Lock* chainLock = zevp::ManagedNodeListLock();
    BSV1_GetLock(chainLock);
    ManagedNodeListEntry* list = ZEVP_LocateManagedNodeListFromListName(listName.c_str());
    if (list == nullptr) fail(Filled("Managed Node List %s not started", listName));
    for (std::unique_ptr<NamedNode>& node : nodes) {
      if (list == nullptr) break;
      if (!node->resolved())
        fail(Filled("Unable to resolve server %s identity", node->name()));
      else
        edit(list, *node, add, kNodeTexts);
    }
    BSV1_ReleaseLock(chainLock);
    collect();
  }

  // One node into or out of the list's array and file; its collection is started
  // or stopped once the lists are let go. The caller holds the chain lock.
  void edit(ManagedNodeListEntry* list, NamedNode& node, bool add, const NodePathTexts& texts) {
    BSV1_GetLock(&list->lock);
    const bool changed = add ? ZEVP_AddNodeToManagedNodeArray(list, node.entry()->addressText
                                                                        ? node.entry()->addressText
                                                                        : "",
                                                              0) != 0
                             : ZEVP_RemoveNodeFromManagedNodeArray(list, &node.entry()->agent) != 0;
    BSV1_ReleaseLock(&list->lock);
    if (!changed) return fail(Filled(add ? texts.alreadyManaged : texts.notMonitored, node.name()));
    if (add) {
      ZEVP_AddManagedNodeListFile(list->inputFileName.c_str(), node.name().c_str());
      started_.push_back(&node);
    } else {
      ZEVP_RemoveManagedNodeListFile(list->inputFileName.c_str(), node.name().c_str());
      stopped_.push_back(&node);
    }
  }

  void collect() {
    for (NamedNode* node : started_) ZEVP_AutoStartMIBcollection(anchor_, node->entry());
    for (NamedNode* node : stopped_) ZEVP_AutoStopMIBcollection(anchor_, node->entry());
    started_.clear();
    stopped_.clear();
  }

  void addURL() {
    const URLrequestParameters url = ZEVP_ReadURLrequestParameters(parameters_, true);
    if (!url.urlGiven) return fail("");
    int alreadyMonitored = 0;
    if (zevp::Routines().allocateHTTPrequestBlock(anchor_, url.url.c_str(), url.hasAlias ? url.alias.c_str() : nullptr,
                                                  url.interval, url.user.c_str(), url.cachePercent,
                                                  &alreadyMonitored) == nullptr &&
        alreadyMonitored == 0) {
      TRC(TRC_ERROR, "*****URL ADD action failed <%s>", url.url.c_str());
      return fail("");
    }
    const std::string message = "URL " + url.url + " monitoring started for user " + url.user + " interval " +
                                std::to_string(url.interval);
    ZEV0_PXconsoleMessage(nullptr, nullptr, message.c_str());
    ZEVP_SetURLconfigurationUpdate();
    TRC(TRC_DETAIL, "Monitoring started for URL <%s> User <%s> Sampling interval: %d seconds", url.url.c_str(),
        url.user.c_str(), url.interval);
    ZEVP_WakeHTTPmanagerThread(anchor_);
  }

  void removeURL() {
    const URLrequestParameters url = ZEVP_ReadURLrequestParameters(parameters_, false);
    if (!url.urlGiven) return fail("");
    if (ZEVP_StopActionURLrequest(anchor_, url.url.c_str(), url.user.c_str()) == 0) {
      TRC(TRC_ERROR, "*****URL REMOVE action failed <%s>", url.url.c_str());
      return fail("");
    }
    const std::string message = "URL " + url.url + " monitoring stopped for user " + url.user;
    ZEV0_PXconsoleMessage(nullptr, nullptr, message.c_str());
    ZEVP_SetURLconfigurationUpdate();
    TRC(TRC_DETAIL, "Monitoring stopped for URL <%s> User <%s>", url.url.c_str(), url.user.c_str());
    ZEVP_WakeHTTPmanagerThread(anchor_);
  }

  void finish() {
    if (status_ != 0 && result_.empty()) result_ = "Request parameter syntax or value invalid " + parameters_;
    if (status_ != 0) TRC(TRC_ERROR, "*****%s", result_.c_str());
    if (result_.size() > kResultTextMax) result_.resize(kResultTextMax);
    entry_->ActionStatus = status_;
    ZEVP_SetActionResult(entry_, status_ != 0 ? result_.c_str() : nullptr);
    entry_->ResultLength = entry_->ActionResult != nullptr ? static_cast<int32_t>(result_.size()) : 0;
  }

  DPAB* anchor_;
  ActionEntry* entry_;
  std::string parameters_;
  int32_t status_ = 0;
  std::string result_;
  std::vector<NamedNode*> started_;
  std::vector<NamedNode*> stopped_;
};

}  // namespace

void ZEVP_ScheduleDPconfigurationRequest(DPAB* anchor, ActionEntry* entry) {
  if (anchor == nullptr || entry == nullptr) return;
  ConfigurationRequest(anchor, entry).run();
}
