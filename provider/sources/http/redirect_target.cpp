#include "redirect_target.h"

#include "url_activity.h"

namespace zevp {

namespace {

// Where a URL's host begins: after its "://", else at its start.
size_t PathSearchStart(const std::string& url) {
  size_t scheme = url.find("://");
  return scheme == std::string::npos ? 0 : scheme + 3;
}

// The last '/' at or after start; npos when none.
size_t LastSlashFrom(const std::string& url, size_t start, size_t before) {
  size_t slash = url.rfind('/', before);
  return slash != std::string::npos && slash >= start ? slash : std::string::npos;
}

}  // namespace

std::string TrimFragmentMarks(std::string url) {
  size_t size = url.size();
  bool marked = (size >= 1 && url[size - 1] == '#') || (size >= 2 && url[size - 2] == '#' && url[size - 1] == '/');
  if (!marked) return url;
  url.pop_back();
  while (url.size() >= 2 && url.back() == '#') url.pop_back();
  return url;
}

bool RedirectTarget(const std::string& base, const std::string& location, std::string* target) {
  const size_t longest = ZEVP_URL_REQUEST_MAX;
  bool absolute = (location.size() > 4 && location[4] == ':') || (location.size() > 5 && location[5] == ':');
  if (absolute) {
    if (location.size() > longest) return false;
    *target = location;
    return true;
  }
  const size_t start = PathSearchStart(base);
  std::string combined;
  if (!location.empty() && location[0] == '/') {
    size_t slash = LastSlashFrom(base, start, std::string::npos);
    while (slash != std::string::npos && slash > start && base[slash - 1] == '=')
      slash = slash - 1 > start ? LastSlashFrom(base, start, slash - 2) : std::string::npos;
    combined = (slash == std::string::npos ? base : base.substr(0, slash)) + location;
  } else {
    size_t slash = LastSlashFrom(base, start, std::string::npos);
    combined = slash == std::string::npos ? base + "/" + location : base.substr(0, slash + 1) + location;
  }
  if (combined.size() > longest) return false;
  *target = combined;
  return true;
}

}  // namespace zevp
