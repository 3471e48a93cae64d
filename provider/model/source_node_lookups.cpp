#include "source_node_lookups.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "application_entry.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "metafile_text.h"
#include "model_limits.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// The release that ends an action source node name.
constexpr size_t kReleaseLength = 2;

struct ActionNodeName {
  std::string node;  // before ':'
  std::string rest;  // after it: application, group and release
};

enum class Caller { source, policy };

// The name's parts; false for a name without ':' (traced) or without node part.
bool split(const char* text, Caller caller, ActionNodeName* name) {
  const char* colon = std::strchr(text, ':');
  if (colon == nullptr) {
    if (caller == Caller::source)
      TRC(TRC_ERROR, "***** invalide action source node name format %s", text);
    else
      TRC(TRC_ERROR, "*****Error: invalid action source node name format <%s>", text);
    return false;
  }
  name->node.assign(text, colon);
  name->rest = colon + 1;
  return !name->node.empty();
}

bool online(const SourceEntry* source) {
  int32_t state = ZEVP_SourceStateOf(source);
  return state == ZEVP_Active || state == ZEVP_Input || state == ZEVP_Output;
}

bool nodeMatches(const SourceEntry* source, const std::string& part) {
  if (source->pSourceNodeName == nullptr) return false;
  std::string node = source->pSourceNodeName;
  size_t n = part.size();
  if (node.size() < n) return false;
  if (node.size() == n) return node == part;
  size_t firstDot = node.find('.');
  size_t from = firstDot != std::string::npos && firstDot <= n ? 0 : node.size() - n;
  return node.compare(from, n, part) == 0;
}

// The rest after the application's upper-cased name, when that name begins it.
bool applicationBegins(ApplicationEntry* application, const std::string& rest, std::string* groupPart) {
  BSV1_GetLock(&application->TableListLock);
  std::string name = zevp::UpperCased(application->ApplName).substr(0, ZEVP_APPL_NAME_MAX);
  BSV1_ReleaseLock(&application->TableListLock);
  if (name.empty() || rest.compare(0, name.size(), name) != 0) return false;
  *groupPart = rest.substr(name.size());
  return true;
}

bool groupBegins(TableEntry* table, const std::string& groupName) {
  return zevp::UpperCased(table->TableName).compare(0, groupName.size(), groupName) == 0;
}

// Walks the online sources of the application's groups that the group test
// picks, under the application's and each group's locks, and hands each whose
// node name matches to `take`, until it answers false.
template <typename GroupTest, typename Take>
void walkMatches(ApplicationEntry* application, const std::string& nodePart, GroupTest groupTest, Take take) {
  bool more = true;
  BSV1_GetLock(&application->TableListLock);
  for (TableEntry* table = application->FirstTable; table != nullptr && more; table = table->next) {
    BSV1_GetLock(&table->SourceListLock);
    if (groupTest(table)) {
      for (SourceEntry* source = table->FirstSource; source != nullptr && more; source = source->next)
        if (online(source) && nodeMatches(source, nodePart)) more = take(source);
    }
    BSV1_ReleaseLock(&table->SourceListLock);
  }
  BSV1_ReleaseLock(&application->TableListLock);
}

}  // namespace

SourceEntry* ZEVP_LocateSourceBySubNode(DPAB* anchor, const char* nodeName) {
  if (anchor == nullptr || nodeName == nullptr) return nullptr;
  ActionNodeName name;
  if (!split(nodeName, Caller::source, &name)) return nullptr;
  SourceEntry* found = nullptr;
  BSV1_GetLock(&anchor->applicationListLock);
  for (ApplicationEntry* application = anchor->applications; application != nullptr && found == nullptr;
       application = application->next) {
    std::string groupPart;
    if (!applicationBegins(application, name.rest, &groupPart)) continue;
    // A group part too short to hold a group name before the release names none.
    if (groupPart.size() <= kReleaseLength) continue;
    std::string groupName =
        groupPart.substr(0, std::min<size_t>(groupPart.size() - kReleaseLength, ZEVP_GROUP_NAME_MAX));
    walkMatches(
        application, name.node, [&groupName](TableEntry* table) { return groupBegins(table, groupName); },
        [&found](SourceEntry* source) {
          found = source;
          return false;
        });
  }
  BSV1_ReleaseLock(&anchor->applicationListLock);
  return found;
}

std::vector<SourceEntry*> ZEVP_LocatePolicySourceBySubNode(DPAB* anchor, const char* nodeName) {
  std::vector<SourceEntry*> matches;
  if (anchor == nullptr || nodeName == nullptr) return matches;
  ActionNodeName name;
  if (!split(nodeName, Caller::policy, &name)) return matches;
  BSV1_GetLock(&anchor->applicationListLock);
  for (ApplicationEntry* application = anchor->applications; application != nullptr && matches.empty();
       application = application->next) {
    std::string groupPart;
    if (!applicationBegins(application, name.rest, &groupPart)) continue;
    walkMatches(
        application, name.node, [](TableEntry*) { return true; },
        [&matches](SourceEntry* source) {
          matches.push_back(source);
          return true;
        });
  }
  BSV1_ReleaseLock(&anchor->applicationListLock);
  TRC(TRC_DETAIL, "%d matching SourceEntry object(s) found", static_cast<int>(matches.size()));
  return matches;
}
