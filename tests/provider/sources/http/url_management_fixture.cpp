#include "url_management_fixture.h"

#include <stdlib.h>

#include "dp_anchor.h"
#include "url_management.h"
#include "zev/dp_types.h"

const ScratchDirectory& HTTPworkDirectory() {
  static const ScratchDirectory* directory = [] {
    auto* made = new ScratchDirectory("zev_http_work");
    setenv("ZEV_WORK_PATH", made->path().c_str(), 1);
    return made;
  }();
  return *directory;
}

ScopedSettings::ScopedSettings(const Settings& settings) {
  for (const auto& [name, value] : settings) {
    const char* before = getenv(name.c_str());
    previous_.push_back({name, {before != nullptr, before != nullptr ? before : ""}});
    setenv(name.c_str(), value.c_str(), 1);
  }
}

ScopedSettings::~ScopedSettings() {
  for (auto it = previous_.rbegin(); it != previous_.rend(); ++it) {
    if (it->second.first)
      setenv(it->first.c_str(), it->second.second.c_str(), 1);
    else
      unsetenv(it->first.c_str());
  }
}

URLmanagement::URLmanagement(const Settings& settings) {
  HTTPworkDirectory();
  anchor_->dpType = ZEV_DP_HTTP;
  ScopedSettings scope(settings);
  ZEVP_InitializeUMB(anchor_.get());
}

URLmanagement::~URLmanagement() { zevp::ReleaseURLmanagement(anchor_.get()); }

std::vector<URLrequestEntry*> URLmanagement::entries() const {
  std::vector<URLrequestEntry*> listed;
  if (block() == nullptr) return listed;
  BSV1_GetLock(&block()->URLListLock);
  for (URLrequestEntry* entry = block()->URLs; entry != nullptr; entry = entry->next) listed.push_back(entry);
  BSV1_ReleaseLock(&block()->URLListLock);
  return listed;
}

URLrequestEntry* URLmanagement::add(const std::string& url, const std::string& user, int interval, const char* alias,
                                    int cachePercent, int* alreadyMonitored) const {
  return ZEVP_AllocateHTTPrequestBlock(anchor(), url.c_str(), alias, interval, user.c_str(), cachePercent,
                                       alreadyMonitored);
}
