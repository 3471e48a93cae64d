#include "model_dump.h"

#include <arpa/inet.h>

#include <cstring>

#include "derived_functions.h"
#include "model_records.h"

namespace {

std::string shown(const char* text) {
  std::string result;
  for (const char* c = text; *c != '\0'; ++c) result += *c == '\t' ? std::string("\\t") : std::string(1, *c);
  return result;
}

void add(std::string& line, const char* key, const char* text) {
  if (text != nullptr) line += std::string(" ") + key + "=" + shown(text);
}

void flag(std::string& line, const char* name, bool set) {
  if (set) line += std::string(" ") + name;
}

std::string operandName(const void* operand) {
  int function = ZEVP_DeriveFunctionIndex(operand);
  if (function >= 0) return DerivedFunctionName[function];
  const AttributeEntry* attribute = ZEVP_OperandAttribute(operand);
  return attribute != nullptr ? attribute->AttrName : "?";
}

std::string filterText(const AttributeEntry* attribute) {
  std::string text = attribute->FilterAccept ? "+" : "-";
  text += attribute->FilterLogic;
  text += ":";
  for (int i = 0; i < attribute->FilterTermCount; ++i) {
    const AttributeFilterTerm& term = attribute->FilterTerms[i];
    if (i > 0) text += ",";
    text += term.Kind;
    text += std::to_string(term.Offset) + "(";
    text += term.CompareString != nullptr ? term.CompareString : std::to_string(term.CompareNumber);
    text += ")";
  }
  return text;
}

std::string fileLine(const FileSpecControlBlock* block) {
  std::string line = "FILE";
  if (!block->PatternFlag) {
    add(line, "current", block->CurrentSpecFileName);
    return line;
  }
  add(line, "path", block->FilePathSpec);
  add(line, "prefix", block->Prefix);
  add(line, "pattern", block->Pattern);
  add(line, "suffix", block->Suffix);
  add(line, "ext", block->Extension);
  line += " numeric=" + std::to_string(block->NumericOffset) + "/" + std::to_string(block->NumericLength);
  line += " char=" + std::to_string(block->CharOffset) + "/" + std::to_string(block->CharLength);
  line += " criteria=" + std::to_string(block->CriteriaLength);
  flag(line, "wildcard", block->WildcardExtension);
  return line;
}

std::string sourceLine(const SourceEntry* source) {
  std::string line = std::string("SOURCE ") + source->SourceType;
  if (source->SourceName != nullptr) line += std::string(" ") + source->SourceName;
  add(line, "node", source->pSourceNodeName);
  if (source->AttrDelimiter != nullptr) add(line, "delim", ("'" + shown(source->AttrDelimiter) + "'").c_str());
  add(line, "lu", source->FullyQualifiedLU);
  if (const IOEntry* io = source->IO) {
    if (io->Mode != 'T') line += std::string(" mode=") + io->Mode;
    flag(line, "clear", io->CopyClear);
    flag(line, "tailbyrecord", io->TailByRecord);
    if (source->SourceType == 'S') {
      line += std::string(" code=") + source->CodeType;
      if (io->Port != 0) line += " port=" + std::to_string(ntohs(io->Port));
    }
  }
  return line;
}

std::string groupLine(const TableEntry* table) {
  std::string line = std::string("GROUP ") + table->TableName + " " + table->DataType;
  line += " ttl=" + std::to_string(table->TTL) + " sources=" + std::to_string(table->SourceCount);
  line += " attrs=" + std::to_string(table->AttributesDefined) + "/" + std::to_string(table->AttributesPerRow);
  flag(line, "rate", table->HasRateAttributes);
  flag(line, "last", table->HasLastAttribute);
  if (table->RecordSetCount != 1) line += " recordset=" + std::to_string(table->RecordSetCount);
  add(line, "rsdelim", table->RecordSetDelimiter);
  add(line, "rstext", table->RecordSetText);
  if (table->ConfirmType != ZEVP_CONFIRM_NONE) {
    line += " confirm=" + std::to_string(table->ConfirmType);
    if (table->ConfirmType == ZEVP_CONFIRM_CHARACTER) line += ":" + std::to_string(table->ConfirmCharacter);
    if (table->ConfirmText != nullptr) line += std::string(":") + table->ConfirmText;
  }
  add(line, "module", table->ModuleName);
  if (table->RoutingBlock != nullptr) add(line, "output", table->RoutingBlock->Name);
  if (table->HelpBuffer != nullptr && table->HelpBuffer[0] != '\0') add(line, "help", table->HelpBuffer);
  return line;
}

}  // namespace

std::string DumpAttribute(const AttributeEntry* attribute) {
  std::string line = std::string("ATTR ") + attribute->AttrName + " " + attribute->AttrType + " " +
                     std::to_string(attribute->MaxValSize) + "/" + std::to_string(attribute->MaxSize);
  flag(line, "key", attribute->AttrKey);
  flag(line, "atomic", attribute->Atomic);
  flag(line, "hidden", !attribute->AttrAccessible);
  flag(line, "lefttrunc", attribute->LeftTruncate);
  flag(line, "real", attribute->Real);
  if (attribute->OrderSequence != 0) line += " seq=" + std::to_string(attribute->OrderSequence);
  if (attribute->AttrSortKey != 0) line += " skey=" + std::to_string(attribute->AttrSortKey);
  if (attribute->DelimiterOverride[0] != '\0') add(line, "dlm", attribute->DelimiterOverride);
  add(line, "enum", attribute->Enumeration);
  add(line, "oid", attribute->AttrOIDstring);
  flag(line, "encoded", attribute->AttrOID != nullptr);
  if (attribute->AttrOper1 != nullptr || attribute->AttrOper2 != nullptr)
    line += " formula=" + operandName(attribute->AttrOper1) + attribute->AttrOperator +
            (attribute->AttrOper2 != nullptr ? attribute->AttrOper2->AttrName : "?");
  if (attribute->FilterTermCount > 0 || attribute->FilterLogic != ' ') line += " filter=" + filterText(attribute);
  add(line, "help", attribute->HelpText);
  return line;
}

std::vector<std::string> DumpAttributes(const SourceEntry* source) {
  std::vector<std::string> lines;
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    lines.push_back(DumpAttribute(attribute));
  return lines;
}

std::vector<std::string> DumpModel(const ApplicationEntry* application) {
  std::vector<std::string> lines;
  if (application == nullptr) return lines;
  std::string line = std::string("APPL ") + application->ApplName;
  flag(line, "SNMP", application->SNMPapplication);
  if (application->EnterpriseName != nullptr)
    line += std::string(" enterprise=") + application->EnterpriseName + "," +
            (application->EnterpriseOID != nullptr ? application->EnterpriseOID : "");
  add(line, "help", application->ApplHelp);
  lines.push_back(line);
  for (const TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
    lines.push_back("  " + groupLine(table));
    for (const SourceEntry* source = table->FirstSource; source != nullptr; source = source->next) {
      lines.push_back("    " + sourceLine(source));
      if (source->FileSpec != nullptr) lines.push_back("      " + fileLine(source->FileSpec));
      for (const std::string& attribute : DumpAttributes(source)) lines.push_back("      " + attribute);
    }
  }
  return lines;
}
