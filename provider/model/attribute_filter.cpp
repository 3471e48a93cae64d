#include "attribute_filter.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "attribute_entry.h"
#include "metafile_numbers.h"
#include "metafile_text.h"
#include "validation_messages.h"
#include "zev0/storage.h"

namespace {

struct TermType {
  const char* word;
  char kind;
};

constexpr TermType kTermTypes[] = {
    {"SCAN", ZEVP_FILTER_SCAN},         {"MATCH", ZEVP_FILTER_MATCH},
    {"NUMBER=", ZEVP_FILTER_EQUAL},     {"NUMBER>", ZEVP_FILTER_GREATER},
    {"NUMBER<", ZEVP_FILTER_LESS},      {"NUMBER>=", ZEVP_FILTER_GREATER_EQUAL},
    {"NUMBER<=", ZEVP_FILTER_LESS_EQUAL},
};

char termKind(const std::string& type) {
  for (const TermType& known : kTermTypes)
    if (type == known.word) return known.kind;
  return '\0';
}

bool isNumericAttribute(char type) { return std::strchr("GCAIL?%#", type) != nullptr; }
bool isTextTerm(char kind) { return kind == ZEVP_FILTER_SCAN || kind == ZEVP_FILTER_MATCH; }

void skipBlanks(const std::string& text, size_t* position) {
  while (*position < text.size() && text[*position] == ' ') ++*position;
}

void showWithNumbers(int message, const char* format, long first, long second) {
  char insert[96];
  std::snprintf(insert, sizeof insert, format, first, second);
  ZEVP_DisplayValidationMessage(message, insert);
}

// Fills one term from TYPE(offset,value) between start and the ')' at close;
// false after the message of its fault.
bool parseTerm(AttributeEntry* attribute, const std::string& text, size_t start, size_t close,
               AttributeFilterTerm* term) {
  size_t open = text.find('(', start);
  if (open == std::string::npos || open > close) {
    ZEVP_DisplayValidationMessage(ZEVPV68E, text.substr(start, close - start + 1).c_str());
    return false;
  }
  std::string type = text.substr(start, open - start);
  char kind = termKind(zevp::UpperCased(type));
  if (kind == '\0') {
    ZEVP_DisplayValidationMessage(ZEVPV69E, type.c_str());
    return false;
  }
  size_t inner = open + 1;
  skipBlanks(text, &inner);
  size_t comma = text.find(',', inner);
  if (comma == std::string::npos || comma > close) {
    ZEVP_DisplayValidationMessage(ZEVPV70E, text.substr(open + 1).c_str());
    return false;
  }
  std::string offsetText = text.substr(inner, comma - inner);
  int32_t offset = zevp::DecimalValue(offsetText.c_str());
  size_t valueStart = comma + 1;
  skipBlanks(text, &valueStart);
  std::string value = valueStart < close ? text.substr(valueStart, close - valueStart) : std::string();

  if (isNumericAttribute(attribute->AttrType)) {
    if (isTextTerm(kind)) {
      ZEVP_DisplayValidationMessage(ZEVPV76E, nullptr);
      return false;
    }
    offset = 0;
  } else {
    if (!isTextTerm(kind)) {
      ZEVP_DisplayValidationMessage(ZEVPV77E, nullptr);
      return false;
    }
    // A negative offset would test bytes before the value.
    if (offset < 0) {
      ZEVP_DisplayValidationMessage(ZEVPV70E, offsetText.c_str());
      return false;
    }
    if (offset > attribute->MaxValSize) {
      showWithNumbers(ZEVPV71E, "offset %ld defined attribute value size %ld", offset, attribute->MaxValSize);
      return false;
    }
  }

  if (isTextTerm(kind)) {
    if (value.size() > attribute->MaxValSize) {
      showWithNumbers(ZEVPV72E, "string size %ld defined attribute value size %ld", static_cast<long>(value.size()),
                      attribute->MaxValSize);
      return false;
    }
    auto* compare = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(value.size()) + 1));
    if (compare == nullptr) return false;
    std::memcpy(compare, value.c_str(), value.size() + 1);
    term->CompareString = compare;
  } else {
    int32_t number = zevp::DecimalValue(value.c_str());
    if (number > attribute->MaxSize) {
      showWithNumbers(ZEVPV72E, "filter value %ld defined attribute max value %ld", number, attribute->MaxSize);
      return false;
    }
    term->CompareNumber = number;
  }
  term->Kind = kind;
  term->Offset = offset;
  return true;
}

// The operator of a logic word between two terms.
char logicOperator(const std::string& word) {
  if (word == "AND" || word == "&") return '&';
  if (word == "OR" || word == "|") return '|';
  ZEVP_DisplayValidationMessage(ZEVPV74W, word.c_str());
  return '|';
}

}  // namespace

namespace zevp {

void ParseAttributeFilter(AttributeEntry* attribute, const char* filterText) {
  std::string text = filterText;
  attribute->FilterAccept = text.empty() || text[0] != '-' ? 1 : 0;
  attribute->FilterLogic = ' ';
  attribute->FilterTermCount = 0;
  size_t end = text.find('}');
  if (end != std::string::npos) text.resize(end);
  size_t brace = text.find('{');
  if (brace == std::string::npos) {
    ZEVP_DisplayValidationMessage(ZEVPV67E, text.c_str());
    return;
  }
  size_t position = brace + 1;
  while (attribute->FilterTermCount < ZEVP_FILTER_TERMS_MAX) {
    skipBlanks(text, &position);
    if (position >= text.size()) return;
    size_t close = text.find(')', position);
    if (close == std::string::npos) {
      ZEVP_DisplayValidationMessage(ZEVPV68E, text.substr(position).c_str());
      return;
    }
    AttributeFilterTerm term{};
    if (!parseTerm(attribute, text, position, close, &term)) return;
    attribute->FilterTerms[attribute->FilterTermCount++] = term;
    if (attribute->FilterTermCount == ZEVP_FILTER_TERMS_MAX) return;

    position = close + 1;
    skipBlanks(text, &position);
    size_t blank = text.find(' ', position);
    // A logic word with nothing after it joins nothing.
    if (position >= text.size() || blank == std::string::npos) return;
    char logic = logicOperator(zevp::UpperCased(text.substr(position, blank - position)));
    if (attribute->FilterLogic == ' ') {
      attribute->FilterLogic = logic;
    } else if (attribute->FilterLogic != logic) {
      ZEVP_DisplayValidationMessage(ZEVPV75W, nullptr);
      attribute->FilterLogic = '|';
    }
    position = blank + 1;
  }
}

}  // namespace zevp
