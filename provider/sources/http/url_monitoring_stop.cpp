#include "url_monitoring_stop.h"

#include <cctype>
#include <cstring>
#include <functional>
#include <string>

#include "dp_anchor.h"
#include "http_trace.h"
#include "url_management.h"
#include "zev/dp_types.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

std::string UpperCased(const char* text) {
  std::string upper = text != nullptr ? text : "";
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// Unlinks and frees every owner of the entry that matches; the number removed.
// The matcher is told whether the owner is the entry's first.
int RemoveOwners(URLrequestEntry* entry, const std::function<bool(const URLownerEntry*, bool)>& matches,
                 std::string* removedUser) {
  int removed = 0;
  bool first = true;
  for (URLownerEntry** link = &entry->Owners; *link != nullptr; first = false) {
    URLownerEntry* owner = *link;
    if (!matches(owner, first)) {
      link = &owner->next;
      continue;
    }
    *link = owner->next;
    HTTP_TRC(TRC_DETAIL, "URL <%s> Owner <%s> removed from list of monitored URLs", entry->URL, owner->User);
    if (removedUser != nullptr) *removedUser = owner->User;
    ZEV0_FreeStorage(&owner);
    --entry->OwnerCount;
    ++removed;
  }
  return removed;
}

// Under the URL list lock: unlinks and deletes every entry left without owners.
void DeleteOwnerlessEntries(DPAB* anchor, URLmanagementBlock* block, const char* ownerName) {
  for (URLrequestEntry** link = &block->URLs; *link != nullptr;) {
    URLrequestEntry* entry = *link;
    if (entry->OwnerCount > 0) {
      link = &entry->next;
      continue;
    }
    *link = entry->next;
    if (link == &block->URLs) HTTP_TRC(TRC_DETAIL, "Assigned pUMB->pURE @%p", static_cast<void*>(block->URLs));
    ZEVP_DeleteHTTPrequestBlock(anchor, entry, ownerName);
    --block->ManagedURLCount;
    HTTP_TRC(TRC_DETAIL, "Total managed URLs decreased from %d to %d", block->ManagedURLCount + 1,
             block->ManagedURLCount);
  }
}

const char* DPtypeOf(const DPAB* anchor) {
  return anchor->dpType >= 0 && anchor->dpType < ZEV_DP_TYPE_COUNT ? DPtypeString[anchor->dpType] : "";
}

}  // namespace

void ZEVP_StopSitHTTPrequest(DPAB* anchor, const char* ownerName) {
  zevp::URLmanagementRequest request(anchor);
  URLmanagementBlock* block = request.block();
  if (ownerName == nullptr) ownerName = "";
  if (block == nullptr) {
    HTTP_TRC(TRC_ERROR, "Unable to perform Stop Situation request for Owner <%s>. URLmanagementBlock not available.",
             ownerName);
    return;
  }
  const std::string upperOwner = UpperCased(ownerName);
  BSV1_GetLock(&block->URLListLock);
  for (URLrequestEntry* entry = block->URLs; entry != nullptr; entry = entry->next) {
    RemoveOwners(
        entry,
        [&](const URLownerEntry* owner, bool) {
          HTTP_TRC(TRC_DETAIL, "Comparing requested OwnerName <%s> against OwnerName <%s> for URL <%s>", ownerName,
                   owner->User, entry->URL);
          return std::strcmp(owner->User, ownerName) == 0 || owner->User == upperOwner;
        },
        nullptr);
  }
  DeleteOwnerlessEntries(anchor, block, ownerName);
  BSV1_ReleaseLock(&block->URLListLock);
}

int ZEVP_StopActionURLrequest(DPAB* anchor, const char* url, const char* user) {
  zevp::URLmanagementRequest request(anchor);
  URLmanagementBlock* block = request.block();
  if (url == nullptr) url = "";
  if (user == nullptr) user = "";
  if (block == nullptr) {
    HTTP_TRC(TRC_ERROR, "Unable to perform Stop Action request for URL <%s>. URLmanagementBlock not available.", url);
    return 0;
  }
  HTTP_TRC(TRC_DETAIL, "Received Stop Action request for URL <%s> from DP type: %s", url, DPtypeOf(anchor));
  const std::string upperURL = UpperCased(url);
  const std::string upperUser = UpperCased(user);
  int result = 0;
  std::string removedUser;
  BSV1_GetLock(&block->URLListLock);
  HTTP_TRC(TRC_DETAIL, "Received request to stop monitoring URL <%s> with OwnerName <%s>", url, user);
  for (URLrequestEntry* entry = block->URLs; entry != nullptr; entry = entry->next) {
    HTTP_TRC(TRC_DETAIL, "Comparing requested URL <%s> against URL <%s>", url, entry->URL);
    if (UpperCased(entry->URL) != upperURL) continue;
    int removed = RemoveOwners(
        entry,
        [&](const URLownerEntry* owner, bool first) {
          if (UpperCased(owner->User) == upperUser) return true;
          if (first)
            HTTP_TRC(TRC_ERROR,
                     "Unable to remove URL <%s>. URL's owning user ID <%s> does not match requesting user ID <%s>",
                     entry->URL, owner->User, user);
          return false;
        },
        &removedUser);
    if (removed > 0) result = 1;
  }
  DeleteOwnerlessEntries(anchor, block, result != 0 ? removedUser.c_str() : user);
  BSV1_ReleaseLock(&block->URLListLock);
  return result;
}
