#include "partner_binding.h"

#include <cstring>

#include "dp_anchor.h"
#include "io_entry.h"
#include "metafile_socket_io.h"
#include "process_entry.h"
#include "source_entry.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

namespace zevp {

namespace {

// The block of a node name made from a dotted address.
constexpr int32_t kAddressNodeNameSize = 32;

char* nodeNameOf(const sockaddr_in& peer) {
  char* name = nullptr;
  if (ZEV0_ConvertAddrToName(&peer, &name, 1)) return name;
  std::string dotted = DottedAddress(peer);
  name = static_cast<char*>(ZEV0_GetStorage(kAddressNodeNameSize));
  if (name == nullptr) return nullptr;
  std::memset(name, 0, kAddressNodeNameSize);
  for (size_t i = 0; i < dotted.size() && i + 1 < kAddressNodeNameSize; ++i) name[i] = dotted[i] == '.' ? '-' : dotted[i];
  return name;
}

}  // namespace

PartnerMode ServerModeOf(const ProcessEntry* entry) {
  return entry->processType == 0 ? PartnerMode::API : PartnerMode::Socket;
}

PartnerMode ModeOfPartner(const IOEntry* partner) {
  return partner->Kind == ZEVP_SOURCE_BASE ? PartnerMode::API : PartnerMode::Socket;
}

PartnerList PartnersOf(DPAB* anchor, PartnerMode mode) {
  if (mode == PartnerMode::API) return {&anchor->apiIOEntries, &anchor->apiIOListLock};
  return {&anchor->sockIOEntries, &anchor->sockIOListLock};
}

bool HasTCPconnection(const IOEntry* partner) { return partner->ConnectionSocket != 0; }

void BindPartner(IOEntry* partner, int socket, int connection, const sockaddr_in& peer) {
  BSV1_GetLock(&partner->Lock);
  partner->Socket = socket;
  partner->ConnectionSocket = connection;
  partner->PartnerAddress = sockaddr_in{};
  partner->PartnerAddress.sin_family = AF_INET;
  partner->PartnerAddress.sin_port = peer.sin_port;
  partner->PartnerAddress.sin_addr = peer.sin_addr;
  partner->Active = 1;
  partner->AckSequence = 0;
  BSV1_ReleaseLock(&partner->Lock);
}

void UnbindPartner(IOEntry* partner) {
  partner->Socket = 0;
  partner->Active = 0;
  partner->NewBinding = 1;
  partner->PartnerAddress.sin_port = 0;
}

void TakeSourceForPeer(SourceEntry* source, ProcessEntry* owner, const sockaddr_in& peer) {
  char* name = nodeNameOf(peer);
  BSV1_GetLock(&source->DataLock);
  ZEV0_FreeStorage(&source->pSourceNodeName);
  source->pSourceNodeName = name;
  source->SourceNodeNameLength = name != nullptr ? static_cast<int32_t>(std::strlen(name)) : 0;
  BSV1_ReleaseLock(&source->DataLock);
  BSV1_GetLock(&source->EntryLock);
  source->OwningTask = owner;
  BSV1_ReleaseLock(&source->EntryLock);
}

std::string PeerHostName(const sockaddr_in& peer) {
  std::string dotted = DottedAddress(peer);
  char* name = ZEV0_ResolveAddressToName(dotted.c_str());
  if (name == nullptr) return dotted;
  std::string host = name;
  ZEV0_FreeStorage(&name);
  return host;
}

const char* NodeNameOf(const SourceEntry* source) {
  return source != nullptr && source->pSourceNodeName != nullptr ? source->pSourceNodeName : "";
}

bool BeginsWith(const char* bytes, int length, const char* text) {
  size_t size = std::strlen(text);
  return bytes != nullptr && length >= 0 && static_cast<size_t>(length) >= size && std::memcmp(bytes, text, size) == 0;
}

}  // namespace zevp
