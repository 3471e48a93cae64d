#include "url_output_names.h"

#include <algorithm>
#include <cctype>

namespace zevp {

namespace {

constexpr const char* kPageExtensions[] = {".html", ".HTML", ".htm", ".HTM", ".asp", ".ASP"};
constexpr size_t kLongestFileName = 255;

std::string AfterScheme(const std::string& url) {
  size_t scheme = url.find("://");
  return scheme == std::string::npos ? url : url.substr(scheme + 3);
}

std::string Dashed(std::string name) {
  std::replace(name.begin(), name.end(), '/', '-');
  return name;
}

}  // namespace

std::string URLhostPart(const std::string& url) {
  std::string rest = AfterScheme(url);
  return rest.substr(0, rest.find('/'));
}

bool IsSafeHostPart(const std::string& host) {
  if (host.empty() || host.size() > kLongestFileName || host.find("..") != std::string::npos) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':';
  });
}

std::string PageFileName(const std::string& url) {
  std::string name = AfterScheme(url);
  size_t dot = name.rfind('.');
  bool pageExtension = dot != std::string::npos && std::any_of(std::begin(kPageExtensions), std::end(kPageExtensions),
                                                               [&](const char* e) { return name.substr(dot) == e; });
  if (!pageExtension) name += ".html";
  return Dashed(name);
}

std::string ObjectFileName(const std::string& objectURL) {
  size_t dot = objectURL.rfind('.');
  if (dot == std::string::npos) return "";
  size_t start = dot;
  while (start > 0 && std::isalnum(static_cast<unsigned char>(objectURL[start - 1]))) --start;
  std::string name = Dashed(objectURL.substr(start));
  return name == "." || name == ".." ? "" : name;
}

}  // namespace zevp
