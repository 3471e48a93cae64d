// The statements inside an attribute group: //SOURCE, //ATTRIBUTES, //RECORDSET,
// //CONFIRM, //INTERNAL, //SUMMARY and //ODBC.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "dp_anchor.h"
#include "internal_routing_block.h"
#include "io_entry.h"
#include "metafile_numbers.h"
#include "model_lists.h"
#include "odbc_block.h"
#include "metafile_parser.h"
#include "metafile_statements.h"
#include "metafile_text.h"
#include "source_entry.h"
#include "summary_block.h"
#include "summary_definition.h"
#include "table_entry.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/codepage.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr size_t npos = std::string::npos;
constexpr int32_t kLongestSummaryInterval = 86400;

// The text of the record after its first `count` words.
std::string afterWords(const std::string& record, size_t count) {
  size_t position = 0;
  for (size_t i = 0; i < count; ++i) {
    position = record.find_first_not_of(' ', position);
    if (position == npos) return std::string();
    position = record.find(' ', position);
    if (position == npos) return std::string();
  }
  size_t start = record.find_first_not_of(' ', position);
  return start == npos ? std::string() : record.substr(start);
}

std::string trimmedRight(std::string text) {
  size_t end = text.find_last_not_of(' ');
  text.resize(end == npos ? 0 : end + 1);
  return text;
}

struct SourceWords {
  std::string name;
  Words_t rest;  // the words after the name: the option first
};

// The name of a //SOURCE statement and the words after it. A quoted name may hold
// blanks; a port in brackets after the host joins the name.
SourceWords sourceWords(const std::string& record, const Words_t& words) {
  SourceWords result;
  size_t quote = record.find_first_of("'\"");
  if (quote != npos) {
    size_t close = record.find(record[quote], quote + 1);
    if (close != npos) {
      std::string name = record.substr(quote + 1, close - quote - 1);
      size_t start = name.find_first_not_of(' ');
      result.name = start == npos ? std::string() : name.substr(start);
      result.rest = Words(record.substr(close + 1));
    } else {
      // One quote only: the option is what follows the last blank.
      std::string text = trimmedRight(record.substr(quote + 1));
      size_t lastBlank = text.rfind(' ');
      result.name = lastBlank == npos ? text : trimmedRight(text.substr(0, lastBlank));
      if (lastBlank != npos) result.rest.push_back(text.substr(lastBlank + 1));
      size_t start = result.name.find_first_not_of(' ');
      result.name = start == npos ? std::string() : result.name.substr(start);
    }
  } else {
    if (words.size() > 2) result.name = words[2];
    result.rest.assign(words.begin() + std::min<size_t>(words.size(), 3), words.end());
  }
  if (!result.rest.empty() && result.rest[0][0] == '[') {
    result.name += result.rest[0];
    result.rest.erase(result.rest.begin());
  }
  return result;
}

void setFileMode(MetafileParseState& state, IOEntry* io, const Words_t& rest) {
  if (rest.empty()) return;
  std::string option = UpperCased(rest[0]);
  if (option[0] == 'C') {
    if (state.table->DataType[0] == 'E') {
      ZEVP_DisplayValidationMessage(ZEVPV47W, nullptr);
      return;
    }
    io->Mode = 'C';
    if (rest.size() > 1 && std::toupper(static_cast<unsigned char>(rest[1][0])) == 'C') io->CopyClear = 1;
  } else if (option == "TAILBYRECORD") {
    io->TailByRecord = 1;
  }
}

void setCodeType(SourceEntry* source, const Words_t& rest) {
  char code = 'A';
  if (!rest.empty()) {
    const std::string& option = rest[0];
    bool managedSystemOnly = option.size() > 1 && UpperCased(option).find("MANAGEDSYSTEMNAME=") != npos;
    if (!managedSystemOnly) {
      code = static_cast<char>(std::toupper(static_cast<unsigned char>(option[0])));
      if (code != 'A' && code != 'E') {
        ZEVP_DisplayValidationMessage(ZEVPV49W, nullptr);
        code = 'A';
      }
    }
  }
  source->CodeType = code;
  source->CodeConversion = static_cast<uint8_t>(ZEV0_CheckCodeConversion(code));
}

void countSource(TableEntry* table) {
  BSV1_GetLock(&table->CounterLock);
  ++table->SourceCount;
  BSV1_ReleaseLock(&table->CounterLock);
}

bool isInputOf(const InternalRoutingBlock* block, const TableEntry* table) {
  for (const TableEntry* input = block->FirstInput; input != nullptr; input = input->NextInputTable)
    if (input == table) return true;
  return false;
}

bool isInputOfAnyBlock(DPAB* anchor, const TableEntry* table) {
  bool found = false;
  BSV1_GetLock(&anchor->internalRoutingLock);
  for (InternalRoutingBlock* block = anchor->internalRoutingBlocks; block != nullptr && !found; block = block->next)
    found = isInputOf(block, table);
  BSV1_ReleaseLock(&anchor->internalRoutingLock);
  return found;
}

// A group is the output of one block at most and an input of one block at most,
// and never both of the same block: an input chain shared by two blocks would run
// into the other's, and a group fed by itself would route its rows for ever.
void linkToBlock(MetafileParseState& state, InternalRoutingBlock* block, const std::string& type,
                 const std::string& name) {
  TableEntry* table = state.table;
  // Looked up before the block's lock: the anchor's list lock comes first.
  bool alreadyInput = isInputOfAnyBlock(state.anchor, table);
  BSV1_GetLock(&block->Lock);
  if (type == "OUTPUT") {
    if (block->Output != nullptr || table->RoutingBlock != nullptr || isInputOf(block, table)) {
      TRC(TRC_ERROR, "*****Error: duplicate INTERNAL OUTPUT statement for same target <%s>", name.c_str());
      ZEVP_DisplayValidationMessage(ZEVPV83E, name.c_str());
    } else {
      block->Output = table;
      table->RoutingBlock = block;
    }
  } else if (type == "INPUT") {
    if (alreadyInput || block->Output == table) {
      TRC(TRC_ERROR, "*****Error: duplicate INTERNAL INPUT statement for same target <%s>", name.c_str());
      ZEVP_DisplayValidationMessage(ZEVPV83E, name.c_str());
    } else {
      AppendToList(&block->FirstInput, table, &TableEntry::NextInputTable);
      ++block->InputCount;
    }
  } else {
    TRC(TRC_ERROR, "*****Error: INTERNAL statement syntax error <%s> <%s>", type.c_str(), name.c_str());
    ZEVP_DisplayValidationMessage(ZEVPV84E, type.c_str());
  }
  BSV1_ReleaseLock(&block->Lock);
}

// The summary attributes come first: the split reads no field for them.
void insertSummaryHead(MetafileParseState& state) {
  for (const char* name : ZEVP_SUMMARY_HEAD)
    InsertAttribute(state, name, "C", ZEVP_SUMMARY_HEAD_MAXIMUM,
                    std::strcmp(name, "_Occurrences") == 0 ? ZEVP_SUMMARY_OCCURRENCES_HELP : ZEVP_SUMMARY_INTERVAL_HELP);
}

}  // namespace

void SourceStatement(MetafileParseState& state, const std::string& record, const Words_t& words) {
  SourceWords parts = sourceWords(record, words);
  const char* managedSystem =
      state.options.managedSystemName.empty() ? nullptr : state.options.managedSystemName.c_str();
  int32_t fileSourceFlag = state.groupHasFileSource ? 1 : 0;
  SourceEntry* source =
      ZEVP_InitializeSourceEntry(state.anchor, state.table, words.size() > 1 ? words[1].c_str() : nullptr,
                                 parts.name.empty() ? nullptr : parts.name.c_str(), managedSystem, &fileSourceFlag);
  if (source == nullptr) return;
  state.groupHasFileSource = fileSourceFlag != 0;
  if (source->SourceType == ZEVP_SOURCE_FILE) setFileMode(state, source->IO, parts.rest);
  if (source->SourceType == ZEVP_SOURCE_SOCK) setCodeType(source, parts.rest);
  state.sourceSeen = true;
  state.attributeSectionOpen = false;
  countSource(state.table);
  state.source = source;
}

void AttributesStatement(MetafileParseState& state, const std::string& record, const Words_t& words) {
  if (state.source == nullptr) {
    int32_t fileSourceFlag = state.groupHasFileSource ? 1 : 0;
    SourceEntry* source = ZEVP_InitializeSourceEntry(state.anchor, state.table, state.snmpSeen ? "SNMP" : "BASE",
                                                     nullptr, nullptr, &fileSourceFlag);
    if (source == nullptr) return;
    countSource(state.table);
    state.source = source;
  }
  state.attributeSectionOpen = true;
  state.groupHadAttributes = true;
  state.attributeSource = state.source;

  size_t quote = record.find_first_of("'\"");
  std::string delimiterWord = quote != npos ? record.substr(quote) : (words.size() > 1 ? words[1] : std::string());
  ZEV0_FreeStorage(&state.source->AttrDelimiter);
  state.source->AttrDelimiter = ZEVP_CheckAttributeDelimiter(delimiterWord.empty() ? nullptr : delimiterWord.c_str());
  if (state.table->Summary != nullptr) insertSummaryHead(state);
}

void RecordSetStatement(MetafileParseState& state, const std::string& record, const Words_t& words) {
  TableEntry* table = state.table;
  if (words.size() < 2) {
    TRC(TRC_ERROR, "*****Invalid RECORDSET statement <%s> ignored", record.c_str());
    return;
  }
  if (IsQuote(words[1][0])) {
    size_t open = record.find(words[1][0]);
    size_t close = record.find_last_of(words[1][0]);
    std::string text = close > open ? record.substr(open + 1, close - open - 1) : record.substr(open + 1);
    ZEV0_FreeStorage(&table->RecordSetDelimiter);
    table->RecordSetDelimiter = NewStorageText(text);
    table->RecordSetDelimiterLength = static_cast<int32_t>(text.size());
    return;
  }
  int32_t count = DecimalValue(words[1].c_str());
  if (count < 2) {
    TRC(TRC_ERROR, "*****Invalid RECORDSET count <%s>, statement ignored", words[1].c_str());
    return;
  }
  table->RecordSetCount = count;
  std::string rule = afterWords(record, 2);
  size_t close = rule.find(')');
  if (close != npos) rule.resize(close);
  ZEV0_FreeStorage(&table->RecordSetText);
  if (!rule.empty()) table->RecordSetText = NewStorageText(rule);
}

void ConfirmStatement(MetafileParseState& state, const std::string& record) {
  TableEntry* table = state.table;
  std::string value = trimmedRight(afterWords(record, 1));
  if (value.empty()) return;
  size_t quote = value.find_first_of("'\"");
  std::string upper = UpperCased(value);
  if (quote != npos) {
    size_t last = value.find_last_of("'\"");
    std::string text = last > quote ? value.substr(quote + 1, last - quote - 1) : value.substr(quote + 1);
    ZEV0_FreeStorage(&table->ConfirmText);
    table->ConfirmText = NewStorageText(text);
    table->ConfirmType = ZEVP_CONFIRM_MESSAGE;
  } else if (upper[0] == 'X' && value.size() >= 2 && value.size() <= 3 &&
             value.find_first_not_of("0123456789abcdefABCDEF", 1) == npos) {
    table->ConfirmCharacter = static_cast<char>(std::strtol(value.c_str() + 1, nullptr, 16));
    table->ConfirmType = ZEVP_CONFIRM_CHARACTER;
  } else if (upper == "SIZE") {
    table->ConfirmType = ZEVP_CONFIRM_SIZE;
  } else if (upper == "SEQ") {
    table->ConfirmType = ZEVP_CONFIRM_SEQUENCE;
  } else {
    ZEVP_DisplayValidationMessage(ZEVPV64E, value.c_str());
  }
}

void InternalStatement(MetafileParseState& state, const Words_t& words) {
  if (words.size() < 3) {
    ZEVP_DisplayValidationMessage(ZEVPV85E, nullptr);
    return;
  }
  std::string type = UpperCased(words[1]);
  std::string name = UpperCased(words[2]);
  InternalRoutingBlock* block = ZEVP_CreateInternalRoutingBlock(state.anchor, name.c_str());
  if (block == nullptr) return;
  linkToBlock(state, block, type, name);
}

void SummaryStatement(MetafileParseState& state, const Words_t& words) {
  int32_t interval = words.size() > 1 ? DecimalValue(words[1].c_str()) : 0;
  if (interval > kLongestSummaryInterval) {
    ZEVP_DisplayValidationMessage(ZEVPV93W, words[1].c_str());
    interval = kLongestSummaryInterval;
  }
  if (interval < 0) interval = 0;  // the default interval applies
  bool batch = words.size() > 2 && UpperCased(words[2]) == "BATCH";
  TableEntry* table = state.table;
  // The summary attributes lead the attribute list: once it has begun they can no
  // longer take their place, and the split would read fields as summary values.
  if (state.groupHadAttributes) {
    TRC(TRC_ERROR, "*****Error: SUMMARY statement after the ATTRIBUTES of group <%s> ignored", table->TableName);
    return;
  }
  SummaryManagementBlock* block = ZEVP_CreateSummaryManagementBlock(interval, batch ? 1 : 0);
  if (block == nullptr) return;
  ZEVP_ReleaseSummaryManagementBlock(table->Summary);  // a later statement of the group replaces it
  table->Summary = block;
}

void OdbcStatement(MetafileParseState& state, const Words_t& words) {
  // //ODBC DSN=name names no type: its operand is the second word.
  bool typed = words.size() > 1 && !BeginsWithUpper(words[1], "DSN=");
  OMB* block = ZEVP_InitializeOMB(state.anchor, typed ? words[1].c_str() : nullptr,
                                  state.options.dsn.empty() ? nullptr : state.options.dsn.c_str());
  if (block == nullptr) return;
  ZEVP_ReleaseOMB(state.anchor, state.table->Odbc);  // a later statement of the group replaces it
  state.table->Odbc = block;
}

}  // namespace zevp
