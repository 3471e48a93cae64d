#include "managed_node_filters.h"

#include <arpa/inet.h>

#include <cstring>
#include <string>
#include <string_view>

#include "managed_node_list.h"
#include "managed_node_list_edit.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

std::string_view Text(const char* text) { return text != nullptr ? text : std::string_view(); }

bool AlreadyInList(ManagedNodeListEntry* list, const char* addressText) {
  in_addr address{};
  if (addressText == nullptr || inet_pton(AF_INET, addressText, &address) != 1) return false;
  BSV1_GetLock(&list->lock);
  bool found = false;
  for (const sockaddr_in& node : list->nodes) found = found || node.sin_addr.s_addr == address.s_addr;
  BSV1_ReleaseLock(&list->lock);
  return found;
}

bool EveryWordIn(std::string_view words, std::string_view text) {
  size_t at = 0;
  while ((at = words.find_first_not_of(' ', at)) != std::string_view::npos) {
    size_t end = std::min(words.find(' ', at), words.size());
    if (text.find(words.substr(at, end - at)) == std::string_view::npos) return false;
    at = end;
  }
  return true;
}

bool Matches(const ManagedNodeListEntry* list, const DiscoveredNodeRecord* node) {
  std::string_view value = list->filterValue;
  std::string_view name = Text(node->nodeName);
  switch (list->filterType) {
    case ZEVP_FILTER_NAME_STARTS:
      return name.substr(0, value.size()) == value;
    case ZEVP_FILTER_NAME_ENDS:
      // A value longer than the name does not reach before it.
      return value.size() <= name.size() && name.substr(name.size() - value.size()) == value;
    case ZEVP_FILTER_NAME_CONTAINS:
      return name.find(value) != std::string_view::npos;
    case ZEVP_FILTER_NODE_TYPE:
      return node->typeText != nullptr && EveryWordIn(value, node->typeText);
    case ZEVP_FILTER_DESCRIPTION:
      return Text(node->description).find(value) != std::string_view::npos;
    case ZEVP_FILTER_ENTERPRISE_OID:
      return Text(node->enterpriseOID).substr(0, value.size()) == value;
    default:
      return false;
  }
}

void Add(ManagedNodeListEntry* list, DiscoveredNodeRecord* node) {
  BSV1_GetLock(&list->lock);
  bool byName = node->nodeName != nullptr && ZEVP_AddNodeToManagedNodeArray(list, node->nodeName, 0) != 0;
  bool byAddress = !byName && node->addressText != nullptr &&
                   ZEVP_AddNodeToManagedNodeArray(list, node->addressText, 0) != 0;
  BSV1_ReleaseLock(&list->lock);
  if (byName) {
    ZEVP_AddManagedNodeListFile(list->inputFileName.c_str(), node->nodeName);
  } else if (byAddress) {
    size_t length = std::strlen(node->addressText) + 1;
    auto* copy = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(length)));
    if (copy != nullptr) {
      std::memcpy(copy, node->addressText, length);
      ZEV0_FreeStorage(&node->nodeName);
      node->nodeName = copy;
    }
    ZEVP_AddManagedNodeListFile(list->inputFileName.c_str(), node->addressText);
  } else {
    TRC(TRC_ERROR, "***** Discovered node not added, NodeName->%s, NodeAddr->%s",
        node->nodeName != nullptr ? node->nodeName : "", node->addressText != nullptr ? node->addressText : "");
  }
}

}  // namespace

int ZEVP_CheckManagedNodeFilters(DiscoveredNodeRecord* node) {
  int outcome = 0;
  BSV1_Lock* chainLock = zevp::ManagedNodeListLock();
  BSV1_GetLock(chainLock);
  for (ManagedNodeListEntry* list = zevp::FirstManagedNodeList(); list != nullptr; list = list->next) {
    bool inList = AlreadyInList(list, node->addressText);
    if (inList && node->checked != 0) {
      outcome = 2;
      continue;
    }
    bool matched = Matches(list, node);
    if (matched && !inList) Add(list, node);
    outcome = inList ? 2 : matched ? 1 : 0;
  }
  BSV1_ReleaseLock(chainLock);
  node->checked = 1;
  return outcome;
}
