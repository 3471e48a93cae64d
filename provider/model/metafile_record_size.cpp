#include "metafile_record_size.h"

#include "metafile_numbers.h"
#include "trc1.h"
#include "zev0/env.h"

TRC_UNIT();

namespace {

// A metafile record is one line of text; a megabyte holds any sensible one and
// keeps the buffers' arithmetic far from overflow.
constexpr int32_t kLargestRecordSize = 1048576;

}  // namespace

int32_t ZEVP_MetaRecordSize() {
  const char* value = ZEV0_GetEnv("ZEVP_META_MAX_RECORD_SIZE", nullptr);
  if (value == nullptr) return ZEVP_DEFAULT_META_RECORD_SIZE;
  bool hasDigits = false;
  int32_t size = zevp::DecimalValue(value, &hasDigits);
  // fgets needs room for one character and its terminator, or it reads nothing for ever.
  if (!hasDigits || size < 2) {
    TRC(TRC_ERROR, "*****Warning: ZEVP_META_MAX_RECORD_SIZE <%s> unusable, %d assumed", value,
        ZEVP_DEFAULT_META_RECORD_SIZE);
    return ZEVP_DEFAULT_META_RECORD_SIZE;
  }
  if (size > kLargestRecordSize) {
    TRC(TRC_ERROR, "*****Warning: ZEVP_META_MAX_RECORD_SIZE %d too large, %d assumed", size, kLargestRecordSize);
    return kLargestRecordSize;
  }
  return size;
}
