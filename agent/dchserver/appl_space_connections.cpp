// What the store does for the server when a status consumer parks and when a
// data provider's connection is lost: it drives the server's own handlers.
#include <cstring>
#include <string>
#include <vector>

#include "appl_space_list.h"
#include "dch_messages.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr size_t kRequestBufferSize = 256;

struct OnlineSource {
  uint32_t handle;
  std::string applName;
  std::string attrGroup;
  std::string sourceName;
};

bool registeredThrough(const applSpaceEntry& application, unsigned int connectedDP) {
  applSpaceEntryIterator walk(application.lists());
  while (const attrInfoList* list = walk.Next()) {
    if (list->connectedDP() == connectedDP) return true;
  }
  return false;
}

}  // namespace

int applSpaceList::sendCurrentStatus(const DCHstatusNotifier& notify) const {
  applSpaceIterator applicationWalk(applications_);
  while (const applSpaceEntry* application = applicationWalk.Next()) {
    applSpaceEntryIterator listWalk(application->lists());
    while (const attrInfoList* list = listWalk.Next()) {
      if (list->status() == attrInfoList::kRegistered) continue;
      notify(application->applName(), list->group(), list->sourceName(),
             list->status() == attrInfoList::kOnline ? DCH_dp_online : DCH_dp_offline);
    }
  }
  return 0;
}

// The sources are collected first: the offline handler works on the store.
void applSpaceList::sendOffline(const DCHrequestHandler& dpOffline, unsigned int connectedDP) {
  std::vector<OnlineSource> sources;
  applSpaceIterator applicationWalk(applications_);
  while (const applSpaceEntry* application = applicationWalk.Next()) {
    applSpaceEntryIterator listWalk(application->lists());
    while (const attrInfoList* list = listWalk.Next()) {
      if (list->status() == attrInfoList::kOnline && list->connectedDP() == connectedDP)
        sources.push_back({list->handle(), application->applName(), list->group(), list->sourceName()});
    }
  }
  for (const OnlineSource& source : sources) {
    char request[kRequestBufferSize] = {};
    if (DCH_BuildOffline(request, sizeof request, source.handle) == 0 || dpOffline(request) != 0)
      TRC(TRC_ERROR, "Error: DP Offline for [%s][%s][%s] Failed.", source.applName.c_str(), source.attrGroup.c_str(),
          source.sourceName.c_str());
  }
}

// The names are collected first, as many as there are: the unregister handler
// deletes applications from the store.
void applSpaceList::deregisterDP(const DCHrequestHandler& dpUnregister, unsigned int connectedDP) {
  std::vector<std::string> applNames;
  applSpaceIterator walk(applications_);
  while (const applSpaceEntry* application = walk.Next()) applNames.emplace_back(application->applName());

  for (auto name = applNames.rbegin(); name != applNames.rend(); ++name) {
    if (*name == DCH_ACTION_LOG_APPLICATION) continue;
    const applSpaceEntry* application = searchApplSpace(name->c_str());
    if (application == nullptr || !registeredThrough(*application, connectedDP)) continue;
    char request[kRequestBufferSize] = {};
    if (DCH_BuildUnregister(request, sizeof request, name->c_str()) != 0 && dpUnregister(request) == 0)
      TRC(TRC_DETAIL, "DP unregister for <%s> was successful.", name->c_str());
    else
      TRC(TRC_ERROR, "Warning: DP unregister for <%s> Failed.", name->c_str());
  }
}
