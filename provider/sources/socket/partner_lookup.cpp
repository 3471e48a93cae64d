#include "partner_lookup.h"

#include "application_entry.h"
#include "io_entry.h"
#include "metafile_socket_io.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

bool sameHost(const IOEntry* partner, const sockaddr_in* address) {
  return partner->PartnerAddress.sin_addr.s_addr == address->sin_addr.s_addr;
}

bool unboundAnyPort(const IOEntry* partner) { return partner->Port == 0 && partner->Socket == 0; }

IOEntry* lookUpInList(const sockaddr_in* address, BSV1_Lock* listLock, IOEntry** listHead) {
  BSV1_GetLock(listLock);
  IOEntry* match = nullptr;
  int count = 0;
  for (IOEntry* partner = *listHead; partner != nullptr; partner = partner->NextOfKind) {
    TRC(TRC_UNIT_DETAIL, "IO spec %s %d %d %d", zevp::DottedAddress(partner->PartnerAddress).c_str(),
        ntohs(partner->Port), ntohs(partner->PartnerAddress.sin_port), partner->Active);
    if (!sameHost(partner, address)) continue;
    if (partner->Port != address->sin_port && partner->PartnerAddress.sin_port != address->sin_port) continue;
    if (count++ == 0) match = partner;
  }
  TRC(TRC_DETAIL, ">>>>> Match count %d", count);
  if (count > 1) {
    TRC(TRC_ERROR, "***** More than one IO Entry found for exact address %s[%d]", zevp::DottedAddress(*address).c_str(),
        ntohs(address->sin_port));
    match = nullptr;
  } else if (count == 0) {
    for (IOEntry* partner = *listHead; partner != nullptr && match == nullptr; partner = partner->NextOfKind)
      if (sameHost(partner, address) && unboundAnyPort(partner)) match = partner;
  }
  BSV1_ReleaseLock(listLock);
  return match;
}

IOEntry* lookUpInApplication(const sockaddr_in* address, ApplicationEntry* application) {
  IOEntry* match = nullptr;
  BSV1_GetLock(&application->TableListLock);
  for (TableEntry* group = application->FirstTable; group != nullptr && match == nullptr; group = group->next) {
    BSV1_GetLock(&group->SourceListLock);
    for (SourceEntry* source = group->FirstSource; source != nullptr && match == nullptr; source = source->next) {
      IOEntry* partner = source->IO;
      if (partner == nullptr || !sameHost(partner, address)) continue;
      if (unboundAnyPort(partner) || (partner->Port != 0 && partner->Port == address->sin_port)) match = partner;
    }
    BSV1_ReleaseLock(&group->SourceListLock);
  }
  BSV1_ReleaseLock(&application->TableListLock);
  return match;
}

}  // namespace

IOEntry* ZEVP_LookUpPartnerByAddr(const sockaddr_in* address, BSV1_Lock* listLock, IOEntry** listHead,
                                  ApplicationEntry* application) {
  TRC(TRC_DETAIL, "Match input address ->%s port ->%d", zevp::DottedAddress(*address).c_str(), ntohs(address->sin_port));
  return application != nullptr ? lookUpInApplication(address, application) : lookUpInList(address, listLock, listHead);
}
