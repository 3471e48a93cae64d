#include "dp_start_table.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

// The names an argument may give: the first twelve types (NODP is a word of its own).
constexpr int32_t kNamedTypes = ZEV_DP_NODP;

void clear(DPstartTable* table) {
  std::memset(table->entries, 0, sizeof table->entries);
  table->DPsToStartCount = 0;
}

void addEntry(DPstartTable* table, int32_t type) {
  if (table->DPsToStartCount == DPstartTable::kRoom) {
    TRC(TRC_ERROR, "Error: DP <%s> not started: the start table holds %d data providers at most",
        DPtypeString[type], DPstartTable::kRoom);
    return;
  }
  DPstartEntry& entry = table->entries[table->DPsToStartCount++];
  std::snprintf(entry.typeName, sizeof entry.typeName, "%s", DPtypeString[type]);
  entry.type = type;
  entry.started = 0;
}

// The type with this name among the first twelve, or -1.
int32_t namedType(const char* name) {
  for (int32_t type = 0; type < kNamedTypes; ++type)
    if (std::strcmp(name, DPtypeString[type]) == 0) return type;
  return -1;
}

// The texts between commas that are not empty, in order.
std::vector<std::string> namesBetweenCommas(const std::string& text) {
  std::vector<std::string> names;
  size_t from = 0;
  while (from < text.size()) {
    size_t comma = text.find(',', from);
    if (comma == std::string::npos) comma = text.size();
    if (comma > from) names.push_back(text.substr(from, comma - from));
    from = comma + 1;
  }
  return names;
}

// A copy of the text in upper case; false (traced) when it cannot be made.
bool upperCase(const std::string& text, std::string* upper) {
  std::string copy = text;
  if (ZEV0_ConvertStringToUpper(copy.data(), 0) == nullptr) {
    TRC(TRC_ERROR, "Error: ZEV0_ConvertStringToUpper failed for <%s>", text.c_str());
    return false;
  }
  *upper = copy;
  return true;
}

// Appends a name and its comma when the list has room for them; traced when not.
void appendName(std::string* list, const std::string& name) {
  if (list->size() + name.size() + 1 > DPstartTable::kArgumentListRoom) {
    TRC(TRC_ERROR, "Error: Argument <%s> refused: the argument list holds %d characters at most", name.c_str(),
        static_cast<int>(DPstartTable::kArgumentListRoom));
    return;
  }
  *list += name;
  *list += ',';
}

// The product's own list of type numbers (item 18).
DPstartOutcome fromProductSpecification(const char* dpToStart, DPstartTable* table) {
  if (dpToStart == nullptr) {
    TRC(TRC_ERROR, "Error: ZEV0_QueryProductSpec(ZEV2_DP_TO_START) returned NULL.");
    return DPstartOutcome::fatal;
  }
  TRC(TRC_DETAIL, "ZEV0_QueryProductSpec(ZEV2_DP_TO_START) returned <%s>", dpToStart);
  for (const std::string& number : namesBetweenCommas(dpToStart)) {
    int type = std::atoi(number.c_str());
    if (type < 0 || type >= ZEV_DP_TYPE_COUNT) {
      TRC(TRC_ERROR, "Error: DP type <%s> of ZEV2_DP_TO_START is not a data-provider type; ignored", number.c_str());
      continue;
    }
    addEntry(table, type);
  }
  if (table->DPsToStartCount > 0) return DPstartOutcome::ready;
  TRC(TRC_ERROR, "Error: processing DPs to start from <%s>", dpToStart);
  return DPstartOutcome::fatal;
}

// The argument list from the command line; false when an argument could not be read.
bool listArguments(const std::vector<std::string>& arguments, std::string* list, bool* lastWasTest) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string argument;
    if (!upperCase(arguments[i], &argument)) return false;
    TRC(TRC_DETAIL, "DV Argument %d was <%s>", static_cast<int>(i + 1), argument.c_str());
    *lastWasTest = argument == "TEST";
    if (list->find(argument) != std::string::npos) {
      TRC(TRC_ERROR, "Warning: Argument <%s> specified more than once.", argument.c_str());
      continue;
    }
    appendName(list, argument);
  }
  return true;
}

// ZEVA_STARTUP_DP's names in place of the list; false when the value could not be read.
bool listStartupVariable(const char* startupDP, std::string* list) {
  std::string names;
  if (!upperCase(startupDP, &names)) return false;
  list->clear();
  for (const std::string& name : namesBetweenCommas(names)) appendName(list, name);
  return true;
}

// Each name of the list in turn.
void enterNames(const std::string& list, DPstartTable* table) {
  const bool asfsServesTheRest = list.find("ASFS") != std::string::npos;
  int number = 0;
  for (const std::string& name : namesBetweenCommas(list)) {
    ++number;
    TRC(TRC_DETAIL, "Processing argument %d <%s>", number, name.c_str());
    if (name == DPtypeString[ZEV_DP_NODP]) {
      clear(table);
      return;
    }
    if (name == "TEST" || name == "ZEVCMA_PRIMARY") continue;
    int32_t type = namedType(name.c_str());
    if (type < 0) {
      TRC(TRC_ERROR, "Error: DV Argument %d of <%s> is invalid.", number, name.c_str());
    } else if (asfsServesTheRest && (type == ZEV_DP_FILE || type == ZEV_DP_SOCK || type == ZEV_DP_APIS)) {
      TRC(TRC_ERROR, "Warning: Argument <%s> is not valid combined with argument ASFS.", name.c_str());
    } else {
      addEntry(table, type);
    }
  }
}

}  // namespace

DPstartOutcome buildDPstartTable(const DPstartInputs& inputs, DPstartTable* table) {
  clear(table);
  if (inputs.packagedProduct != nullptr) return fromProductSpecification(inputs.dpToStart, table);

  std::string list;
  bool lastWasTest = false;
  if (!listArguments(inputs.arguments, &list, &lastWasTest)) return DPstartOutcome::errorFlag;
  if ((list.empty() || lastWasTest) && inputs.startupDP != nullptr &&
      !listStartupVariable(inputs.startupDP, &list))
    return DPstartOutcome::errorFlag;
  enterNames(list, table);

  const bool noArguments = inputs.arguments.empty() || (inputs.arguments.size() == 1 && lastWasTest);
  if (noArguments && inputs.startupDP == nullptr) {
    TRC(TRC_DETAIL, "No command line arguments: Starting DP ASFS thread.");
    clear(table);
    addEntry(table, ZEV_DP_ASFS);
  }
  return DPstartOutcome::ready;
}
