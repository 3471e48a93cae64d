#include "dc_waiting_list_entry.h"

#include <cstring>

#include "trc1.h"

TRC_UNIT();

namespace {

bool fits(const char* name, int maxLength) {
  return name != nullptr && std::strlen(name) <= static_cast<size_t>(maxLength);
}

template <size_t N>
void copyName(char (&target)[N], const char* name) {
  std::strncpy(target, name, N - 1);
  target[N - 1] = '\0';
}

}  // namespace

bool DCwaitingListEntry::namesFit(const char* applName, const char* attrGroup, const char* sourceName) {
  return fits(applName, kMaxApplName) && fits(attrGroup, kMaxAttrGroup) && fits(sourceName, kMaxSourceName);
}

DCwaitingListEntry::DCwaitingListEntry(const char* applName, const char* attrGroup, short waiterType,
                                       const WaiterReplyAddress& replyAddress, const char* sourceName, short actionType)
    : waiterType_(waiterType), replyAddress_(replyAddress), actionType_(actionType) {
  copyName(applName_, applName);
  copyName(attrGroup_, attrGroup);
  copyName(sourceName_, sourceName);
}

void DCwaitingListEntry::printSelf(int number) const {
  TRC1_Printf(&trcUnit_, __LINE__,
              "  [%d] @%p waiterType<0x%04x> applName<%s> attrGroup<%s> sourceName<%s> actionType<%d> "
              "clientAddrLen<%d> connectedSockFD<%u> generation<%u> markForDelete<%d>",
              number, static_cast<const void*>(this), static_cast<unsigned>(static_cast<unsigned short>(waiterType_)),
              applName_, attrGroup_, sourceName_, actionType_, replyAddress_.clientAddrLen,
              replyAddress_.connectedSockFD, replyAddress_.connectionGeneration, markForDelete_);
}
