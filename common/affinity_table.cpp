#include "zev0/affinity_table.h"

#include <atomic>
#include <cstring>

namespace {

// The product's own affinities (a packaged solution names one of them), the other
// products discovery may meet, and the features agents report.
const AffinityEntry affinityTable[] = {
    {"AFF_DORVANE", "0000000000000040000000000000000000000000000", 0x112, 0},
    {"AFF_DORVANE_DATA", "0000000000000080000000000000000000000000000", 0x116, 0},
    {"AFF_HARBOR_HOST", "0000000000000100000000000000000000000000000", 0x120, 0},
    {"AFF_SLATE_DATABASE", "0000000000000200000000000000000000000000000", 0x121, 0},
    {"AFF_QUILL_MAIL", "0000000000000400000000000000000000000000000", 0x122, 0},
    {"AFF_FERRY_QUEUE", "0000000000000800000000000000000000000000000", 0x123, 0},
    {"AFF_KESTREL_NETWORK", "1200000000000000000000000000000000000000000", 0x140, 0},
    {"AFF_FEAT_REMOTE_COMMANDS", "0000000000000000000000000000000000000000001", 0x201, 0},
    {"AFF_FEAT_EVENT_FORWARDING", "0000000000000000000000000000000000000000002", 0x202, 0},
    {"AFF_FEAT_HISTORY", "0000000000000000000000000000000000000000004", 0x203, 0},
    {"AFF_FEAT_SITUATIONS", "0000000000000000000000000000000000000000008", 0x204, 0},
    {"AFF_FEAT_TAKE_ACTION", "0000000000000000000000000000000000000000010", 0x205, 0},
    {"AFF_FEAT_POLICIES", "00000000000000000000000000000000000000000G0", 0x206, 0},
    {"AFF_FEAT_TRACE_SETTINGS", "0000000000000000000000000000000000001000000", 0x207, 0},
    {"AFF_FEAT_SUBNODES", "0000000000000000000000000000000000W00000000", 0x208, 0},
    {"", "", 0, 0},
};

const AffinityText affinityTextTable[] = {
    {0x112, "Dorvane Agent"},
    {0x116, "Dorvane Data Agent"},
    {0x120, "Harbor Host Monitor"},
    {0x121, "Slate Database Monitor"},
    {0x122, "Quill Mail Monitor"},
    {0x123, "Ferry Queue Monitor"},
    {0x140, "Kestrel Network Agent"},
    {0x201, "_Remote Commands"},
    {0x202, "__Event Forwarding"},
    {0x203, "_History Collection"},
    {0x204, "_Situation Evaluation"},
    {0x205, "_Take Action"},
    {0x206, "_Policies"},
    // The trace settings feature has no display text.
    {0x208, "_Subnode Registration"},
    {0, nullptr},
};

std::atomic<const AffinityEntry*> installedMap{nullptr};
std::atomic<const AffinityText*> installedMapText{nullptr};

}  // namespace

namespace zev0 {

AffinityTables CurrentAffinityTables() {
  const AffinityEntry* map = installedMap.load();
  const AffinityText* mapText = installedMapText.load();
  return {map != nullptr ? map : affinityTable, mapText != nullptr ? mapText : affinityTextTable};
}

AffinityTables SetAffinityTables(AffinityTables tables) {
  return {installedMap.exchange(tables.map), installedMapText.exchange(tables.mapText)};
}

}  // namespace zev0

const AffinityEntry* ZEV0_FindAffinity(const char* name) {
  if (name == nullptr) return nullptr;
  for (const AffinityEntry* entry = zev0::CurrentAffinityTables().map; entry->firstNumber != 0; ++entry)
    if (std::strcmp(entry->name, name) == 0) return entry;
  return nullptr;
}
