// libFuzzer harness of the page scan: the title and the object references of
// arbitrary page bytes. A title is never longer than 255 characters and holds no
// line end; an object URL never passes the longest a request takes and is absolute.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "page_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* page = reinterpret_cast<const char*>(data);
  const std::string title = zevp::PageTitle(page, size);
  if (title.empty() || title.size() > zevp::kPageTitleMax || title.find_first_of("\r\n\t") != std::string::npos)
    abort();
  for (const std::string base : {std::string("http://h/"), zevp::ObjectBaseURL(std::string(page, size))}) {
    if (base.size() > zevp::kObjectURLmax) abort();
    zevp::ScanPageObjects(page, size, base, [](const std::string& url) {
      if (url.size() > zevp::kObjectURLmax || url.compare(0, 4, "http") != 0) abort();
      return true;
    });
  }
  return 0;
}
