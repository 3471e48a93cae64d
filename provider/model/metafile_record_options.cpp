#include "metafile_record_options.h"

#include <initializer_list>

#include "metafile_numbers.h"
#include "metafile_text.h"
#include "validation_messages.h"

namespace {

constexpr size_t npos = std::string::npos;

// The first place where one of the spellings stands, and the length of that one.
size_t findAny(const std::string& record, std::initializer_list<const char*> spellings, size_t* length) {
  size_t found = npos;
  for (const char* spelling : spellings) {
    size_t at = record.find(spelling);
    if (at < found) {
      found = at;
      *length = std::char_traits<char>::length(spelling);
    }
  }
  return found;
}

// The text after the option's "=", leading blanks skipped, up to the next blank.
bool wordAfter(const std::string& record, std::initializer_list<const char*> spellings, std::string* word) {
  size_t length = 0;
  size_t at = findAny(record, spellings, &length);
  if (at == npos) return false;
  size_t start = record.find_first_not_of(' ', at + length);
  if (start == npos) {
    word->clear();
    return true;
  }
  size_t end = record.find(' ', start);
  *word = record.substr(start, end == npos ? npos : end - start);
  return true;
}

// SKEY= and SEQ=: a number, or a word beginning SUM.
bool numberAfter(const std::string& record, std::initializer_list<const char*> spellings, int32_t sumValue,
                 int32_t* value) {
  std::string word;
  if (!wordAfter(record, spellings, &word)) return false;
  *value = (word.compare(0, 3, "SUM") == 0 || word.compare(0, 3, "sum") == 0) ? sumValue
                                                                               : zevp::DecimalValue(word.c_str());
  return true;
}

void scanDelimiterOverride(const std::string& record, MetafileRecordOptions& options) {
  size_t length = 0;
  size_t at = findAny(record, {"DLM=", "dlm="}, &length);
  if (at == npos) return;
  size_t start = at + length;
  if (start < record.size() && zevp::IsQuote(record[start])) ++start;
  size_t lastQuote = record.find_last_of("'\"");
  size_t end = lastQuote != npos && lastQuote >= start ? lastQuote : record.size();
  std::string text = record.substr(start, end - start);
  if (text.empty() || text.size() > 2) {
    ZEVP_DisplayValidationMessage(ZEVPV82E, text.c_str());
    return;
  }
  options.delimiterOverride = text;
}

void scanAttributeOptions(std::string& record, MetafileRecordOptions& options) {
  if (record.find('(') != npos) {
    size_t length = 0;
    size_t at = findAny(record, {"REAL", "real"}, &length);
    if (at != npos) {
      options.real = true;
      record.replace(at, length, length, ' ');
    }
  }
  scanDelimiterOverride(record, options);
  options.hasSortKey = numberAfter(record, {"SKEY=", "skey="}, -1, &options.sortKey);
  options.hasOrderSequence = numberAfter(record, {"SEQ=", "seq="}, 0, &options.orderSequence);
  size_t length = 0;
  size_t at = findAny(record, {"ENUM{", "enum{"}, &length);
  size_t close = at != npos ? record.find('}', at) : npos;
  // The enumeration ends the record: a help text goes before it.
  if (close != npos) {
    options.enumeration = record.substr(at, close - at + 1);
    record.resize(at);
  }
}

void scanFilter(const std::string& record, MetafileRecordOptions& options) {
  size_t at = record.find("FILTER={");
  if (at == npos) return;
  if (at == 0 || (record[at - 1] != '+' && record[at - 1] != '-')) {
    ZEVP_DisplayValidationMessage(ZEVPV66E, nullptr);
    return;
  }
  options.hasFilter = true;
  options.filter = record.substr(at - 1);
}

// With a filter the help begins at the first '@' after the filter's '}',
// without one at the last '@' of the record.
void cutHelp(std::string& record, MetafileRecordOptions& options) {
  size_t at = npos;
  if (options.hasFilter) {
    size_t close = record.find('}', record.find("FILTER={"));
    if (close != npos) at = record.find('@', close);
  } else {
    at = record.rfind('@');
  }
  if (at == npos) return;
  size_t start = record.find_first_not_of(' ', at + 1);
  if (start != npos) {
    options.hasHelp = true;
    options.help = record.substr(start);
  }
  record.resize(at);
}

}  // namespace

namespace zevp {

void ScanRecordOptions(MetafileParseState& state, std::string& record) {
  MetafileRecordOptions& options = state.options;
  options = MetafileRecordOptions();
  wordAfter(record, {"MODULE=", "module="}, &options.moduleName);
  if (state.attributeSectionOpen) {
    scanAttributeOptions(record, options);
  } else {
    wordAfter(record, {"ManagedSystemName=", "MANAGEDSYSTEMNAME=", "managedsystemname="},
              &options.managedSystemName);
    size_t length = 0;
    size_t at = findAny(record, {"DSN=", "dsn="}, &length);
    if (at != npos) {
      size_t end = record.find(' ', at);
      options.dsn = record.substr(at, end == npos ? npos : end - at);
    }
  }
  scanFilter(record, options);
  std::vector<std::string> words = Words(record);
  bool attributesStatement = !words.empty() && UpperCased(words[0]) == "//ATTRIBUTES";
  if (!attributesStatement) cutHelp(record, options);
}

}  // namespace zevp
