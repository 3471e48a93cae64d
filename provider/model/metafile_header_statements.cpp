// The statements that open a metafile and its attribute groups: //SNMP,
// //PLOVEN, //APPL and //NAME.
#include <cstring>

#include "application_entry.h"
#include "dp_anchor.h"
#include "metafile_parser.h"
#include "metafile_statements.h"
#include "metafile_text.h"
#include "table_entry.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev/dp_types.h"

TRC_UNIT();

namespace zevp {

namespace {

const char* wordOrNull(const Words_t& words, size_t index) {
  return index < words.size() ? words[index].c_str() : nullptr;
}

const char* helpOrNull(const MetafileParseState& state) {
  return state.options.hasHelp ? state.options.help.c_str() : nullptr;
}

void resetGroupState(MetafileParseState& state) {
  state.table = nullptr;
  state.source = nullptr;
  state.attributeSource = nullptr;
  state.lastAttribute = nullptr;
  state.attributeCount = 0;
  state.sourceSeen = false;
  state.attributeSectionOpen = false;
  state.groupHadAttributes = false;
  state.lastAttributeSeen = false;
  state.recordAttributeSeen = false;
  state.keySeen = false;
  state.addSourceName = false;
  state.addTimeStamp = false;
  state.groupHasFileSource = false;
}

// An //SNMP metafile belongs to the SNMP data provider and every other metafile
// to the others; a validation run reads //SNMP metafiles anywhere.
bool bypassedForType(const MetafileParseState& state) {
  if (state.packaged) return false;
  bool snmpProvider = state.anchor->dpType == ZEV_DP_SNMP;
  return (state.snmpSeen && !snmpProvider && !state.validate) || (!state.snmpSeen && snmpProvider);
}

}  // namespace

void SnmpStatement(MetafileParseState& state, const Words_t& words) {
  if (!state.firstRecord || state.snmpSeen) {
    ZEVP_DisplayValidationMessage(ZEVPV17E, nullptr);
    return;
  }
  state.snmpSeen = true;
  state.snmpText = words.size() > 1 && UpperCased(words[1]) == "TEXT";
  state.scrambled = state.plovenSeen || !state.snmpText;
}

void PlovenStatement(MetafileParseState& state) {
  if (!state.firstRecord || state.plovenSeen) {
    ZEVP_DisplayValidationMessage(ZEVPV65E, nullptr);
    return;
  }
  state.plovenSeen = true;
  state.scrambled = true;
}

void ApplStatement(MetafileParseState& state, const Words_t& words) {
  if (state.applAccepted) {
    ZEVP_DisplayValidationMessage(ZEVPV02E, state.metafileName);
    state.stopReading = true;
    return;
  }
  if (bypassedForType(state)) {
    TRC(TRC_DETAIL, "Metafile %s bypassed for data provider type %d", state.metafileName, state.anchor->dpType);
    state.bypassed = true;
    state.stopReading = true;
    return;
  }
  const char* name = wordOrNull(words, 1);
  if (name != nullptr && ZEVP_CheckApplicationExistence(state.anchor, name) != nullptr) {
    ZEVP_DisplayValidationMessage(ZEVPV78E, name);
    state.stopReading = true;
    return;
  }
  ApplicationEntry* application =
      ZEVP_InitializeApplicationEntry(state.anchor, name, state.packaged ? 1 : 0, helpOrNull(state));
  if (application == nullptr) return;
  application->MetafileName = NewStorageText(state.qualifiedName);
  application->MetafileNameUpper = NewStorageText(UpperCased(state.qualifiedName));
  if (state.snmpSeen || state.packaged) {
    application->SNMPapplication = 1;
    application->EnterpriseName = NewStorageText(words.size() > 2 ? words[2] : std::string(application->ApplName));
    if (words.size() > 3) application->EnterpriseOID = NewStorageText(words[3]);
  }
  state.application = application;
  state.applAccepted = true;
  resetGroupState(state);
}

void NameStatement(MetafileParseState& state, const Words_t& words) {
  if (state.table != nullptr && !state.groupHadAttributes) {
    ZEVP_DisplayValidationMessage(ZEVPV55E, nullptr);
    return;
  }
  CompleteGroup(state);
  resetGroupState(state);
  for (size_t i = 2; i <= 5 && i < words.size(); ++i) {
    std::string word = UpperCased(words[i]);
    if (word == "ADDSOURCENAME") state.addSourceName = true;
    if (word == "ADDTIMESTAMP") state.addTimeStamp = true;
  }
  TableEntry* table = ZEVP_InitializeTableEntry(state.application, wordOrNull(words, 1), wordOrNull(words, 2),
                                                wordOrNull(words, 3), helpOrNull(state));
  if (table == nullptr) return;
  if (!state.options.moduleName.empty()) table->ModuleName = NewStorageText(state.options.moduleName);
  BSV1_GetLock(&state.application->TableListLock);
  ++state.application->NumberOfGroups;
  BSV1_ReleaseLock(&state.application->TableListLock);
  ++state.groupCount;
  state.table = table;
}

}  // namespace zevp
