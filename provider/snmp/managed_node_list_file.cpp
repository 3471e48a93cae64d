#include "managed_node_list_file.h"

#include <cctype>

#include "managed_node_list.h"
#include "trc1.h"
#include "zev0/text_files.h"

TRC_UNIT();

namespace {

constexpr char kBlanks[] = " \t";

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

std::string_view LeadingBlanksSkipped(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  for (;;) {
    text = LeadingBlanksSkipped(text);
    if (text.empty()) return words;
    size_t end = text.find_first_of(kBlanks);
    words.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) return words;
    text.remove_prefix(end);
  }
}

struct Filter {
  int32_t type = ZEVP_FILTER_NONE;
  std::string value;
};

Filter NameFilter(std::string_view value) {
  if (value.empty() || value[0] != '*') return {ZEVP_FILTER_NAME_STARTS, std::string(value.substr(0, value.find('*')))};
  value.remove_prefix(std::min(value.find_first_not_of('*'), value.size()));
  size_t star = value.find('*');
  if (star == std::string_view::npos) return {ZEVP_FILTER_NAME_ENDS, std::string(value)};
  return {ZEVP_FILTER_NAME_CONTAINS, std::string(value.substr(0, star))};
}

Filter TypeFilter(std::string_view value) {
  static constexpr struct {
    char letter;
    const char* word;
  } kTypes[] = {{'A', "Applications "}, {'H', "Hosts "}, {'G', "Gateways "}, {'B', "Bridges "}, {'R', "Repeaters "}};
  const std::string letters = Upper(value);
  std::string types;
  for (const auto& type : kTypes)
    if (letters.find(type.letter) != std::string::npos) types += type.word;
  return {ZEVP_FILTER_NODE_TYPE, types};
}

Filter DescriptionFilter(std::string_view value) {
  if (!value.empty() && value[0] == '\'') value.remove_prefix(1);
  size_t quote = value.rfind('\'');
  if (quote != std::string_view::npos) value = value.substr(0, quote);
  return {ZEVP_FILTER_DESCRIPTION, std::string(value)};
}

// The filter of a FILTER= line's text after its "(": kind and value; type none
// for an unknown kind.
Filter FilterOf(std::string_view text) {
  size_t close = text.rfind(')');
  if (close != std::string_view::npos) text = text.substr(0, close);
  text = LeadingBlanksSkipped(text);
  size_t end = std::min(text.find_first_of(kBlanks), text.size());
  const std::string kind = Upper(text.substr(0, end));
  std::string_view value = LeadingBlanksSkipped(text.substr(end));
  if (kind == "NAME") return NameFilter(value.substr(0, value.find_first_of(kBlanks)));
  if (kind == "TYPE") return TypeFilter(value.substr(0, value.find_first_of(kBlanks)));
  if (kind == "DESC") return DescriptionFilter(value);
  if (kind == "EOID") return {ZEVP_FILTER_ENTERPRISE_OID, std::string(value.substr(0, value.find_first_of(kBlanks)))};
  return {};
}

const char* FilterTypeText(int32_t type) {
  static constexpr const char* kTexts[] = {"None", "NameStarts", "NameEnds", "NameContains", "Type", "Desc", "EOID"};
  return type >= 0 && type <= ZEVP_FILTER_ENTERPRISE_OID ? kTexts[type] : "?";
}

}  // namespace

ManagedNodeListText ZEVP_ReadManagedNodeListText(FILE* file, const char* fileName) {
  ManagedNodeListText list;
  bool named = false;
  bool filtered = false;
  std::string line;
  bool tooLong = false;
  while (zev0::NextTextLine(file, &line, ZEVP_LIST_LINE_MAX, &tooLong)) {
    if (tooLong) {
      TRC(TRC_ERROR, "***** Line of more than %zu characters in file %s bypassed", ZEVP_LIST_LINE_MAX, fileName);
      continue;
    }
    if (line.empty() || line[0] == '*') continue;
    const std::string upper = Upper(line);
    if (upper.find("LISTNAME=") != std::string::npos) {
      std::string_view name = LeadingBlanksSkipped(std::string_view(line).substr(line.find('=') + 1));
      list.listName = std::string(name.substr(0, ZEVP_LIST_NAME_MAX));
      if (named)
        TRC(TRC_ERROR,
            "Warning: More than one LISTNAME statement found in input file %s.  Only the last LISTNAME will be "
            "used: %s",
            fileName, list.listName.c_str());
      named = true;
    } else if (upper.find("FILTER=") != std::string::npos) {
      size_t open = line.find('(');
      if (open == std::string::npos) continue;
      Filter filter = FilterOf(std::string_view(line).substr(open + 1));
      list.filterType = filter.type;
      list.filterValue = filter.value;
      if (filtered)
        TRC(TRC_ERROR,
            "Warning: More than one FILTER statement found in input file %s.  Only the last FILTER will be used: "
            "Type <%s> Value <%s>",
            fileName, FilterTypeText(filter.type), filter.value.c_str());
      filtered = true;
    } else {
      for (std::string& word : Words(line)) list.nodeWords.push_back(std::move(word));
    }
  }
  return list;
}

ManagedNodeWord ZEVP_SplitManagedNodeWord(std::string_view word) {
  ManagedNodeWord node;
  if (!word.empty() && word[0] == '-') {
    node.excluded = true;
    word.remove_prefix(1);
  }
  size_t open = word.find('[');
  if (open != std::string_view::npos) {
    std::string_view digits = word.substr(open + 1);
    if (digits.empty() || digits.back() != ']') return node;
    digits.remove_suffix(1);
    if (digits.empty() || digits.size() > 5) return node;
    uint32_t port = 0;
    for (char c : digits) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return node;
      port = port * 10 + static_cast<uint32_t>(c - '0');
    }
    if (port == 0 || port > 65535) return node;
    node.port = static_cast<uint16_t>(port);
    word = word.substr(0, open);
  }
  node.name = std::string(word);
  node.valid = !node.name.empty();
  return node;
}

std::string ZEVP_DefaultManagedNodeListName(const char* inputFileName) {
  std::string name = std::string(inputFileName).substr(0, ZEVP_LIST_NAME_MAX);
  return name.substr(0, name.find('.'));
}
