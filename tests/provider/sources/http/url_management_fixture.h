// What the tests of URL monitoring share: the work directory of the test program,
// and a URL management block made from settings on an anchor of the HTTP type.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "bare_anchor.h"
#include "scratch_directory.h"
#include "url_records.h"

// The program's work directory (ZEV_WORK_PATH), which the process fixes at its
// first use: every test that may read it takes it first.
const ScratchDirectory& HTTPworkDirectory();

using Settings = std::vector<std::pair<std::string, std::string>>;

// The environment holds the settings for the scope's life (each variable as
// before afterwards).
class ScopedSettings {
 public:
  explicit ScopedSettings(const Settings& settings);
  ~ScopedSettings();
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;

 private:
  std::vector<std::pair<std::string, std::pair<bool, std::string>>> previous_;
};

// ZEVP_InitializeUMB on an anchor of its own under the settings; the block and
// what is left in it are released at the end.
class URLmanagement {
 public:
  explicit URLmanagement(const Settings& settings = {});
  ~URLmanagement();
  URLmanagement(const URLmanagement&) = delete;
  URLmanagement& operator=(const URLmanagement&) = delete;

  DPAB* anchor() const { return anchor_.get(); }
  URLmanagementBlock* block() const { return anchor_->urlManagement; }
  // The entries in list order.
  std::vector<URLrequestEntry*> entries() const;
  // Adds a URL as an owner's request does; the entry or null.
  URLrequestEntry* add(const std::string& url, const std::string& user = "u", int interval = 0,
                       const char* alias = nullptr, int cachePercent = 0, int* alreadyMonitored = nullptr) const;

 private:
  BareAnchor anchor_;
};
