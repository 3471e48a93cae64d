// The statements of the metafile language, one handler each. A handler gets the
// record as the options scan left it (help text cut off) and its words; the first
// word is the statement keyword (or, for an attribute definition, its name).
#pragma once

#include <string>
#include <vector>

#include "metafile_parse_state.h"

namespace zevp {

using Words_t = std::vector<std::string>;

void SnmpStatement(MetafileParseState& state, const Words_t& words);
void PlovenStatement(MetafileParseState& state);
void ApplStatement(MetafileParseState& state, const Words_t& words);
void NameStatement(MetafileParseState& state, const Words_t& words);
void SourceStatement(MetafileParseState& state, const std::string& record, const Words_t& words);
void AttributesStatement(MetafileParseState& state, const std::string& record, const Words_t& words);
void RecordSetStatement(MetafileParseState& state, const std::string& record, const Words_t& words);
void ConfirmStatement(MetafileParseState& state, const std::string& record);
void InternalStatement(MetafileParseState& state, const Words_t& words);
void SummaryStatement(MetafileParseState& state, const Words_t& words);
void OdbcStatement(MetafileParseState& state, const Words_t& words);
void AttributeDefinition(MetafileParseState& state, const std::string& record, const Words_t& words);

// Appends an attribute to the group's attribute source, counted in the group and
// towards its limit; help may be null.
void InsertAttribute(MetafileParseState& state, const char* name, const char* type, const char* size,
                     const char* help);

// Completes the current group: inserted attributes, the SNMP table key, the
// attribute copies to every source, the summary definition, the key of a key
// data group.
void CompleteGroup(MetafileParseState& state);

}  // namespace zevp
