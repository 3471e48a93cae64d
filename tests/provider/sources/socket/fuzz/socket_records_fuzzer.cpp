// libFuzzer harness of what a socket partner sends: the association record at its
// start, its cut into records, and the record a full TCP receive ends inside of,
// kept for the next. The first byte says whether the receive filled the buffer;
// the rest is received twice. None may crash or read past the bytes.
#include <stdlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "association_record.h"
#include "partner_records.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  bool filled = (data[0] & 1) != 0;
  std::vector<char> received(data + 1, data + size);
  int length = static_cast<int>(received.size());
  std::string bytes(received.begin(), received.end());
  zevp::AssociationRecord association = zevp::ReadAssociationRecord(bytes);
  if (association.end > bytes.size()) __builtin_trap();
  zevp::CutRecords(received.data(), length);
  zevp::UnfinishedRecords unfinished;
  const auto* partner = reinterpret_cast<const IOEntry*>(&unfinished);
  for (int receive = 0; receive < 2; ++receive) {
    std::string now = unfinished.take(partner, received.data(), length, filled);
    zevp::CutRecords(now.data(), static_cast<int>(now.size()));
  }
  std::string last = unfinished.flush(partner);
  zevp::CutRecords(last.data(), static_cast<int>(last.size()));
  return 0;
}
