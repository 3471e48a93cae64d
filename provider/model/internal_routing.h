// Internal routing: every row of an //INTERNAL OUTPUT group that passes its
// filters goes, as the unchanged record, to each //INTERNAL INPUT group of the
// same name, which splits it by its own attributes and sends it on through a
// routed source: a BASE source of the input group, made for the output group's
// source that feeds it, with that source's node name and a waiting entry of its
// own.
//
// A block's lock is held for the whole routing of a row and while groups leave
// it; it comes before the input groups' locks. A row that comes back to a block
// already routing on the same thread (two names closing a loop) is not routed
// again.
#pragma once

#include <cstdint>

struct DPAB;
struct InternalRoutingBlock;
struct SourceEntry;
struct TableEntry;

// Routes one row of the output group's source: each input group's routed source
// is made and put online with the first row (a null record with length 0 only
// puts them online, as the output source's own online does), then splits and
// sends its copy of the record. A routed source taken offline with its origin
// goes online again the same way. With the switch
// ZEVP_BYPASS_BATCH_GROUP (unless N) a group whose summary is in batch mode, and
// with ZEVP_BATCH_MODE_PROCESS=Y one whose summary is not, is left offline and
// gets no rows. The switches are read once.
void ZEVP_DispatchInternalOutput(DPAB* anchor, SourceEntry* source, InternalRoutingBlock* block, const char* record,
                                 int32_t length);

// When the block's output group is the source's: every routed source fed by it
// first sends the open interval of its summary, then goes offline.
void ZEVP_CheckRedirectSourceOffline(DPAB* anchor, SourceEntry* source, InternalRoutingBlock* block);

// A group that is deleted leaves the block: an input group its chain; the output
// group takes the block with it, its input groups unrouted (their routed sources
// forget their origin), and the block is freed.
void ZEVP_RemoveTableFromIRB(DPAB* anchor, InternalRoutingBlock* block, TableEntry* table);

namespace zevp {

// Removes the group from every block it belongs to, as output or as input.
void RemoveTableFromRouting(DPAB* anchor, TableEntry* table);

}  // namespace zevp
