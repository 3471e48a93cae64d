#include "router_row.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "debug_switches.h"
#include "dp_anchor.h"
#include "manager_switches.h"
#include "network_configuration_block.h"
#include "network_masks.h"
#include "record_paths.h"
#include "router_list.h"
#include "snmp_manager_model.h"
#include "source_entry.h"
#include "zev/prodspec_items.h"
#include "zev0/prodspec.h"
#include "zevs/network_records.h"

TRC_UNIT();

std::atomic<int32_t> ShowPassiveRouters{1};

namespace {

// One ROUTER row at a time, from every thread; taken before a router's lock.
std::mutex routerDCHioLock;
std::once_flag passiveSettingRead;

// Appends text while it fits the buffer, keeping its terminator; the length so far.
class RowText {
 public:
  explicit RowText(char* buffer) : buffer_(buffer) {}
  void append(const char* text) {
    const size_t room = static_cast<size_t>(ZEVS_ROUTER_ROW_SIZE - 1 - length_);
    const size_t length = std::min(std::strlen(text), room);
    std::memcpy(buffer_ + length_, text, length);
    length_ += static_cast<int32_t>(length);
    buffer_[length_] = '\0';
  }
  void append(const std::string& text) { append(text.c_str()); }
  // A value of the row, its ';' written as ',' so that it stays one field.
  void appendValue(const char* value) {
    const int32_t start = length_;
    append(value);
    for (int32_t at = start; at < length_; ++at)
      if (buffer_[at] == ';') buffer_[at] = ',';
    append(";");
  }
  int32_t length() const { return length_; }

 private:
  char* buffer_;
  int32_t length_ = 0;
};

const char* StatusWord(int32_t status) {
  switch (status) {
    case ZEVS_ROUTER_ONLINE:
      return "On-line;";
    case ZEVS_ROUTER_OFFLINE:
      return "Off-line;";
    case ZEVS_ROUTER_VERIFY:
      return "Verify;";
    default:
      return "Unknown;";
  }
}

}  // namespace

int32_t ZEVS_FormatRouterInfoBuffer(RouterEntry* router, char* buffer) {
  int32_t filled = 0;
  while (filled < router->capacity && router->networks[filled] != nullptr) ++filled;
  if (filled > 0) router->networkCount = filled;
  if (router->networkCount > 1 && router->status == ZEVS_ROUTER_VERIFY) router->status = ZEVS_ROUTER_ONLINE;
  const bool passive = router->networkCount < 2 && router->status == ZEVS_ROUTER_ONLINE;
  if (passive && ShowPassiveRouters.load() == 0) return 0;

  RowText row(buffer);
  row.appendValue(router->name != nullptr ? router->name : router->addressText);
  row.appendValue(router->addressText);
  if (router->description != nullptr)
    row.appendValue(router->description);
  else
    row.append(" ;");
  if (passive) {
    row.append("Passive;0;");
  } else {
    row.append(StatusWord(router->status));
    row.append(std::to_string(router->networkCount) + ";");
  }
  for (int32_t slot = 0; slot < router->networkCount && slot < router->capacity; ++slot) {
    const NetworkEntry* network = router->networks[slot];
    if (network == nullptr || row.length() > ZEVS_ROUTER_ROW_FULL) break;
    if (slot > 0) row.append(", ");
    row.append(zevs::DottedAddress(network->networkAddress));
  }
  row.append(" ;");
  return row.length();
}

void ZEVS_UpdateRouterInfoToDCH(NetworkConfigurationBlock* block, RouterEntry* router) {
  if (block == nullptr || !ZEV0_ProductSpecItemOn(ZEV2_ENABLE_DISCOVERY_DATA_UPDATE)) return;
  std::call_once(passiveSettingRead, [] {
    if (zevs::FirstLetter("ZEVP_SNMP_SHOW_PASSIVE_ROUTERS", "Y") == 'N') ShowPassiveRouters = 0;
  });
  DPAB* anchor = block->anchor;
  if (anchor == nullptr || ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_ROUTER) == nullptr) {
    ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "QLM not yet initialized");
    return;
  }
  const bool one = router != nullptr;
  if (!one) router = zevs::FirstRouter(block);
  std::vector<char> buffer(ZEVS_ROUTER_ROW_SIZE);
  int reported = 0;
  std::lock_guard<std::mutex> rows(routerDCHioLock);
  while (router != nullptr && (one || block->shutdown.load() == 0)) {
    std::fill(buffer.begin(), buffer.end(), '\0');
    BSV1_GetLock(&router->lock);
    const int32_t length = ZEVS_FormatRouterInfoBuffer(router, buffer.data());
    BSV1_ReleaseLock(&router->lock);
    if (length > 0) {
      SourceEntry* source = ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_ROUTER);
      if (source == nullptr) break;
      ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "Router Data->%s", buffer.data());
      source->DataSequence = ZEVP_DATA_SEQUENCE_ROW;
      ZEVP_MoveDataToDCH(anchor, source, buffer.data(), length);
      ++reported;
    }
    if (one) break;
    router = zevs::NextRouter(block, router);
  }
  ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "%d router(s) reported to DCH", reported);
}
