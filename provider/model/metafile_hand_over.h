// The hand-over of a metafile fetch between the thread that wants a metafile and
// the metafile client thread, through the client's request area
// (metafile_request_area.h tells which lock guards what).
#pragma once

#include <cstdint>

struct DPAB;
struct MFRA;
struct ProcessEntry;

namespace zevp {

// The requester's side: posts the name to the connected client and waits for
// its answer on the calling thread's entry (the anchor's lent entry, under its
// lock, for a thread without one). True when the metafile came: its records are
// in the area and the area's lock stays held until the last record is read or
// the metafile closed. False (traced) when no client is connected or the fetch
// failed; nothing is then held.
bool FetchMetafile(DPAB* anchor, MFRA* area, const char* metafileName);

// The client's side. The client holds its own mutex while it is connected, except
// while it waits on its condition for a request.

// Takes the area for the client once its connection stands (the area's lock is
// taken for it, so it waits for a reader of an earlier fetch).
void AttachClient(MFRA* area, ProcessEntry* client);

// Whether a request was posted and not yet answered (its name may be missing).
bool RequestPosted(const MFRA* area);
// The name of the request posted and not yet answered, or null.
const char* PostedRequest(const MFRA* area);

// Answers the posted request with the status; with status 0 the records are in
// the area. The requester is woken and not touched again.
void AnswerRequest(MFRA* area, int32_t status);

// Lets go of the area: answers a posted request as a broken connection, refuses
// further posts, releases the client's mutex and, once no reader holds the area,
// takes the client off it and drops what is left in it.
void DetachClient(MFRA* area, ProcessEntry* client);

}  // namespace zevp
