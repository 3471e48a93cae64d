// The console's SHOW reply: the whole definition of one loaded application as
// records of semicolon-terminated fields, in datagram segments.
//
// Records: 0;metafile;  1;application;  2;group;TTL label and seconds;
// 3;source kind;source name;  4;attribute;type label and flags;
// The first segment begins with the head "2 " when it is the only one, else "1 ";
// every further segment with "0 " (the sender makes the last one's "3 ").
#pragma once

#include <string>
#include <vector>

struct ApplicationEntry;

namespace zevp {

struct ShowReply {
  std::vector<std::string> segments;
};

// Where the segments end: a segment is closed before a record once the whole text
// (one separator counted between segments) has grown past the segment's limit, or
// when the record would not fit the segment's room. The first segment's room is
// 1000 characters; a new one's is the text so far and 1000 more, and as much again
// as the record that opens it when those would not hold it. The limit is the room
// less the margin (for a source record another margin less).
constexpr size_t ZEVP_SHOW_FIRST_SIZE = 1000;
constexpr size_t ZEVP_SHOW_MARGIN = 50;

}  // namespace zevp

// The reply for the application, read under its locks.
zevp::ShowReply ZEVP_ConstructShowReply(ApplicationEntry* application);
