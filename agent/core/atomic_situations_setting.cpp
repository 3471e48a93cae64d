#include "atomic_situations_setting.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "agent_limits.h"
#include "atomic_situation_list.h"
#include "env_limit.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr size_t kWorkAreaSize = 2048;
constexpr size_t kNameLimit = 35;

// One "name:column" piece; true when the pair was added.
bool addEntry(const std::string& entry, atomicSituationList* list) {
  size_t nameStart = entry.find_first_not_of(':');
  if (nameStart == std::string::npos) {
    TRC(TRC_ERROR, "Error: invalid situation name:column number specification in <%s>", entry.c_str());
    return false;
  }
  size_t colon = entry.find(':', nameStart);
  std::string name = entry.substr(nameStart, colon == std::string::npos ? std::string::npos : colon - nameStart);
  name.erase(0, name.find_first_not_of(' ') == std::string::npos ? name.size() : name.find_first_not_of(' '));
  if (name.size() >= kNameLimit) {
    TRC(TRC_ERROR, "Error: specified atomic situation name <%s> is too long", name.c_str());
    return false;
  }
  std::string column = colon == std::string::npos ? "" : entry.substr(colon + 1);
  if (column.empty()) {
    TRC(TRC_ERROR, "Error: column number not specified for atomic situation <%s>", name.c_str());
    return false;
  }
  int columnNumber = decimalAsAtoi(column.c_str());
  if (columnNumber <= 0 || columnNumber >= Max_IB_Columns()) {
    TRC(TRC_ERROR, "Error: invalid column value <%s> specified for atomic situation <%s>", column.c_str(),
        name.c_str());
    return false;
  }
  TRC(TRC_DETAIL, "Atomic column number <%d>", columnNumber);
  return list->addEntry(name.c_str(), columnNumber) != nullptr;
}

}  // namespace

int addAtomicSituations(const char* setting, atomicSituationList* list) {
  if (setting == nullptr || list == nullptr) return 0;
  // Cutting the value to the work area could change the last column number.
  if (std::strlen(setting) >= kWorkAreaSize) {
    TRC(TRC_ERROR, "Error: ZEVA_ATOMIC_SITUATIONS of %zu characters does not fit its %zu-byte work area; ignored",
        std::strlen(setting), kWorkAreaSize);
    return 0;
  }
  int added = 0;
  std::string value = setting;
  for (size_t start = 0; start <= value.size();) {
    size_t comma = value.find(',', start);
    size_t end = comma == std::string::npos ? value.size() : comma;
    if (end > start && addEntry(value.substr(start, end - start), list)) ++added;
    start = end + 1;
  }
  return added;
}
