// One line of the URL configuration file: a URL, then keywords in any order and
// letter case (ALIAS=, INTERVAL=, CACHE=, USER=); and the line the rewrite makes
// of one URL and owner. The format is in docs/url-configuration-file.md.
#pragma once

#include <string>
#include <vector>

namespace zevp {

// The longest URL the file may give, its scheme included.
constexpr int kConfigURLmax = 1024;
// The owner of a URL whose line names none.
constexpr char kConfigDefaultOwner[] = "INITCNFG";

struct URLconfigRecord {
  enum class Kind { empty, comment, blank, urlTooLong, url };
  Kind kind = Kind::empty;
  std::string url;    // with its scheme
  bool hasAlias = false;
  std::string alias;  // as written
  int interval = 0;   // the default interval when the line gives no number
  int cachePercent = 0;
  std::vector<std::string> owners;  // in order; at least one
};

// Reads a line without its line end (anything from a NUL on is ignored);
// defaultInterval is taken when the line gives none. Traces what it skips and
// what it defaults.
URLconfigRecord ReadURLconfigLine(const std::string& line, int defaultInterval);

// The line, line feed included, that keeps one URL and owner (an alias of four
// blanks, the placeholder of none, is left out).
std::string URLconfigLine(const std::string& url, int interval, int cachePercent, const std::string& user,
                          const std::string& alias);

}  // namespace zevp
