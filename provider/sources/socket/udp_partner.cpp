#include "udp_partner.h"

#include <string>
#include <vector>

#include "action_hand_over.h"
#include "api_request.h"
#include "application_entry.h"
#include "association_record.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "metafile_parser.h"
#include "metafile_socket_io.h"
#include "metafile_text.h"
#include "model_lookups.h"
#include "partner_binding.h"
#include "partner_lookup.h"
#include "partner_replies.h"
#include "partner_sources.h"
#include "socket_log_numbers.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace zevp {

namespace {

// A partner found for a sender serves it at once, but a dynamic one only when it is
// this sender's over UDP (a connection's source is not a datagram sender's).
bool servesSender(const IOEntry* partner, int udpSocket) {
  return partner->Source != nullptr && (partner->Source->Dynamic == 0 ||
                                        (partner->Socket == udpSocket && !HasTCPconnection(partner)));
}

IOEntry* socketPartner(DPAB* anchor, const sockaddr_in& sender, std::string& text) {
  AssociationRecord association = ReadAssociationRecord(text);
  if (!association.present) {
    RefuseWithoutAssociation(anchor, sender, "UDP");
    return nullptr;
  }
  IOEntry* partner = PartnerOfAssociation(anchor, association, sender, "UDP");
  if (partner == nullptr) return nullptr;
  const TableEntry* group = partner->Source->Table;
  std::string host = PeerHostName(sender);
  Routines().sendDPlogMessage(anchor, ZEVP_DPLOG_UDP_ACCEPTED, host.c_str(), DottedAddress(sender).c_str(),
                              PortText(sender).c_str(), group->Application->ApplName, group->TableName);
  return partner;
}

// The first source of the group that an API partner may take: of type B, not
// dynamic, Initial or Ready and bound to no one.
SourceEntry* freeBaseSource(TableEntry* group) {
  BSV1_GetLock(&group->SourceListLock);
  SourceEntry* found = group->FirstSource;
  for (; found != nullptr; found = found->next) {
    int32_t state = found->State;
    if (found->SourceType == ZEVP_SOURCE_BASE && found->Dynamic == 0 &&
        (state == ZEVP_Initial || state == ZEVP_Ready) && found->IO != nullptr && found->IO->Socket == 0)
      break;
  }
  BSV1_ReleaseLock(&group->SourceListLock);
  return found;
}

// The first request of an API partner over UDP must be BGNINP: its group takes a
// source for the partner. The status of a refusal.
int beginInput(DPAB* anchor, const char* datagram, int length, IOEntry** partner) {
  if (!ZEVP_ValidateAPIversion(datagram, length)) {
    TRC(TRC_ERROR, "*** API request rejected, incorrect version");
    return ZEVP_API_WRONG_VERSION;
  }
  if (ZEVP_ExtractAPIcallType(datagram, length) != ZEVP_VERB_BGNINP) return ZEVP_API_SEQUENCE_ERROR;
  std::vector<std::string> names = Words(ZEVP_APIoperands(datagram, length));
  ApplicationEntry* application =
      names.empty() ? nullptr : ZEVP_LocateApplicationByName(anchor, names[0].c_str(), static_cast<int>(names[0].size()));
  if (application == nullptr) return ZEVP_API_NO_APPLICATION;
  TableEntry* group =
      names.size() < 2 ? nullptr : ZEVP_LocateTableByName(application, names[1].c_str(), static_cast<int>(names[1].size()));
  if (group == nullptr) return ZEVP_API_NO_GROUP;
  SourceEntry* source = freeBaseSource(group);
  if (source == nullptr) {
    source = AddSourceToGroup(anchor, group, "BASE", nullptr);
    if (source == nullptr) return ZEVP_API_NO_SOURCE;
    source->Dynamic = 1;
    // Released with its partner: no copy of it may outlive it on the delayed-offline queue.
    source->ImmediateOffline = 1;
  } else {
    CopyGroupDefinition(group, source);
  }
  Routines().updateSourceEntryState(source, ZEVP_Ready);
  *partner = source->IO;
  return ZEVP_API_DONE;
}

}  // namespace

}  // namespace zevp

IOEntry* ZEVP_CheckExistUDPpartner(DPAB* anchor, ProcessEntry* server, const sockaddr_in* sender, int udpSocket,
                                   const char* datagram, int length) {
  using namespace zevp;
  PartnerMode mode = ServerModeOf(server);
  PartnerList partners = PartnersOf(anchor, mode);
  std::string text(datagram, static_cast<size_t>(length));
  ApplicationEntry* application = nullptr;
  if (mode == PartnerMode::Socket) {
    std::string copy = text;
    AssociationRecord association = ReadAssociationRecord(copy);
    if (association.present && !association.convert) {
      application = ZEVP_CheckApplicationExistence(anchor, association.metafile.c_str());
      if (application != nullptr) TRC(TRC_DETAIL, "Found matching application <%s>", application->ApplName);
    }
  }
  IOEntry* partner = ZEVP_LookUpPartnerByAddr(sender, partners.lock, partners.head, application);
  if (partner != nullptr && ModeOfPartner(partner) == mode && servesSender(partner, udpSocket)) return partner;
  TRC(TRC_DETAIL, ">>>>> New UDP partner %s[%d] connection accepted.", DottedAddress(*sender).c_str(),
      ntohs(sender->sin_port));
  if (mode == PartnerMode::Socket) return socketPartner(anchor, *sender, text);
  partner = nullptr;
  int status = beginInput(anchor, datagram, length, &partner);
  if (status == ZEVP_API_DONE) return partner;
  TRC(TRC_ERROR, "dp_BeginInput processing failed. Status %d", status);
  ZEVP_SendAPIreply(anchor, udpSocket, sender, status, nullptr, 0);
  return nullptr;
}
