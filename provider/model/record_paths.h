// The two roads of an input record into a row: the buffer path of the file and
// socket servers, which fill input buffers and send rows themselves, and the
// direct path of the SNMP collection and internal routing, which hand a record
// in one call and have the row sent at once.
#pragma once

#include <cstdint>

struct DPAB;
struct IObuffer;
struct IOEntry;
struct SourceEntry;

// Splits the buffer's record into the holder's source, filters the row, routes
// it (internal output groups) and adds it to the summary. 1 when the row passed
// the filters, else 0. The buffer is handed back NotInUse with length 0 in every
// case; one not in state ValidData is a logic error and makes no row.
int ZEVP_MoveDataFromBufferToAttr(DPAB* anchor, IOEntry* holder, IObuffer* buffer);

// Splits, filters, routes and summarises the record (see record_split.h for its
// form; an empty record makes a row of cleared values), then, when the summary
// is ready, sends the row through the DCH client routine and waits for it. A
// source without a waiting entry of its own borrows the anchor's shared one. 1
// when the row was sent and the source went back to Input, else 0.
int ZEVP_MoveDataToDCH(DPAB* anchor, SourceEntry* source, char* record, int32_t length);
