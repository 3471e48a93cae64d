#include "url_config_line.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "http_trace.h"
#include "url_records.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr char kAliasKeyword[] = "ALIAS=";
constexpr char kIntervalKeyword[] = "INTERVAL=";
constexpr char kCacheKeyword[] = "CACHE=";
constexpr char kUserKeyword[] = "USER=";
const std::string kPlainScheme = "http://";  // as long as "HTTP:\\", which it replaces

std::string UpperCased(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool BeginsWith(const std::string& text, const char* prefix) { return text.compare(0, std::strlen(prefix), prefix) == 0; }

// The text after the keyword's first place in the line, its leading blanks
// skipped; npos when the keyword is not there.
size_t ValueStart(const std::string& line, const std::string& upper, const char* keyword) {
  size_t place = upper.find(keyword);
  if (place == std::string::npos) return std::string::npos;
  size_t start = line.find_first_not_of(' ', place + std::strlen(keyword));
  return start == std::string::npos ? line.size() : start;
}

// The value up to the next blank.
std::string Word(const std::string& line, size_t start) {
  size_t end = line.find(' ', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The leading digits as a number (held at INT_MAX); false when the value does
// not start with a digit.
bool LeadingNumber(const std::string& value, int* number) {
  if (value.empty() || !std::isdigit(static_cast<unsigned char>(value[0]))) return false;
  long long total = 0;
  for (size_t i = 0; i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])); ++i)
    total = std::min<long long>(total * 10 + (value[i] - '0'), INT_MAX);
  *number = static_cast<int>(total);
  return true;
}

void ReadNumber(const std::string& line, const std::string& upper, const char* keyword, const std::string& url,
                int* number) {
  size_t start = ValueStart(line, upper, keyword);
  if (start == std::string::npos) return;
  if (!LeadingNumber(Word(line, start), number))
    HTTP_TRC(TRC_ERROR, "Non-numeric value specified on %s parameter for URL <%s>", keyword, url.c_str());
}

// The URL with its scheme: http:// or https:// as written, HTTP:\\ made http://,
// none given http:// in front. Its length is known before it is built: false, and
// the length it would have, when that passes the longest URL.
bool SchemedURL(const std::string& word, std::string* url, size_t* length) {
  std::string upper = UpperCased(word.substr(0, 8));
  bool schemed = BeginsWith(upper, "HTTP://") || BeginsWith(upper, "HTTPS://");
  bool backslashed = !schemed && BeginsWith(upper, "HTTP:\\\\");
  *length = schemed || backslashed ? word.size() : word.size() + kPlainScheme.size();
  if (*length > static_cast<size_t>(kConfigURLmax)) return false;
  if (schemed) {
    *url = word;
  } else if (backslashed) {
    *url = kPlainScheme + word.substr(kPlainScheme.size());
    HTTP_TRC(TRC_DETAIL, "Converting URL <%s> with backslashes to <%s>", word.c_str(), url->c_str());
  } else {
    *url = kPlainScheme + word;
  }
  return true;
}

std::vector<std::string> NullUser(const std::string& url) {
  HTTP_TRC(TRC_ERROR, "USER= parameter is null for URL <%s>, substituting default owner value of %s", url.c_str(),
           kConfigDefaultOwner);
  return {kConfigDefaultOwner};
}

std::vector<std::string> Owners(const std::string& line, const std::string& upper, const std::string& url) {
  size_t start = ValueStart(line, upper, kUserKeyword);
  if (start == std::string::npos || start == line.size()) return {kConfigDefaultOwner};
  std::string rest = upper.substr(start);
  if (BeginsWith(rest, kAliasKeyword) || BeginsWith(rest, kCacheKeyword) || BeginsWith(rest, kIntervalKeyword))
    return NullUser(url);
  std::string token = Word(line, start);
  HTTP_TRC(TRC_DETAIL, "User token <%s>", token.c_str());
  std::vector<std::string> owners;
  for (size_t from = 0; from <= token.size();) {
    size_t comma = token.find(',', from);
    if (comma == std::string::npos) comma = token.size();
    if (comma > from) owners.push_back(token.substr(from, comma - from));
    from = comma + 1;
  }
  // Commas alone name no owner; a URL without one would be neither monitored nor
  // written back, so it takes the default owner as an empty USER= does.
  if (owners.empty()) return NullUser(url);
  return owners;
}

}  // namespace

URLconfigRecord ReadURLconfigLine(const std::string& text, int defaultInterval) {
  URLconfigRecord record;
  const std::string line = text.substr(0, text.find('\0'));
  if (line.empty()) return record;
  if (line[0] == '*') {
    HTTP_TRC(TRC_DETAIL, "Skipping comment line");
    record.kind = URLconfigRecord::Kind::comment;
    return record;
  }
  size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos) {
    HTTP_TRC(TRC_DETAIL, "Skipping blank line");
    record.kind = URLconfigRecord::Kind::blank;
    return record;
  }
  const std::string upper = UpperCased(line);
  size_t length = 0;
  if (!SchemedURL(Word(line, first), &record.url, &length)) {
    HTTP_TRC(TRC_ERROR, "URL length %zu too large. Max length %d", length, kConfigURLmax);
    record.kind = URLconfigRecord::Kind::urlTooLong;
    return record;
  }
  record.kind = URLconfigRecord::Kind::url;
  size_t aliasStart = ValueStart(line, upper, kAliasKeyword);
  if (aliasStart != std::string::npos) {
    record.alias = Word(line, aliasStart);
    record.hasAlias = !record.alias.empty();
    HTTP_TRC(TRC_DETAIL, "Alias token <%s>", record.alias.c_str());
  }
  record.interval = defaultInterval;
  ReadNumber(line, upper, kIntervalKeyword, record.url, &record.interval);
  ReadNumber(line, upper, kCacheKeyword, record.url, &record.cachePercent);
  record.owners = Owners(line, upper, record.url);
  return record;
}

std::string URLconfigLine(const std::string& url, int interval, int cachePercent, const std::string& user,
                          const std::string& alias) {
  std::string line = url + " " + kIntervalKeyword + std::to_string(interval) + " " + kCacheKeyword +
                     std::to_string(cachePercent) + " " + kUserKeyword + user;
  if (alias != ZEVP_URL_NO_ALIAS) line += std::string(" ") + kAliasKeyword + alias;
  return line + "\n";
}

}  // namespace zevp
