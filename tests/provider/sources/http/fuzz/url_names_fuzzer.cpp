// libFuzzer harness of the URLs a subtask makes and the names of the URL output
// files: the first line of each input is a URL, the second a redirection's
// location. A target never passes the longest URL, a trimmed URL is a start of
// its URL, and no file name holds a '/' or climbs out of its directory.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "redirect_target.h"
#include "url_activity.h"
#include "url_output_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t lineEnd = input.find('\n');
  const std::string url = input.substr(0, lineEnd);
  const std::string location = lineEnd == std::string::npos ? "" : input.substr(lineEnd + 1);

  std::string target;
  if (zevp::RedirectTarget(url, location, &target) && target.size() > ZEVP_URL_REQUEST_MAX) abort();
  const std::string trimmed = zevp::TrimFragmentMarks(url);
  if (url.compare(0, trimmed.size(), trimmed) != 0) abort();

  const std::string host = zevp::URLhostPart(url);
  if (zevp::IsSafeHostPart(host) && (host.find('/') != std::string::npos || host.find("..") != std::string::npos))
    abort();
  if (zevp::PageFileName(url).find('/') != std::string::npos) abort();
  const std::string object = zevp::ObjectFileName(url);
  if (object.find('/') != std::string::npos || object == "." || object == "..") abort();
  return 0;
}
