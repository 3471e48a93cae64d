// libFuzzer harness of a posted message: each input is one message (at most 4096
// bytes, in a buffer of exactly its size), its code told and converted as the listen
// service does, then loaded into the built-in POST group: fields, category, time,
// origin and stamp. None may crash, read past the message or make a stamp of
// another length.
#include <netinet/in.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "application_entry.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "no_name_service.h"
#include "post_message.h"
#include "post_server.h"
#include "source_entry.h"
#include "stdout_silenced.h"
#include "table_entry.h"
#include "zev/dp_types.h"
#include "zev0/codepage.h"
#include "zev0/hostnames.h"

namespace {

// The agent takes every row.
void RowTaken(DPAB*, ProcessEntry*, SourceEntry* source) { ZEVP_UpdateSourceEntryState(source, ZEVP_Active); }

DPAB* anchor = nullptr;
SourceEntry* source = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  setenv("ZEV_WORK_PATH", "/nonexistent/zev/", 1);  // no ZEVPOST metafile
  static StdoutSilenced silenced;
  static NoNameService names;  // the origin is the dotted address
  zevp::Routines().queueAndWaitDCHstatus = RowTaken;
  anchor = zevp::NewAnchor();
  anchor->dpType = ZEV_DP_POST;
  ApplicationEntry* application = ZEVP_DefineDPpostApplication(anchor);
  if (application == nullptr) abort();
  source = application->FirstTable->FirstSource;
  source->IO->PartnerAddress.sin_family = AF_INET;
  source->IO->PartnerAddress.sin_addr.s_addr = htonl(0x0A010203);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > ZEVP_POST_MESSAGE_MAX) return 0;
  std::vector<char> message(data, data + size);
  int length = static_cast<int>(size);
  if (ZEVP_CheckDataConversion(reinterpret_cast<const unsigned char*>(message.data()), length))
    ZEV0_ConvertDataToLocal(message.data(), length);
  const char* stamp = ZEVP_LoadPostAttributeData(anchor, source, message.data(), length);
  if (std::strlen(stamp) != ZEVP_POST_ACK_STAMP_LENGTH || std::strncmp(stamp, "0A010203", 8) != 0) abort();
  return 0;
}
