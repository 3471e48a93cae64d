// The association record with which a socket partner names its application: two
// slashes and a metafile name, as its first record (docs/socket-input.md). A record
// marked with the slashes of the other character code makes the partner one whose
// input is converted.
#pragma once

#include <netinet/in.h>

#include <string>

#include "partner_binding.h"

struct DPAB;
struct IOEntry;
struct ProcessEntry;

// What a partner ends its input with; never an association record.
constexpr char SockTransEndMsg[] = "//END-DP-INPUT";

namespace zevp {

struct AssociationRecord {
  bool present = false;   // the bytes begin with one
  bool convert = false;   // in the other code: the bytes were converted to the local one
  std::string record;     // the first record, without its line end
  std::string metafile;   // the record's name: after the slashes, up to the first blank
  size_t end = 0;         // where the bytes after the record begin
};

// Reads the association record at the start of the bytes; when it is marked in
// the other code, the bytes are converted to the local code first.
AssociationRecord ReadAssociationRecord(std::string& bytes);

// The partner of the record's application for the peer: a socket source of the
// application found for it, else one made for it when the application has a
// single group. Loads the application from its metafile when it is not loaded
// (and releases it again when no partner came of it). A refusal is logged (DP log
// messages 23 or 29, 30) and gives null. transport: "TCP" or "UDP".
IOEntry* PartnerOfAssociation(DPAB* anchor, const AssociationRecord& association, const sockaddr_in& peer,
                              const char* transport);

// The peer's refusal for want of an association record (DP log message 56).
void RefuseWithoutAssociation(DPAB* anchor, const sockaddr_in& peer, const char* transport);

}  // namespace zevp
