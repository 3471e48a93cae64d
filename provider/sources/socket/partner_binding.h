// What the socket server, the binding of partners and the request state machine
// share: the two kinds of network partner, the anchor's list of each, and the
// binding of a partner record (IOEntry) to a datagram sender or a connection.
//
// A partner is bound while its socket is set: to the server's UDP socket for a
// datagram sender, to its own connection for a TCP partner. Unbound, its socket is
// 0, its active flag 0 and its new-binding flag 1.
#pragma once

#include <netinet/in.h>

#include <string>

#include "bsv1.h"

struct DPAB;
struct IOEntry;
struct ProcessEntry;
struct SourceEntry;

namespace zevp {

// Socket partners send text records (sources of type S); API partners, programs
// linked with the client library, send API requests (sources of type B).
enum class PartnerMode { Socket, API };

// The mode of a server loop: API when its process entry's type is 0 (the API loop
// of an ASFS data provider runs with 0 too).
PartnerMode ServerModeOf(const ProcessEntry* entry);
// The mode a partner is served in, whoever calls: its list's.
PartnerMode ModeOfPartner(const IOEntry* partner);

struct PartnerList {
  IOEntry** head;
  BSV1_Lock* lock;
};
PartnerList PartnersOf(DPAB* anchor, PartnerMode mode);

bool HasTCPconnection(const IOEntry* partner);

// Under the partner's lock: its socket (the UDP socket, or the connection, which is
// then also its connection socket), the peer's address, active, and its
// acknowledgements counted from 0 again.
void BindPartner(IOEntry* partner, int socket, int connection, const sockaddr_in& peer);
// The caller holds the partner's lock: socket 0, active 0, new-binding flag 1 and
// no bound port (the connection socket is the caller's to close).
void UnbindPartner(IOEntry* partner);

// Under the source's lock: its node name from the peer (its host name up to the first
// '.', else its dotted address with '-' for '.') and its owner, the serving thread.
void TakeSourceForPeer(SourceEntry* source, ProcessEntry* owner, const sockaddr_in& peer);

// The peer's host name for messages, or its dotted address when it has none.
std::string PeerHostName(const sockaddr_in& peer);
// The source's node name for traces ("" when it has none).
const char* NodeNameOf(const SourceEntry* source);

// Whether the bytes begin with the text (of its whole length).
bool BeginsWith(const char* bytes, int length, const char* text);

}  // namespace zevp
