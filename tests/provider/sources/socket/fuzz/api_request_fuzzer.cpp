// libFuzzer harness of an API request as the API server reads it: the eye-catcher,
// the verb, the operands, and what ACCREQ, SETSRC, RESULT, BGNINP and SNDDTA make
// of their operands. None may crash or read past the request.
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "action_hand_over.h"
#include "api_request.h"
#include "metafile_text.h"
#include "partner_records.h"
#include "source_entry.h"
#include "zev0/storage.h"

namespace {

SourceEntry* source = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  source = new SourceEntry;
  std::memset(source, 0, sizeof *source);
  BSV1_InitializeLock(&source->DataLock);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The request in a block of its own size, so that a read past it is seen.
  std::vector<char> request(data, data + size);
  int length = static_cast<int>(size);
  ZEVP_ValidateAPIversion(request.data(), length);
  std::string operands = ZEVP_APIoperands(request.data(), length);
  switch (ZEVP_ExtractAPIcallType(request.data(), length)) {
    case ZEVP_VERB_ACCREQ:
      ZEVP_SetAcceptRequestOptions(source, operands);
      break;
    case ZEVP_VERB_SETSRC:
      ZEVP_SaveAPIsourceName(source, operands);
      ZEV0_FreeStorage(&source->pSourceNodeName);
      break;
    case ZEVP_VERB_RESULT: {
      int32_t id = 0;
      std::string text;
      bool hasText = false;
      ZEVP_ParseAPIresult(operands, &id, &text, &hasText);
      break;
    }
    case ZEVP_VERB_BGNINP:
      zevp::Words(operands);
      break;
    case ZEVP_VERB_SNDDTA:
      zevp::CutAtLineFeeds(operands);
      break;
    default:
      break;
  }
  return 0;
}
