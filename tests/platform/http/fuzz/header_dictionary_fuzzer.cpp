// libFuzzer harness of the HTTP library's reading of a reply's status line and
// headers into its dictionary: each line of the input is one header line as
// received. Whatever comes, every entry's value lies within the dictionary's text,
// ends in a NUL and links only forward to an entry of its own code.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "header_dictionary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  vmo1::HeaderDictionary dictionary;
  for (size_t start = 0; start < input.size();) {
    size_t end = input.find('\n', start);
    end = end == std::string::npos ? input.size() : end + 1;
    dictionary.addLine(input.data() + start, end - start);
    start = end;
  }
  const VMO1_HeaderDictionary* view = dictionary.view();
  if (view->hdiCount < 0 || static_cast<size_t>(view->hdiCount) > vmo1::HeaderDictionary::kMaxHeaders) abort();
  for (int32_t i = 0; i < view->hdiCount; ++i) {
    const VMO1_HeaderInfo& info = view->hdiinfo[i];
    if (view->hdiindex[i] != i || info.hinStrLen < 0 || info.hinStrOffset <= info.hinStrLen ||
        static_cast<size_t>(info.hinStrOffset) > vmo1::HeaderDictionary::kMaxHeaderBytes)
      abort();
    const char* value = view->hdiStrCeiling - info.hinStrOffset;
    if (value[info.hinStrLen] != '\0' || std::memchr(value, '\n', static_cast<size_t>(info.hinStrLen)) != nullptr)
      abort();
    if (info.hinLink != -1 && (info.hinLink <= i || info.hinLink >= view->hdiCount ||
                               view->hdiinfo[info.hinLink].hinCode != info.hinCode))
      abort();
  }
  return 0;
}
