// libFuzzer harness of the split of input records: the first byte of an input
// picks one of the groups below (each delimiter rule, every type, rates per key,
// derived functions, filters, an internal output group); the rest is the record,
// handed over as exactly its bytes, without a terminating NUL. The split and the
// filter check must neither crash nor read or write beyond the record and the
// values.
#include <cstdint>
#include <vector>

#include "application_entry.h"
#include "attribute_copies.h"
#include "attribute_entry.h"
#include "filter_check.h"
#include "fuzz_model.h"
#include "record_split.h"
#include "source_entry.h"
#include "table_entry.h"
#include "zev0/storage.h"

namespace {

const char* const kMetafile[] = {
    "//APPL Fuzz",
    "//NAME Blank P 60",  "//ATTRIBUTES",         "A D 4",       "N N 8",        "T T",
    "_Cnt C 100",         "S S",                  "G G 100 +FILTER={NUMBER>=(0,1) AND NUMBER<=(0,50)}",
    "//NAME Own P 60",    "//ATTRIBUTES ';'",     "A D 4 DLM=','", "B D 8 DLM='<>'", "C DL 4", "Z Z 40",
    "//NAME Marked P 60", "//ATTRIBUTES '[]'",    "A D 4",       "G G 100",      "K K 2",        "B D 6 DLM='()'",
    "//NAME Fixed P 60",  "//ATTRIBUTES NONE",    "A D 3",       "G G",          "I I 4",        "T T",
    "B D 2",              "R # 1000",
    "//NAME Keys K 60",   "//ATTRIBUTES ';'",     "Host D 8 KEY", "R # 1000 +FILTER={NUMBER>(0,0)}", "P % 1000",
    "Q ? 1000",
    "//NAME Derived P 60", "//ATTRIBUTES ';'",    "Secs G",      "Raw D 32",     "Addr D 64",    "When D 40",
    "Gmt (UTCTOGMT = Secs)", "Loc (UTCTOLOCALTIME = Secs)", "Text (NETWARETIMETOTEXT = Raw)",
    "Host (IPADDRESSTONAME = Addr)", "Stamp (PLOVENTIMESTAMP = When)", "Both (Raw + Addr)",
    "//NAME Record P 60", "//ATTRIBUTES ';'",     "R1 R 20",
    "//NAME Out P 60",    "//INTERNAL OUTPUT Fz", "//ATTRIBUTES ';'", "A D 8 +FILTER={SCAN(0,x) OR MATCH(1,y)}",
    "B G 10",             "_Date_Time D 16",      "C D 4",
    "//NAME In P 60",     "//INTERNAL INPUT Fz",  "//ATTRIBUTES ';'", "X D 8",
    nullptr,
};

std::vector<SourceEntry*> sources;

// Every key seen keeps a list as long as its source lives: a run of random keys is
// kept within bounds here, a few lists at a time.
void dropKeyListsBeyond(SourceEntry* source, int most) {
  int count = 0;
  for (AttributeEntry* list = source->SavedRows; list != nullptr; list = list->NextCopiedList) ++count;
  if (count <= most) return;
  while (AttributeEntry* list = source->SavedRows) {
    source->SavedRows = list->NextCopiedList;
    while (list != nullptr) {
      AttributeEntry* next = list->next;
      ZEVP_FreeAttributeOwnedStorage(list);
      ZEV0_FreeStorage(&list);
      list = next;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ApplicationEntry* application = nullptr;
  LoadFuzzModel(kMetafile, &application);
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next)
    if (table->FirstSource != nullptr) sources.push_back(table->FirstSource);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || sources.empty()) return 0;
  SourceEntry* source = sources[data[0] % sources.size()];
  std::vector<char> record(data + 1, data + size);
  int32_t consumed = 0;
  ZEVP_MoveDataToAttr(source, record.data(), static_cast<int32_t>(record.size()), &consumed);
  ZEVP_CheckAttributesPassFilters(source);
  dropKeyListsBeyond(source, 64);
  return 0;
}
