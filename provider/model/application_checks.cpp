#include "application_checks.h"

#include <cstring>

#include "application_entry.h"
#include "application_registration.h"
#include "attribute_entry.h"
#include "attribute_limit.h"
#include "attribute_order.h"
#include "dp_log_numbers.h"
#include "duplicate_attributes.h"
#include "engine_routines.h"
#include "model_release.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "validation_messages.h"

TRC_UNIT();

namespace {

// Packaged mode has no attribute limit.
bool exceedsAttributeLimit(const MetafileParseState& state, ApplicationEntry* application) {
  if (state.tooManyAttributes) return true;
  if (state.packaged) return false;
  int32_t limit = ZEVP_MaxAttributesPerGroup();
  bool exceeded = false;
  BSV1_GetLock(&application->TableListLock);
  for (TableEntry* table = application->FirstTable; table != nullptr && !exceeded; table = table->next) {
    BSV1_GetLock(&table->CounterLock);
    exceeded = table->AttributesPerRow > limit;
    BSV1_ReleaseLock(&table->CounterLock);
  }
  BSV1_ReleaseLock(&application->TableListLock);
  return exceeded;
}

// The bytes a row of the group takes, from its first source; the attributes with
// an OID of an SNMP application are counted on the way (the group's registration
// count).
int32_t rowSize(const ApplicationEntry* application, TableEntry* table) {
  SourceEntry* source = table->FirstSource;
  if (source == nullptr) return 0;
  int32_t size = 0;
  int32_t withOID = 0;
  BSV1_GetLock(&source->AttributeLock);
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    if (attribute->AttrAccessible != 0) size += attribute->MaxValSize;
    if (application->SNMPapplication != 0 && attribute->AttrOIDstring != nullptr) ++withOID;
  }
  BSV1_ReleaseLock(&source->AttributeLock);
  if (application->SNMPapplication != 0) {
    BSV1_GetLock(&table->CounterLock);
    table->SNMPattributesWithOID = withOID;
    // Registration leaves out SNMP groups of two such attributes or fewer (no MIB column).
    table->RegistrationCount = withOID;
    BSV1_ReleaseLock(&table->CounterLock);
  }
  return size;
}

// The name of the first group whose row is too large, or null.
const char* oversizedGroup(ApplicationEntry* application) {
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next)
    if (rowSize(application, table) > ZEVP_ROW_SIZE_MAX) return table->TableName;
  return nullptr;
}

bool ledByAgentAttributes(const TableEntry* table) {
  const SourceEntry* source = table->FirstSource;
  const AttributeEntry* first = source != nullptr ? source->FirstAttribute : nullptr;
  const AttributeEntry* second = first != nullptr ? first->next : nullptr;
  return second != nullptr && std::strcmp(first->AttrName, "Agent_Info") == 0 &&
         std::strcmp(second->AttrName, "Agent_Name") == 0;
}

// The name of the first SNMP group not led by Agent_Info and Agent_Name, or null.
const char* groupWithoutAgentAttributes(const ApplicationEntry* application) {
  for (const TableEntry* table = application->FirstTable; table != nullptr; table = table->next)
    if (!ledByAgentAttributes(table)) return table->TableName;
  return nullptr;
}

ApplicationEntry* rejected(MetafileParseState& state, int message, const char* insert) {
  if (message >= 0) ZEVP_DisplayValidationMessage(message, insert);
  ZEVP_ReleaseApplResources(state.anchor, state.application, 1);
  state.application = nullptr;
  return nullptr;
}

ApplicationEntry* checkedApplication(MetafileParseState& state) {
  ApplicationEntry* application = state.application;
  if (!state.applAccepted || application == nullptr) {
    ZEVP_DisplayValidationMessage(ZEVPV03E, state.metafileName);
    return nullptr;
  }
  if (state.groupCount == 0) return rejected(state, ZEVPV04E, state.metafileName);
  if (state.attributeCount == 0) return rejected(state, ZEVPV05E, state.metafileName);
  if (state.copyFailed) return rejected(state, ZEVPV06E, state.metafileName);
  if (exceedsAttributeLimit(state, application)) {
    TRC(TRC_ERROR, "*****Error: Metafile application rejected flag set for <%s>", state.metafileName);
    return rejected(state, -1, nullptr);
  }
  ZEVP_CheckDuplicateAttributes(application);
  if (const char* group = oversizedGroup(application)) return rejected(state, ZEVPV57E, group);
  if (application->SNMPapplication != 0 && !state.packaged) {
    if (const char* group = groupWithoutAgentAttributes(application)) return rejected(state, ZEVPV96E, group);
  }
  ZEVP_ConstructAttributeOrderLinkList(application, nullptr);
  return application;
}

}  // namespace

ApplicationEntry* ZEVP_CheckAndRegisterApplication(MetafileParseState& state) {
  if (state.bypassed) return nullptr;
  ApplicationEntry* application = checkedApplication(state);
  if (state.validate) return application;
  if (application != nullptr)
    application = zevp::RegisterApplication(state.anchor, application, state.metafileName, state.startup);
  if (application == nullptr && !state.startup)
    zevp::Routines().sendDPlogMessage(state.anchor, ZEVP_DPLOG_METAFILE_FAILED, state.metafileName, nullptr, nullptr,
                                      nullptr, nullptr);
  return application;
}
