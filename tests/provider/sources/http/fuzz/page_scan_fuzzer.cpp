// libFuzzer harness of the page scan: the title and the object references of
// arbitrary page bytes. A title is never longer than 255 characters and holds no
// line end; an object URL never passes the longest a request takes, and is absolute
// or joined to the base.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "page_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* page = reinterpret_cast<const char*>(data);
  const std::string title = zevp::PageTitle(page, size);
  if (title.empty() || title.size() > zevp::kPageTitleMax || title.find_first_of("\r\n\t") != std::string::npos)
    abort();
  const std::string bases[] = {"http://h/", zevp::ObjectBaseURL(std::string(page, size))};
  for (const std::string& base : bases) {
    if (base.size() > zevp::kObjectURLmax) abort();
    zevp::ScanPageObjects(page, size, base, [&base](const std::string& url) {
      const bool joined = !base.empty() && url.compare(0, base.size(), base) == 0;
      if (url.size() > zevp::kObjectURLmax || (url.compare(0, 4, "http") != 0 && !joined)) abort();
      return true;
    });
  }
  return 0;
}
