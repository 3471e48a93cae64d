// Reads a metafile record by record: unscrambles, echoes, skips comments and
// blank records, finds the record's options and hands it to its statement.
#include "metafile_parser.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "application_checks.h"
#include "dp_anchor.h"
#include "metafile_io.h"
#include "metafile_parse_state.h"
#include "metafile_record_options.h"
#include "metafile_record_size.h"
#include "metafile_statements.h"
#include "metafile_text.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev/prodspec_items.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"
#include "zev0/scrambler.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

using zevp::Words_t;

bool packagedMode() {
  const char* packaged = ZEV0_QueryProductSpec(ZEV2_PACKAGED_PRODUCT);
  return packaged != nullptr && packaged[0] == 'Y';
}

std::string qualifiedName(DPAB* anchor, const char* name) {
  if (ZEV0_IsThisFullyQualifiedName(name)) return name;
  char* qualified = ZEV0_ConstructFullyQualifiedName(anchor->metafileDirectory, name);
  std::string result = qualified != nullptr ? qualified : name;
  ZEV0_FreeStorage(&qualified);
  return result;
}

void echoRecord(const MetafileParseState& state, const char* record) {
  std::string line(std::strlen(record) + 16, '\0');
  int written = std::snprintf(line.data(), line.size(), "%04d -> %s", state.recordCount, record);
  line.resize(written > 0 ? static_cast<size_t>(written) : 0);
  ZEVP_DisplayValidationMessage(ZEVPV26I, line.c_str());
}

void dispatch(MetafileParseState& state, const std::string& wholeRecord, const std::string& record,
              const Words_t& words) {
  std::string keyword = words.empty() ? std::string() : zevp::UpperCased(words[0]);
  if (keyword == "//SNMP") return zevp::SnmpStatement(state, words);
  if (keyword == "//PLOVEN") return zevp::PlovenStatement(state);
  state.firstRecord = false;
  if (keyword == "//APPL") return zevp::ApplStatement(state, words);
  if (!state.applAccepted) return ZEVP_DisplayValidationMessage(ZEVPV34E, wholeRecord.c_str());
  if (keyword == "//NAME") return zevp::NameStatement(state, words);
  if (state.table == nullptr) return ZEVP_DisplayValidationMessage(ZEVPV33E, wholeRecord.c_str());
  if (keyword == "//SOURCE") return zevp::SourceStatement(state, record, words);
  if (keyword == "//RECORDSET") return zevp::RecordSetStatement(state, record, words);
  if (keyword == "//CONFIRM") return zevp::ConfirmStatement(state, record);
  if (keyword == "//INTERNAL") return zevp::InternalStatement(state, words);
  if (keyword == "//SUMMARY") return zevp::SummaryStatement(state, words);
  if (keyword == "//ODBC") return zevp::OdbcStatement(state, words);
  if (state.attributeSectionOpen) {
    if (!words.empty()) zevp::AttributeDefinition(state, record, words);
  } else if (keyword == "//ATTRIBUTES") {
    zevp::AttributesStatement(state, record, words);
  } else {
    TRC(TRC_DETAIL, "Record ignored outside an attribute section <%s>", wholeRecord.c_str());
  }
}

void processRecord(MetafileParseState& state, char* buffer) {
  // Records after //PLOVEN, or after //SNMP without TEXT, are stored scrambled,
  // each keyed by its length times the number of records before it.
  if (state.scrambled)
    ZEV0_DecipherMetaRecord(buffer, static_cast<int32_t>(static_cast<int64_t>(std::strlen(buffer)) * state.recordCount));
  ++state.recordCount;
  ZEV0_RemoveCRandLF(buffer, 'B');
  if (state.validate && !state.noEcho) echoRecord(state, buffer);
  if (buffer[0] == '*' || std::strncmp(buffer, "//*", 3) == 0) {
    TRC(TRC_UNIT_DETAIL, "Comment record skipped");
    return;
  }
  std::string record = buffer;
  for (char& c : record)
    if (c == '\t') c = ' ';
  if (record.find_first_not_of(' ') == std::string::npos) {
    if (state.validate) ZEVP_DisplayValidationMessage(ZEVPV27I, nullptr);
    return;
  }
  const std::string wholeRecord = record;
  zevp::ScanRecordOptions(state, record);
  dispatch(state, wholeRecord, record, zevp::Words(record));
}

}  // namespace

ApplicationEntry* ZEVP_ConstructApplDataModel(DPAB* anchor, const char* metafileName, int validate, int* opened,
                                              int* alreadyDefined, int startup, int noEcho) {
  if (opened != nullptr) *opened = 0;
  if (alreadyDefined != nullptr) *alreadyDefined = 0;
  if (anchor == nullptr || metafileName == nullptr || *metafileName == '\0') return nullptr;

  MetafileParseState state;
  state.anchor = anchor;
  state.metafileName = metafileName;
  state.validate = validate;
  state.startup = startup;
  state.noEcho = noEcho;
  int32_t recordSize = ZEVP_MetaRecordSize();
  state.packaged = packagedMode();
  state.qualifiedName = qualifiedName(anchor, metafileName);

  ApplicationEntry* existing = ZEVP_CheckApplicationExistence(anchor, metafileName);
  if (existing == nullptr) existing = ZEVP_CheckApplicationExistence(anchor, state.qualifiedName.c_str());
  if (existing != nullptr) {
    ZEVP_DisplayValidationMessage(ZEVPV35W, metafileName);
    if (alreadyDefined != nullptr) *alreadyDefined = 1;
    return existing;
  }

  void* metafile = ZEVP_OpenMetaFile(anchor, metafileName, validate);
  if (metafile == nullptr) {
    TRC(TRC_ERROR, "*** Unable to open MetaFile <%s>", metafileName);
    return nullptr;
  }
  if (opened != nullptr) *opened = 1;
  std::vector<char> buffer(static_cast<size_t>(recordSize));
  while (!state.stopReading && ZEVP_ReadMetaFile(anchor, metafile, buffer.data(), recordSize) != nullptr)
    processRecord(state, buffer.data());
  ZEVP_CloseMetaFile(anchor, metafile);
  zevp::CompleteGroup(state);
  return ZEVP_CheckAndRegisterApplication(state);
}
