// The checksum that identifies the text of an attribute-group definition (it goes into
// the application key).
#include <cstdio>
#include <cstring>

#include "dch/channel_functions.h"
#include "zev0/text.h"

namespace {

// Per thread: probe threads name their tables while the status monitor builds table names too.
thread_local char checksumText[64];

}  // namespace

char* ZEVA_ComputeChecksumOnAttrGroup(const char* groupText) {
  int32_t length = groupText != nullptr ? static_cast<int32_t>(strlen(groupText)) : 0;
  snprintf(checksumText, sizeof checksumText, "%u", static_cast<unsigned>(ZEV0_ComputeCheckSum(groupText, length)));
  return checksumText;
}
