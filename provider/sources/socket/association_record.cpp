#include "association_record.h"

#include <cstring>

#include "application_entry.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "metafile_parser.h"
#include "metafile_socket_io.h"
#include "model_release.h"
#include "partner_code_conversion.h"
#include "partner_lookup.h"
#include "partner_sources.h"
#include "socket_log_numbers.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/codepage.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr char kLocalMark[] = "//";
constexpr unsigned char kASCIImark = 0x2F;
constexpr unsigned char kEBCDICmark = 0x61;
constexpr char kMetafileExtension[] = ".mdl";

bool markedWith(const std::string& bytes, unsigned char slash) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == slash &&
         static_cast<unsigned char>(bytes[1]) == slash;
}

// A name that stays in the metafile directory and fits a full file name there.
bool acceptableMetafileName(DPAB* anchor, const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos || name.find('\0') != std::string::npos) return false;
  char* fullName = ZEV0_ConstructFullyQualifiedName(anchor->metafileDirectory, (name + kMetafileExtension).c_str());
  bool fits = fullName != nullptr;
  ZEV0_FreeStorage(&fullName);
  return fits;
}

void refuseMetafile(DPAB* anchor, const AssociationRecord& association, const std::string& host,
                    const char* transport) {
  Routines().sendDPlogMessage(anchor, ZEVP_DPLOG_METAFILE_REFUSED, transport, host.c_str(),
                              association.record.c_str(), nullptr, nullptr);
  TRC(TRC_ERROR, "*** Invalid data definition file name %s", association.metafile.c_str());
}

// The metafile's application, loaded now when it is not yet; null when it cannot be.
ApplicationEntry* applicationOf(DPAB* anchor, const std::string& metafile, bool* loadedNow) {
  int opened = 0;
  int alreadyLoaded = 0;
  ApplicationEntry* application =
      ZEVP_ConstructApplDataModel(anchor, metafile.c_str(), 0, &opened, &alreadyLoaded, 0, 1);
  *loadedNow = application != nullptr && alreadyLoaded == 0;
  return application;
}

}  // namespace

AssociationRecord ReadAssociationRecord(std::string& bytes) {
  AssociationRecord association;
  bool ascii = markedWith(bytes, kASCIImark);
  bool ebcdic = markedWith(bytes, kEBCDICmark);
  if (!ascii && !ebcdic) return association;
  association.convert = Local_A == ASCII_A ? ebcdic : ascii;
  if (association.convert) ZEVP_ConvertBufferToLocal(bytes.data(), static_cast<int>(bytes.size()), ascii ? 1 : 0);
  if (bytes.compare(0, std::strlen(SockTransEndMsg), SockTransEndMsg) == 0) return association;
  size_t lineFeed = bytes.find('\n');
  size_t recordEnd = lineFeed == std::string::npos ? bytes.size() : lineFeed;
  association.end = lineFeed == std::string::npos ? bytes.size() : lineFeed + 1;
  if (recordEnd > 0 && bytes[recordEnd - 1] == '\r') --recordEnd;
  if (association.end < bytes.size() && bytes[association.end] == '\r') ++association.end;
  association.record = bytes.substr(0, recordEnd);
  if (association.record.size() <= std::strlen(kLocalMark)) return association;
  association.present = true;
  association.metafile = association.record.substr(2, association.record.find(' ', 2) - 2);
  return association;
}

IOEntry* PartnerOfAssociation(DPAB* anchor, const AssociationRecord& association, const sockaddr_in& peer,
                              const char* transport) {
  std::string host = PeerHostName(peer);
  TRC(TRC_DETAIL, "Received explicit application association record for metafile <%s>", association.metafile.c_str());
  if (association.convert) TRC(TRC_DETAIL, "Application data translation required");
  if (!acceptableMetafileName(anchor, association.metafile)) {
    refuseMetafile(anchor, association, host, transport);
    return nullptr;
  }
  bool loadedNow = false;
  ApplicationEntry* application = applicationOf(anchor, association.metafile, &loadedNow);
  if (application == nullptr) {
    refuseMetafile(anchor, association, host, transport);
    return nullptr;
  }
  PartnerList sockets = PartnersOf(anchor, PartnerMode::Socket);
  IOEntry* partner = ZEVP_LookUpPartnerByAddr(&peer, sockets.lock, sockets.head, application);
  if (partner != nullptr && partner->Kind != ZEVP_SOURCE_SOCK) partner = nullptr;
  if (partner == nullptr && application->NumberOfGroups == 1) {
    SourceEntry* source = AddSourceToGroup(anchor, application->FirstTable, "SOCK", DottedAddress(peer).c_str());
    if (source != nullptr) {
      Routines().updateSourceEntryState(source, ZEVP_Ready);
      partner = source->IO;
    }
  }
  if (partner == nullptr) {
    bool udp = std::strcmp(transport, "UDP") == 0;
    Routines().sendDPlogMessage(anchor, udp ? ZEVP_DPLOG_UDP_NO_SOURCE : ZEVP_DPLOG_TCP_NO_SOURCE, host.c_str(),
                                application->ApplName, host.c_str(), nullptr, nullptr);
    TRC(TRC_ERROR, "*** dynamic inbound data definition error for %s", host.c_str());
    if (loadedNow) ZEVP_ReleaseApplResources(anchor, application, 0);
    return nullptr;
  }
  partner->Source->CodeConversion = association.convert ? 1 : 0;
  return partner;
}

void RefuseWithoutAssociation(DPAB* anchor, const sockaddr_in& peer, const char* transport) {
  std::string host = PeerHostName(peer);
  Routines().sendDPlogMessage(anchor, ZEVP_DPLOG_NO_ASSOCIATION, transport, host.c_str(), nullptr, nullptr, nullptr);
  TRC(TRC_ERROR, "*** New %s connection from %s rejected. No Explicit Application Association record found",
      transport, host.c_str());
}

}  // namespace zevp
