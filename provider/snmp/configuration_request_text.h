// The text of a data-provider configuration request (a DP_CONFIG action's
// parameters), read: the request name and its parameters, the comma-separated
// names of SERVER= and NODE=, the list name of LIST=, and the URL keywords.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The requests by their index; each runs only on the product whose code is its package.
enum ZEVP_ConfigurationRequest : int32_t {
  ZEVP_CONFIG_RQADD = 0,
  ZEVP_CONFIG_RQREMOVE = 1,
  ZEVP_CONFIG_MNLADD = 2,
  ZEVP_CONFIG_MNLREMOVE = 3,
  ZEVP_CONFIG_TKADD = 4,
  ZEVP_CONFIG_TKREMOVE = 5,
  ZEVP_CONFIG_URLADD = 6,
  ZEVP_CONFIG_URLREMOVE = 7,
  ZEVP_CONFIG_REQUESTS = 8,
};
extern const char* const DPconfigRequestName[ZEVP_CONFIG_REQUESTS];
extern const char* const DPconfigPackageName[ZEVP_CONFIG_REQUESTS];

struct ConfigurationRequestText {
  std::string name;        // leading blanks skipped, up to the first blank
  int32_t request = -1;    // its index, -1 when it is not a request
  std::string parameters;  // after the name and its blanks; empty: none
};

ConfigurationRequestText ZEVP_ReadConfigurationRequest(std::string_view text);

namespace zevp {

// The value of the keyword, which runs to the end of the text, split at its commas
// (blanks after a comma skipped); empty names are dropped. Empty when the keyword
// is not there.
std::vector<std::string> CommaSeparatedValue(const std::string& parameters, const char* keyword);
// The value of the keyword up to the next blank, leading blanks skipped; false
// when the keyword is not there.
bool WordValue(const std::string& parameters, const char* keyword, std::string* value);

}  // namespace zevp

// The URL keywords of TKADD, TKREMOVE, URLADD and URLREMOVE.
struct URLrequestParameters {
  bool urlGiven = false;
  std::string url;  // with its scheme
  bool hasAlias = false;
  std::string alias;
  int32_t interval = 300;  // seconds
  std::string user = "TAKE_ACTION";
  int32_t cachePercent = 0;
};

// Reads the keywords as an add (with CACHE=) or a remove reads them, tracing what
// is missing; urlGiven false when no URL is named.
URLrequestParameters ZEVP_ReadURLrequestParameters(const std::string& parameters, bool add);
