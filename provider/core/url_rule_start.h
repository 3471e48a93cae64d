// A situation on the Managed_URL group of the Internet application arrives as a
// RULESTART whose parameters name the URLs to monitor:
//   INTERVAL=60 ... ATTRIBUTES=(URL EQ www.example.com) (URL_Alias EQ home)
// Each parenthesised group that holds "URL" names one URL by its last word ("http://"
// put in front unless it begins with http:// or https://, in any case); a group
// right after it that holds "URL_Alias" gives its alias, the last word with the
// blank before it. A '(' without its ')' ends the list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ActionEntry;
struct DPAB;

struct RuleStartURL {
  std::string url;
  bool hasAlias = false;
  std::string alias;
};

struct RuleStartParameters {
  int32_t interval = 0;  // INTERVAL=, 0 when absent
  std::vector<RuleStartURL> urls;
};

// False (traced) when the parameters hold no "ATTRIBUTES="; groups without a URL
// are traced and skipped. owner names the situation in the traces.
bool ZEVP_ParseRuleStartParameters(const char* parameters, const char* owner, RuleStartParameters* parsed);

// Starts monitoring the URLs of a RULESTART action for its situation and wakes the
// HTTP manager.
void ZEVP_StartURLmonitoringByRule(DPAB* anchor, const ActionEntry* entry);

// Wakes the HTTP manager, when it runs, to look at the URLs again; the wake is kept
// until the manager looks, also when it was not waiting. Before the manager runs
// there is nothing to wake: it walks every URL when it starts.
void ZEVP_WakeHTTPmanagerThread(DPAB* anchor);
