// libFuzzer harness of the metafile exchange texts: each input is taken as a
// request a server received and, cut in two pieces at its first byte's value, as
// a reply a client received. Neither may crash, hang or take more than it holds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "metafile_exchange_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  std::string name;
  zevp::ParseMetafileRequest(std::string(bytes, size), &name);

  size_t cut = size > 0 ? data[0] % (size + 1) : 0;
  zevp::MetafileReplyReader reader;
  reader.add(bytes, cut);
  reader.add(bytes + cut, size - cut);
  if (reader.state() == zevp::MetafileReplyReader::State::Complete && reader.status() == 0 &&
      reader.records().empty())
    __builtin_trap();  // a complete reply of status 0 brings its records
  return 0;
}
