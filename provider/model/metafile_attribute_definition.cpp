// An attribute definition in an open //ATTRIBUTES section:
//   name type [size] [KEY] [ATOMIC] [options] [@help]
//   name (operand operator operand) [options] [@help]
#include <cctype>
#include <cstring>
#include <string>

#include "attribute_entry.h"
#include "attribute_limit.h"
#include "derived_functions.h"
#include "metafile_statements.h"
#include "metafile_text.h"
#include "model_release.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr size_t npos = std::string::npos;

struct Flags {
  int key = 0;
  int atomic = 0;
};

// KEY and ATOMIC among the words, compared in upper case over their own length;
// a word holding ')' belongs to a formula or a filter and is neither.
Flags keyAndAtomic(MetafileParseState& state, char type, const Words_t& words, size_t from) {
  Flags flags;
  for (size_t i = from; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word.find(')') != npos) continue;
    if (BeginsWithUpper(word, "ATOMIC")) {
      if (std::strchr("ACGIL?#%", type) != nullptr)
        ZEVP_DisplayValidationMessage(ZEVPV61W, nullptr);
      else
        flags.atomic = 1;
    } else if (BeginsWithUpper(word, "KEY")) {
      if (state.table->DataType[0] != 'K') {
        ZEVP_DisplayValidationMessage(ZEVPV59V, nullptr);
      } else {
        flags.key = 1;
        state.keySeen = true;
      }
    }
  }
  return flags;
}

// The word after the type is its size, unless it is KEY, ATOMIC or an option (SEQ=,
// SKEY=, DLM=, ENUM{, a filter): a type that needs no size word may be followed by those.
bool isSizeWord(const std::string& word) {
  return word.find_first_of("={") == npos && !BeginsWithUpper(word, "KEY") && !BeginsWithUpper(word, "ATOMIC");
}

// An earlier attribute of the definition's source by name; any type when
// anyType, else only the types a formula can compute with.
AttributeEntry* operand(MetafileParseState& state, const std::string& name, bool anyType) {
  for (AttributeEntry* attribute = state.attributeSource->FirstAttribute; attribute != nullptr;
       attribute = attribute->next)
    if (name == attribute->AttrName && (anyType || std::strchr("CGD", attribute->AttrType) != nullptr))
      return attribute;
  return nullptr;
}

bool formulaInvalid(const std::string& name, const char* reason) {
  TRC(TRC_DETAIL, "Attribute %s formula invalid: %s", name.c_str(), reason);
  ZEVP_DisplayValidationMessage(ZEVPV63E, name.c_str());
  return false;
}

struct Formula {
  const void* operand1 = nullptr;
  AttributeEntry* operand2 = nullptr;
  char operation = '\0';
  std::string type;
  std::string size;  // empty: none
  size_t end = npos;  // the place of the closing ')' in the record
};

const char* derivedResultType(int function, std::string* size) {
  switch (function) {
    case ZEVP_IPADDRESSTONAME: *size = "256"; return "D";
    case ZEVP_NETWARETIMETOTEXT: *size = "24"; return "D";
    default: return "T";  // the time stamp functions
  }
}

// Reads "(operand1 operator operand2)" or "(function operator attribute)".
bool readFormula(MetafileParseState& state, const std::string& name, const std::string& record, Formula* formula) {
  size_t open = record.find('(', record.find(name) + name.size());
  size_t close = record.find(')', open);
  if (close == npos) return formulaInvalid(name, "no closing parenthesis");
  formula->end = close;
  Words_t parts = Words(record.substr(open + 1, close - open - 1));
  if (parts.size() < 2 || parts[1].size() != 1 || std::strchr("+-*/%=", parts[1][0]) == nullptr)
    return formulaInvalid(name, "Possibly missing blank delimiters around operator character");
  if (parts.size() < 3) return formulaInvalid(name, "no second operand");
  formula->operation = parts[1][0];

  const void* function = nullptr;
  if (ZEVP_CheckDeriveFunctionSpec(parts[0].c_str(), &function)) {
    formula->operand1 = function;
    formula->operand2 = operand(state, parts[2], true);
    if (formula->operand2 == nullptr) return formulaInvalid(name, "operand not found");
    formula->type = derivedResultType(ZEVP_DeriveFunctionIndex(function), &formula->size);
    if (state.options.real) formula->type = "D", formula->size = "20";
    return true;
  }
  AttributeEntry* first = operand(state, parts[0], false);
  AttributeEntry* second = operand(state, parts[2], false);
  if (first == nullptr || second == nullptr) return formulaInvalid(name, "operand not found");
  formula->operand1 = first;
  formula->operand2 = second;
  bool firstText = first->AttrType == 'D';
  bool secondText = second->AttrType == 'D';
  if (state.options.real) {
    formula->type = "D";
    formula->size = "20";
  } else if (firstText && secondText && formula->operation == '+') {
    formula->type = "D";
    formula->size = std::to_string(first->MaxValSize + second->MaxValSize);
  } else if (firstText || secondText) {
    return formulaInvalid(name, "Display operands join only with +");
  } else {
    formula->type = "G";
  }
  return true;
}

// The object identifier of an SNMP attribute; false when the attribute has to go.
bool setObjectIdentifier(const MetafileParseState& state, AttributeEntry* attribute, const Words_t& words) {
  if (words.size() < 4) {
    if (state.packaged) return true;
    ZEVP_DisplayValidationMessage(ZEVPV18E, nullptr);
    return false;
  }
  const std::string& oid = words[3];
  if (!std::isdigit(static_cast<unsigned char>(oid[0]))) return true;
  attribute->AttrOIDstring = NewStorageText(oid);
  size_t lastArc = oid.rfind('.');
  if (oid[lastArc == npos ? 0 : lastArc + 1] == '0') {
    if (!ZEV0_FormatOIDfromString(oid.c_str(), &attribute->AttrOID, &attribute->AttrOIDlength)) {
      ZEVP_DisplayValidationMessage(ZEVPV60E, oid.c_str());
      return false;
    }
  }
  return true;
}

void storeOptions(MetafileParseState& state, AttributeEntry* attribute) {
  const MetafileRecordOptions& options = state.options;
  if (options.hasOrderSequence) attribute->OrderSequence = options.orderSequence;
  if (options.hasSortKey) {
    attribute->AttrSortKey = options.sortKey;
    if (options.sortKey < 0 && attribute->AttrType != 'C' && attribute->AttrType != 'G') {
      ZEVP_DisplayValidationMessage(ZEVPV92E, nullptr);
      attribute->AttrSortKey = 0;
    }
  }
  std::strncpy(attribute->DelimiterOverride, options.delimiterOverride.c_str(),
               sizeof attribute->DelimiterOverride - 1);
  if (!options.enumeration.empty()) attribute->Enumeration = NewStorageText(options.enumeration);
}

void count(MetafileParseState& state, AttributeEntry* attribute) {
  TableEntry* table = state.table;
  BSV1_GetLock(&table->CounterLock);
  ++table->AttributesDefined;
  if (attribute->AttrOper1 == nullptr && attribute->AttrOper2 == nullptr) ++table->AttributesNotDerived;
  if (attribute->AttrAccessible && attribute->AttrType != 'K') ++table->AttributesPerRow;
  BSV1_ReleaseLock(&table->CounterLock);
  ++state.attributeCount;
  if (attribute->AttrType == 'Z') state.lastAttributeSeen = true;
  if (attribute->AttrType == 'R') state.recordAttributeSeen = true;
  state.lastAttribute = attribute;
}

}  // namespace

void AttributeDefinition(MetafileParseState& state, const std::string& record, const Words_t& words) {
  const std::string& name = words[0];
  if (!state.packaged && state.attributeCount >= ZEVP_MaxAttributesPerGroup()) {
    ZEVP_DisplayValidationMessage(ZEVPV31W, name.c_str());
    state.tooManyAttributes = true;
    return;
  }
  // A record attribute takes the whole record: nothing can follow it.
  if (state.recordAttributeSeen) return;
  if (words.size() < 2) {
    ZEVP_DisplayValidationMessage(ZEVPV07E, name.c_str());
    return;
  }
  const std::string& typeWord = words[1];
  char type = static_cast<char>(std::toupper(static_cast<unsigned char>(typeWord[0])));
  bool sized = words.size() > 2 && isSizeWord(words[2]);
  if (std::strchr("DORZK", type) != nullptr && !sized) {
    ZEVP_DisplayValidationMessage(ZEVPV07E, name.c_str());
    return;
  }
  if (state.lastAttributeSeen) {
    ZEVP_DisplayValidationMessage(ZEVPV19E, name.c_str());
    return;
  }
  const char* help = state.options.hasHelp ? state.options.help.c_str() : nullptr;
  const char* filter = state.options.hasFilter ? state.options.filter.c_str() : nullptr;

  AttributeEntry* attribute = nullptr;
  if (type == '(') {
    Formula formula;
    if (!readFormula(state, name, record, &formula)) return;
    Flags flags = keyAndAtomic(state, formula.type[0], Words(record.substr(formula.end + 1)), 0);
    attribute = ZEVP_InitializeAttrEntry(state.attributeSource, name.c_str(), formula.type.c_str(),
                                         formula.size.empty() ? nullptr : formula.size.c_str(), flags.key,
                                         flags.atomic, help, filter);
    if (attribute == nullptr) return;
    attribute->AttrOper1 = formula.operand1;
    attribute->AttrOper2 = formula.operand2;
    attribute->AttrOperator = formula.operation;
    attribute->Real = state.options.real ? 1 : 0;
  } else {
    Flags flags = keyAndAtomic(state, type, words, sized ? 3 : 2);
    attribute = ZEVP_InitializeAttrEntry(state.attributeSource, name.c_str(), typeWord.c_str(),
                                         sized ? words[2].c_str() : nullptr, flags.key, flags.atomic, help, filter);
    if (attribute == nullptr) return;
    if (state.snmpSeen && !setObjectIdentifier(state, attribute, words)) {
      ZEVP_ReleaseAttributeEntry(state.attributeSource, attribute);
      return;
    }
  }
  storeOptions(state, attribute);
  count(state, attribute);
}

}  // namespace zevp
