// libFuzzer harness of buffers through a partner's request state machine, on a
// parsed application whose DCH requests succeed at once (the state the DCH client
// would leave). The first byte picks the partner (bits 0-1: a socket partner, the
// group's API source, an API session's dynamic source) and the state it is in
// (bits 2-5); the rest is what it sent. Replies go to a loopback port nobody reads.
// None may crash, leak or read past the buffer.
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <vector>

#include "application_entry.h"
#include "dch_work_queue.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "metafile_fixture.h"
#include "partner_binding.h"
#include "partner_sources.h"
#include "process_entry.h"
#include "request_state_machine.h"
#include "source_entry.h"
#include "stdout_silenced.h"
#include "table_entry.h"

namespace {

const std::vector<std::string> kMetafile = {
    "//APPL Fuzz",      "//NAME Grp P 60", "//SOURCE SOCK 127.0.0.1", "//CONFIRM SEQ", "//ATTRIBUTES ';'",
    "Name D 16",        "Count C 100000 +FILTER={NUMBER>(0,0)}",      "//NAME Api P 60", "//ATTRIBUTES ';'",
    "Name D 16",        "Count C 100000"};

struct Harness {
  MetafileFixture models;
  ProcessEntry* server = nullptr;
  SourceEntry* partners[3] = {};
};
Harness* harness = nullptr;

// As the DCH client routine leaves a source whose request the agent took.
void RequestTaken(DPAB*, ProcessEntry*, SourceEntry* source) {
  switch (ZEVP_SourceStateOf(source)) {
    case ZEVP_Ready:
    case ZEVP_Output:
      ZEVP_UpdateSourceEntryState(source, ZEVP_Active);
      break;
    case ZEVP_Inactive:
      ZEVP_UpdateSourceEntryState(source, ZEVP_Ready);
      break;
    default:
      break;
  }
}

void NoLog(DPAB*, int32_t, const char*, const char*, const char*, const char*, const char*) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  static StdoutSilenced silenced;
  zevp::Routines().queueAndWaitDCHstatus = RequestTaken;
  zevp::Routines().sendDPlogMessage = NoLog;
  harness = new Harness;
  harness->models.write("fuzz.mdl", kMetafile);
  ApplicationEntry* application = harness->models.parse("fuzz.mdl").application;
  DPAB* anchor = harness->models.anchor();
  harness->server = ZEVP_InitializeProcessEntry(anchor);
  harness->partners[0] = application->FirstTable->FirstSource;
  harness->partners[1] = application->FirstTable->next->FirstSource;
  SourceEntry* session = ZEVP_InitializeSourceEntry(anchor, nullptr, "BASE", nullptr, nullptr, nullptr);
  session->Dynamic = 1;
  harness->partners[2] = session;
  int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in nobody{};
  nobody.sin_family = AF_INET;
  nobody.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  nobody.sin_port = htons(9);
  for (SourceEntry* source : harness->partners) {
    zevp::BindPartner(source->IO, socket, 0, nobody);
    zevp::TakeSourceForPeer(source, harness->server, nobody);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  SourceEntry* source = harness->partners[(data[0] & 0x03) % 3];
  ZEVP_UpdateSourceEntryState(source, (data[0] >> 2) & 0x0F);
  source->IO->NewBinding = (data[0] >> 6) & 1;
  std::vector<char> bytes(data + 1, data + size);
  ZEVP_ProcessSockRequestByState(harness->models.anchor(), harness->server, source->IO, static_cast<int>(bytes.size()),
                                 bytes.empty() ? nullptr : bytes.data());
  // The session's source leaves a group it joined, as at the end of its input.
  if (source == harness->partners[2]) zevp::DisassociateDynamicSource(source);
  return 0;
}
