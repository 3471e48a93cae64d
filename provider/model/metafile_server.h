// The metafile server: one poll loop that accepts other data providers on the
// metafile port and answers each GETMETA request with the records of a metafile
// of its metafile directory.
#pragma once

#include <netinet/in.h>

#include <cstdint>

#include "metafile_request_area.h"

struct DPAB;

// One connected client data provider.
struct MetaServerConnection {
  MetaServerConnection* next;  // in accept order
  int Socket;
  sockaddr_in Peer;
  char* MetafileName;  // of the request in hand, own copy
  MetafileRecordList Records;
};

// The records of the connection's requested metafile, each line with its line
// end, empty lines left out; none when the metafile cannot be opened or lies
// outside the metafile directory (a fully qualified name elsewhere, a climb with
// "..", an in-memory name).
void ZEVP_ConstructMetaFileRecordBuffers(DPAB* anchor, MetaServerConnection* connection);

// Sends the reply (status 0 with the records, or status 1 when there are none)
// within the reply wait; the number of records sent, 0 on failure. The records
// are freed in every case.
int32_t ZEVP_SendMetFileReply(DPAB* anchor, MetaServerConnection* connection);

namespace zevp {

// Seconds a reply may take (ZEVP_META_IO_WAIT, default 30), on both sides.
int MetafileReplyWait();

// True when the name stands for a metafile of the anchor's metafile directory.
bool ServesMetafile(const DPAB* anchor, const char* metafileName);

}  // namespace zevp
