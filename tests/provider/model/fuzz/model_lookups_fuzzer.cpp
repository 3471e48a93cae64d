// libFuzzer harness of the model look-ups, whose names come from actions: the
// first byte of an input picks the look-up (an application or a group by name
// and a length from the second byte, an attribute by OID, an SNMP SET's
// parameters, a source or a policy's sources by an action source node name); the
// rest is the text. Nothing may crash or read beyond the text.
#include <cstdint>
#include <string>
#include <vector>

#include "application_entry.h"
#include "dp_anchor.h"
#include "fuzz_model.h"
#include "metafile_text.h"
#include "model_lookups.h"
#include "source_entry.h"
#include "source_node_lookups.h"
#include "table_entry.h"
#include "zev0/storage.h"

namespace {

// An SNMP application: its groups' first sources are online, on nodes of several forms.
const char* const kMetafile[] = {
    "//SNMP TEXT",
    "//APPL Mib Ent 1.3.6.1.4.1.99",
    "//NAME System P 60", "//SOURCE SNMP one", "//SOURCE SNMP two", "//ATTRIBUTES",
    "Agent_Info D 64 1.3.6.1.4.1.99.1.1.0", "Agent_Name D 64 1.3.6.1.4.1.99.1.2", "sysName D 32 1.3.6.1.4.1.99.1.5",
    "//NAME Ifs P 60", "//ATTRIBUTES",
    "Agent_Info D 64 1.3.6.1.4.1.99.1.1.0", "Agent_Name D 64 1.3.6.1.4.1.99.1.2", "ifDescr D 32 1.3.6.1.4.1.99.2.2",
    nullptr,
};

DPAB* anchor = nullptr;
ApplicationEntry* application = nullptr;

void standOn(SourceEntry* source, const char* node, int32_t state) {
  ZEV0_FreeStorage(&source->pSourceNodeName);
  source->pSourceNodeName = zevp::NewStorageText(node);
  source->State = state;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  anchor = LoadFuzzModel(kMetafile, &application);
  const char* nodes[] = {"host.example.com", "h", "router.net", ""};
  int n = 0;
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next)
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next, ++n)
      standOn(source, nodes[n % 4], n % 3 == 2 ? ZEVP_Ready : ZEVP_Active);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  auto length = static_cast<int32_t>(data[1]) - 8;  // also lengths beyond the text, and negative ones
  switch (data[0] % 6) {
    case 0:
      ZEVP_LocateApplicationByName(anchor, text.c_str(), length);
      break;
    case 1:
      ZEVP_LocateTableByName(application, text.c_str(), length);
      break;
    case 2:
      ZEVP_LocateAttributeByOID(anchor, text.c_str());
      break;
    case 3:
      ZEVP_LocateSetAttribute(anchor, text.c_str());
      break;
    case 4:
      ZEVP_LocateSourceBySubNode(anchor, text.c_str());
      break;
    default:
      ZEVP_LocatePolicySourceBySubNode(anchor, text.c_str());
      break;
  }
  return 0;
}
