// One posted message becomes one row: its fields fill the group's attributes from
// the fourth on, the data provider fills the time, the origin and the stamp by
// name (an attribute the group lacks is left out), and the row goes to the agent.
#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "attribute_load.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "post_categories.h"
#include "post_message.h"
#include "post_server.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "source_entry.h"
#include "statistics.h"
#include "trc1.h"
#include "zev0/hostnames.h"
#include "zev0/text.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

// The latest stamp, as the post sender reads it back.
char AckStamp[30];

// The attributes before the first field: time, origin and stamp.
constexpr int kFilledByTheDataProvider = 3;
constexpr size_t kOriginMax = 32;

AttributeEntry* Named(const SourceEntry* source, const char* name) {
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    if (std::strcmp(attribute->AttrName, name) == 0) return attribute;
  return nullptr;
}

// What a text value may hold: a display text its declared size, others their area.
size_t Capacity(const AttributeEntry* attribute) {
  size_t area = attribute->MaxValSize;
  if (attribute->AttrType == ZEVP_ATTR_DISPLAY && attribute->MaxSize > 0)
    return std::min(area, static_cast<size_t>(attribute->MaxSize));
  return area;
}

void Clear(AttributeEntry* attribute) {
  std::memset(attribute->Value(), 0, attribute->MaxValSize);
  attribute->ActualValSize = 0;
}

void SetText(AttributeEntry* attribute, const char* text, size_t length) {
  if (attribute == nullptr) return;
  Clear(attribute);
  length = std::min(length, Capacity(attribute));
  std::memcpy(attribute->Value(), text, length);
  attribute->ActualValSize = static_cast<uint16_t>(length);
}

// The slot of the category the value names; slot 0 for none or an unknown one.
int CategorySlot(const AttributeEntry* category) {
  if (category->ActualValSize == 0) return 0;
  char key = static_cast<char>(std::toupper(static_cast<unsigned char>(category->Value()[0])));
  int slot = zevp::ProcessPostCategories().slotOf(key);
  return slot >= 0 ? slot : 0;
}

// The fields into the attributes from the fourth on; the category's slot.
int LoadFields(SourceEntry* source, std::string_view text) {
  std::vector<std::string_view> fields = zevp::PostFields(text, source->AttrDelimiter);
  AttributeEntry* attribute = source->FirstAttribute;
  for (int skipped = 0; skipped < kFilledByTheDataProvider && attribute != nullptr; ++skipped)
    attribute = attribute->next;
  int slot = 0;
  size_t next = 0;
  for (; attribute != nullptr; attribute = attribute->next) {
    Clear(attribute);
    if (next < fields.size()) {
      std::string field(fields[next++]);
      LoadAttrBucket(attribute, field.data(), static_cast<int32_t>(field.size()));
    }
    if (std::strcmp(attribute->AttrName, "Post_Category") == 0) {
      slot = CategorySlot(attribute);
      const std::string& word = zevp::ProcessPostCategories().word(slot);
      SetText(attribute, word.data(), word.size());
    }
  }
  return slot;
}

sockaddr_in PartnerOf(const SourceEntry* source) {
  sockaddr_in partner{};
  BSV1_GetLock(&source->IO->Lock);
  partner = source->IO->PartnerAddress;
  BSV1_ReleaseLock(&source->IO->Lock);
  return partner;
}

// The sender's short host name, else its dotted address; a burst of posts from one
// sender asks the name service once.
std::string OriginOf(const sockaddr_in& partner) {
  std::string name;
  if (zev0::RecentNameOfAddress(partner, true, &name)) return name.substr(0, std::min(name.find('.'), kOriginMax));
  char dotted[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &partner.sin_addr, dotted, sizeof dotted);
  return dotted;
}

void FillRow(SourceEntry* source, std::string_view text) {
  int slot = LoadFields(source, text);
  char timeStamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE] = {};
  ZEV0_GetPlovenTime(timeStamp);
  SetText(Named(source, "Post_Time"), timeStamp, ZEV0_PLOVEN_TIME_LENGTH);
  sockaddr_in partner = PartnerOf(source);
  std::string origin = OriginOf(partner);
  SetText(Named(source, "Post_Origin"), origin.data(), origin.size());
  const AttributeEntry* posted = Named(source, "Post_Text");
  uint16_t checkSum = posted != nullptr ? ZEV0_ComputeCheckSum(posted->Value(), posted->ActualValSize)
                                        : ZEV0_ComputeCheckSum(nullptr, 0);
  std::string stamp =
      zevp::PostAckStamp(partner.sin_addr, timeStamp, zevp::ProcessPostCategories().key(slot), checkSum);
  std::memcpy(AckStamp, stamp.c_str(), stamp.size() + 1);
  SetText(Named(source, "Post_Ack_Stamp"), AckStamp, ZEVP_POST_ACK_STAMP_LENGTH);
}

bool ToldToEnd(DPAB* anchor, const ProcessEntry* owner) {
  return (owner != nullptr && owner->terminationFlag == 1) || zevp::ShutdownRequested(anchor);
}

void Order(DPAB* anchor, SourceEntry* source, int32_t state) {
  zevp::EngineRoutines& routines = zevp::Routines();
  routines.updateSourceEntryState(source, state);
  routines.queueAndWaitDCHstatus(anchor, source->OwningTask, source);
}

}  // namespace

const char* ZEVP_LoadPostAttributeData(DPAB* anchor, SourceEntry* source, const char* data, int length) {
  std::string_view text = zevp::PostText(data, static_cast<size_t>(std::max(length, 0)));
  BSV1_GetLock(&source->DataLock);
  BSV1_GetLock(&source->AttributeLock);
  FillRow(source, text);
  BSV1_ReleaseLock(&source->AttributeLock);
  BSV1_ReleaseLock(&source->DataLock);
  ZEVP_UpdateStatLogPost(1);

  Order(anchor, source, ZEVP_Output);
  if (ZEVP_SourceStateOf(source) == ZEVP_Active) return AckStamp;
  TRC(TRC_ERROR, "*** dp_data failed for DP POST");
  while (ZEVP_SourceStateOf(source) != ZEVP_Active && !ToldToEnd(anchor, source->OwningTask))
    Order(anchor, source, ZEVP_Ready);
  return AckStamp;
}
