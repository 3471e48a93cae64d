#include "url_rule_start.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "action_entry.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "metafile_text.h"
#include "process_entry.h"
#include "trc1.h"
#include "url_management.h"

TRC_UNIT();

namespace {

constexpr char kInterval[] = "INTERVAL=";
constexpr char kAttributes[] = "ATTRIBUTES=";

int32_t intervalOf(const std::string& text) {
  size_t at = text.find(kInterval);
  if (at == std::string::npos) return 0;
  errno = 0;
  long value = std::strtol(text.c_str() + at + sizeof kInterval - 1, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// The text between the '(' at or after `from` and its ')', and where the search
// goes on; false when no whole group follows.
bool nextGroup(const std::string& text, size_t* from, std::string* group) {
  size_t open = text.find('(', *from);
  if (open == std::string::npos) return false;
  size_t close = text.find(')', open);
  if (close == std::string::npos) return false;
  *group = text.substr(open + 1, close - open - 1);
  *from = close + 1;
  return true;
}

bool beginsWithScheme(const std::string& url) {
  std::string upper = zevp::UpperCased(url.c_str());
  return upper.compare(0, 7, "HTTP://") == 0 || upper.compare(0, 8, "HTTPS://") == 0;
}

// The URL of a group that names one; false (traced) when it does not.
bool urlOfGroup(const std::string& group, const char* owner, const std::string& parameters, std::string* url) {
  if (group.find("URL") == std::string::npos) {
    TRC(TRC_ERROR, "*****Error: URL to be monitored is not specified in SitName <%s> SitParms <%s>", owner,
        parameters.c_str());
    return false;
  }
  size_t lastBlank = group.rfind(' ');
  if (lastBlank == std::string::npos || lastBlank + 1 == group.size()) {
    TRC(TRC_ERROR, "*****Error: Action parm syntax incorrect. Situation URL value is NULL.");
    return false;
  }
  *url = group.substr(lastBlank + 1);
  if (!beginsWithScheme(*url)) url->insert(0, "http://");
  return true;
}

}  // namespace

void ZEVP_WakeHTTPmanagerThread(DPAB* anchor) {
  // Held, the request keeps the manager from ending and freeing the block meanwhile.
  zevp::URLmanagementRequest request(anchor);
  // No manager yet: it walks every URL when it starts.
  if (request.block() != nullptr && anchor->httpManagerEntry.load() != nullptr)
    zevp::WakeHTTPmanager(request.block());
}

bool ZEVP_ParseRuleStartParameters(const char* parameters, const char* owner, RuleStartParameters* parsed) {
  *parsed = RuleStartParameters{};
  std::string text = parameters != nullptr ? parameters : "";
  const char* situation = owner != nullptr ? owner : "";
  parsed->interval = intervalOf(text);
  size_t from = text.find(kAttributes);
  if (from == std::string::npos) {
    TRC(TRC_ERROR, "*****Error: No action attributes in text string <%s>. RuleStart bypassed", text.c_str());
    return false;
  }
  std::string group;
  while (nextGroup(text, &from, &group)) {
    RuleStartURL entry;
    std::string second;
    size_t afterSecond = from;
    bool secondWhole = nextGroup(text, &afterSecond, &second);
    if (secondWhole) {
      from = afterSecond;
      size_t lastBlank = second.rfind(' ');
      if (second.find("URL_Alias") != std::string::npos && lastBlank != std::string::npos) {
        entry.hasAlias = true;
        entry.alias = second.substr(lastBlank);
      }
    }
    if (urlOfGroup(group, situation, text, &entry.url)) parsed->urls.push_back(entry);
    if (!secondWhole) break;
  }
  return true;
}

void ZEVP_StartURLmonitoringByRule(DPAB* anchor, const ActionEntry* entry) {
  RuleStartParameters parsed;
  if (!ZEVP_ParseRuleStartParameters(entry->ActionParm, entry->ActionOwner, &parsed)) return;
  for (const RuleStartURL& url : parsed.urls) {
    const char* alias = url.hasAlias ? url.alias.c_str() : nullptr;
    if (zevp::Routines().allocateHTTPrequestBlock(anchor, url.url.c_str(), alias, parsed.interval, entry->ActionOwner,
                                                  0, nullptr) != nullptr) {
      TRC(TRC_DETAIL, "URL %s monitoring requested by situation %s", url.url.c_str(), entry->ActionOwner);
      ZEVP_WakeHTTPmanagerThread(anchor);
    } else {
      TRC(TRC_ERROR, "Warning: URL %s not monitored for situation %s", url.url.c_str(), entry->ActionOwner);
    }
  }
}
