#include "configuration_request_text.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

#include "trc1.h"

TRC_UNIT();

const char* const DPconfigRequestName[ZEVP_CONFIG_REQUESTS] = {"RQADD", "RQREMOVE", "MNLADD", "MNLREMOVE",
                                                               "TKADD", "TKREMOVE", "URLADD", "URLREMOVE"};
const char* const DPconfigPackageName[ZEVP_CONFIG_REQUESTS] = {"RQ", "RQ", "EV", "EV", "TK", "TK", "EV", "EV"};

namespace {

constexpr char kBlank = ' ';
constexpr char kDefaultUser[] = "TAKE_ACTION";

size_t SkipBlanks(const std::string& text, size_t at) {
  while (at < text.size() && text[at] == kBlank) ++at;
  return at;
}

bool StartsWith(const std::string& text, size_t at, std::string_view prefix) {
  return text.compare(at, prefix.size(), prefix) == 0;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Where the value of the keyword begins (blanks after '=' skipped), or npos.
size_t ValueAt(const std::string& text, const char* keyword) {
  size_t at = text.find(keyword);
  return at == std::string::npos ? at : SkipBlanks(text, at + std::string_view(keyword).size());
}

std::string WordAt(const std::string& text, size_t at) { return text.substr(at, text.find(kBlank, at) - at); }

std::string WithScheme(std::string url) {
  if (Upper(url.substr(0, 7)) == "HTTP:\\\\") {
    url = "http://" + url.substr(7);
    TRC(TRC_DETAIL, "Converting URL with backslashes to <%s>", url.c_str());
  }
  const std::string upper = Upper(url);
  if (upper.compare(0, 7, "HTTP://") != 0 && upper.compare(0, 8, "HTTPS://") != 0) url.insert(0, "http://");
  return url;
}

int32_t LeadingNumber(const std::string& text, size_t at) {
  long value = std::strtol(text.c_str() + at, nullptr, 10);
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

}  // namespace

ConfigurationRequestText ZEVP_ReadConfigurationRequest(std::string_view text) {
  ConfigurationRequestText read;
  const std::string whole(text);
  size_t at = SkipBlanks(whole, 0);
  read.name = WordAt(whole, at);
  at = SkipBlanks(whole, at + read.name.size());
  read.parameters = whole.substr(std::min(at, whole.size()));
  for (int32_t index = 0; index < ZEVP_CONFIG_REQUESTS; ++index)
    if (read.name == DPconfigRequestName[index]) read.request = index;
  return read;
}

namespace zevp {

std::vector<std::string> CommaSeparatedValue(const std::string& parameters, const char* keyword) {
  std::vector<std::string> names;
  size_t at = parameters.find(keyword);
  if (at == std::string::npos) return names;
  at += std::string_view(keyword).size();
  while (at <= parameters.size()) {
    size_t comma = parameters.find(',', at);
    std::string name = parameters.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    if (!name.empty()) names.push_back(name);
    if (comma == std::string::npos) break;
    at = SkipBlanks(parameters, comma + 1);
  }
  return names;
}

bool WordValue(const std::string& parameters, const char* keyword, std::string* value) {
  size_t at = ValueAt(parameters, keyword);
  if (at == std::string::npos) return false;
  *value = WordAt(parameters, at);
  return true;
}

}  // namespace zevp

URLrequestParameters ZEVP_ReadURLrequestParameters(const std::string& parameters, bool add) {
  URLrequestParameters read;
  size_t at = ValueAt(parameters, "URL=");
  if (at == std::string::npos || at >= parameters.size() || StartsWith(parameters, at, "ALIAS=") ||
      StartsWith(parameters, at, "USER=")) {
    TRC(TRC_ERROR, "***** URL not specified on action request");
    return read;
  }
  read.urlGiven = true;
  read.url = WithScheme(WordAt(parameters, at));
  const char* url = read.url.c_str();

  at = ValueAt(parameters, "ALIAS=");
  if (at != std::string::npos && at < parameters.size() && !StartsWith(parameters, at, "INTERVAL=")) {
    read.hasAlias = true;
    read.alias = WordAt(parameters, at);
  } else if (at != std::string::npos) {
    TRC(TRC_DETAIL, "No Alias parameter value was supplied for URL %s", url);
  }

  at = ValueAt(parameters, "INTERVAL=");
  if (at != std::string::npos) {
    if (at >= parameters.size() || StartsWith(parameters, at, "USER="))
      TRC(TRC_DETAIL, "No Interval parameter value was supplied for URL %s", url);
    else if (!std::isdigit(static_cast<unsigned char>(parameters[at])))
      TRC(TRC_ERROR, "Non-numeric value specified on Interval parameter for URL <%s>", url);
    else
      read.interval = LeadingNumber(parameters, at);
  }

  at = ValueAt(parameters, "USER=");
  if (at == std::string::npos || at >= parameters.size() || (add && StartsWith(parameters, at, "CACHE="))) {
    TRC(TRC_DETAIL, "No User parameter value was supplied for URL %s", url);
  } else {
    read.user = WordAt(parameters, at);
  }
  if (read.user.empty()) read.user = kDefaultUser;

  if (!add) return read;
  at = parameters.find("CACHE=");
  if (at == std::string::npos) {
    TRC(TRC_DETAIL, "No Cache parameter value was supplied for URL %s", url);
    return read;
  }
  at += 6;
  if (at < parameters.size() && parameters[at] == kBlank) ++at;
  if (at < parameters.size() && std::isdigit(static_cast<unsigned char>(parameters[at])))
    read.cachePercent = LeadingNumber(parameters, at);
  else
    TRC(TRC_ERROR, "Non-numeric value specified on Cache parameter for URL %s", url);
  return read;
}
