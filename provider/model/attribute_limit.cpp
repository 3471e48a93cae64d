#include "attribute_limit.h"

#include <mutex>

#include "metafile_numbers.h"
#include "model_limits.h"
#include "trc1.h"
#include "zev0/env.h"

TRC_UNIT();

namespace {

std::once_flag limitSet;
int32_t maxAttributesPerGroup = ZEVP_DEFAULT_ATTRS_PER_GROUP;

void determine() {
  const char* value = ZEV0_GetEnv("WJD_MAXCOLS", nullptr);
  bool hasDigits = false;
  int32_t limit = zevp::DecimalValue(value, &hasDigits);
  if (!hasDigits || limit < 1) limit = ZEVP_DEFAULT_ATTRS_PER_GROUP;
  if (limit > ZEVP_MAX_ATTRS_PER_GROUP) {
    TRC(TRC_ERROR, "Maximum attribute per table specification too large. Change from %d to %d", limit,
        ZEVP_MAX_ATTRS_PER_GROUP);
    limit = ZEVP_MAX_ATTRS_PER_GROUP;
  }
  maxAttributesPerGroup = limit;
}

}  // namespace

void ZEVP_DetermineMaxAttributesPerGroup() { std::call_once(limitSet, determine); }

int32_t ZEVP_MaxAttributesPerGroup() {
  ZEVP_DetermineMaxAttributesPerGroup();
  return maxAttributesPerGroup;
}
