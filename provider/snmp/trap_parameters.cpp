#include "trap_parameters.h"

#include <algorithm>
#include <cstring>

#include "trc1.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int32_t kDefaultSeverity = 2;
constexpr int32_t kDefaultCategory = 0;

constexpr const char* SevTextArray[] = {"Cleared", "Indeterminate", "Warning", "Minor error", "Critical", "Major"};
constexpr const char* CatTextArray[] = {"Threshold_Events",          "Network_Topology_Events", "Error_Events",
                                        "Status_Events",             "Node_Configuration_Events",
                                        "Application_Alert_Events",  "All_Category_Events",
                                        "Log_Only_Events",           "Map_Events"};

template <size_t N>
int32_t positionOf(const std::optional<std::string>& name, const char* const (&names)[N], int32_t otherwise) {
  if (!name) return otherwise;
  for (size_t i = 0; i < N; ++i)
    if (*name == names[i]) return static_cast<int32_t>(i);
  return otherwise;
}

void cut(std::optional<std::string>& value, size_t limit, const char* what) {
  if (!value || value->size() <= limit) return;
  value->resize(limit);
  TRC(TRC_ERROR, "Trap %s truncated to maximum %d", what, static_cast<int>(limit));
}

}  // namespace

std::optional<std::string> TrapParameter(const char* text, const char* keyword) {
  if (text == nullptr) return std::nullopt;
  const char* found = std::strstr(text, keyword);
  if (found == nullptr) return std::nullopt;
  const char* value = found + std::strlen(keyword);
  const char* end = std::strchr(value, ')');
  std::string result = end != nullptr ? std::string(value, end) : std::string(value);
  if (result.empty()) return std::nullopt;
  return result;
}

TrapRequest ParseTrapRequest(const char* parameters) {
  const char* text = parameters;
  if (text != nullptr) text += std::strspn(text, " ");
  TrapRequest request;
  request.destinations = TrapParameter(text, "DEST(");
  request.situation = TrapParameter(text, "SIT(");
  request.time = TrapParameter(text, "TIME(");
  request.node = TrapParameter(text, "NODE(");
  request.severity = TrapParameter(text, "SEV(");
  request.category = TrapParameter(text, "CAT(");
  request.predicates = TrapParameter(text, "PRED(");
  cut(request.predicates, ZEVP_TRAP_PREDICATES_MAX, "predicates");
  request.attributes = TrapParameter(text, "LIST(");
  if (request.attributes) std::replace(request.attributes->begin(), request.attributes->end(), ';', ',');
  cut(request.attributes, ZEVP_TRAP_ATTRIBUTE_LIST_MAX, "attribute list");
  return request;
}

int32_t TrapSeverityCode(const std::optional<std::string>& name) {
  return positionOf(name, SevTextArray, kDefaultSeverity);
}

int32_t TrapCategoryCode(const std::optional<std::string>& name) {
  return positionOf(name, CatTextArray, kDefaultCategory);
}

sockaddr_in* ZEVP_ConstructTrapDestinationArray(const char* hosts, int32_t* count) {
  *count = 0;
  if (hosts == nullptr || *hosts == '\0') {
    TRC(TRC_DETAIL, "No customized SNMP trap destination defined");
    return nullptr;
  }
  const std::string list(hosts);
  const auto commas = static_cast<int32_t>(std::count(list.begin(), list.end(), ','));
  const int32_t slots = commas + (list.back() != ',' ? 1 : 0);
  auto* array = static_cast<sockaddr_in*>(ZEV0_GetStorage(static_cast<int32_t>(sizeof(sockaddr_in)) * slots));
  if (array == nullptr) {
    TRC(TRC_ERROR, "*****no storage for %d trap destinations", slots);
    return nullptr;
  }
  size_t from = 0;
  for (int32_t slot = 0; slot < slots; ++slot) {
    size_t comma = list.find(',', from);
    std::string element = list.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    from = comma + 1;
    sockaddr_in& address = array[slot];
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(ZEVP_SNMP_TRAP_PORT);
    element.erase(0, element.find_first_not_of(' '));
    if (!element.empty()) ZEV0_ConvertNameToAddr(element.c_str(), ZEVP_SNMP_TRAP_PORT, &address);
  }
  *count = slots;
  return array;
}
