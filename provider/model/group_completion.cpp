// Completing an attribute group, at the next //NAME and at the end of the file.
#include "attribute_copies.h"
#include "attribute_entry.h"
#include "metafile_statements.h"
#include "snmp_tabular_key.h"
#include "source_entry.h"
#include "summary_definition.h"
#include "table_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr const char* kSourceNameHelp =
    "Dorvane Agent inserted attribute per metafile keyword AddSourceName specification. It contains the data "
    "source origin node host name.";
constexpr const char* kTimeStampHelp =
    "Dorvane Agent inserted attribute per metafile keyword AddTimeStamp specification. It is the 16-byte Ploven "
    "timestamp when the data arrived.";

bool hasKey(const SourceEntry* source) {
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    if (attribute->AttrKey) return true;
  return false;
}

}  // namespace

void InsertAttribute(MetafileParseState& state, const char* name, const char* type, const char* size,
                     const char* help) {
  AttributeEntry* attribute =
      ZEVP_InitializeAttrEntry(state.attributeSource, name, type, size, 0, 0, help, nullptr);
  if (attribute == nullptr) return;
  TableEntry* table = state.table;
  BSV1_GetLock(&table->CounterLock);
  ++table->AttributesDefined;
  ++table->AttributesNotDerived;
  ++table->AttributesPerRow;
  BSV1_ReleaseLock(&table->CounterLock);
  ++state.attributeCount;
}

void CompleteGroup(MetafileParseState& state) {
  TableEntry* table = state.table;
  if (table == nullptr || state.attributeSource == nullptr) return;
  if (state.addSourceName) InsertAttribute(state, "_DataSourceName", "D", "32", kSourceNameHelp);
  if (state.addTimeStamp) InsertAttribute(state, "_LocalTimeStamp", "T", "16", kTimeStampHelp);
  if (state.attributeSectionOpen && (state.snmpSeen || state.packaged))
    state.attributeCount += ZEVP_CheckSNMPtabularKey(table);
  if (ZEVP_CheckCopySourceAttributes(table, state.attributeSource) < 0) {
    TRC(TRC_ERROR, "*****Error: attributes of group %s not copied to all its sources", table->TableName);
    state.copyFailed = true;
    state.stopReading = true;
  }
  if (table->Summary != nullptr) ZEVP_CompleteSummaryTableDefinition(table, 1);
  if (table->DataType[0] == 'K') {
    BSV1_GetLock(&table->SourceListLock);
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next)
      if (source->FirstAttribute != nullptr && !hasKey(source)) source->FirstAttribute->AttrKey = 1;
    BSV1_ReleaseLock(&table->SourceListLock);
  }
}

}  // namespace zevp
