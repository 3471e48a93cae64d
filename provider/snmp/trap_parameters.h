// What a TRAPEMIT action asks for: the keyword values of its parameter text, and
// the destination hosts as socket addresses on the trap port.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>

constexpr uint16_t ZEVP_SNMP_TRAP_PORT = 162;
constexpr size_t ZEVP_TRAP_PREDICATES_MAX = 325;
constexpr size_t ZEVP_TRAP_ATTRIBUTE_LIST_MAX = 1024;

// The value of KEYWORD( anywhere in the text (case-sensitive) up to the next ')',
// or to the end without one; none when the keyword is missing or its value empty.
std::optional<std::string> TrapParameter(const char* text, const char* keyword);

struct TrapRequest {
  std::optional<std::string> destinations;  // DEST(
  std::optional<std::string> situation;     // SIT(
  std::optional<std::string> time;          // TIME(
  std::optional<std::string> node;          // NODE(
  std::optional<std::string> severity;      // SEV(
  std::optional<std::string> category;      // CAT(
  std::optional<std::string> predicates;    // PRED(, cut to ZEVP_TRAP_PREDICATES_MAX
  std::optional<std::string> attributes;    // LIST(, ';' made ',', cut to ZEVP_TRAP_ATTRIBUTE_LIST_MAX
};

// The request of an action's parameter text (null: nothing asked).
TrapRequest ParseTrapRequest(const char* parameters);

// The severity and category codes of their names (exact): 2 and 0 for a name
// missing or unknown.
int32_t TrapSeverityCode(const std::optional<std::string>& name);
int32_t TrapCategoryCode(const std::optional<std::string>& name);

// The comma-separated hosts as a new array (ZEV0_FreeStorage) of IPv4 socket
// addresses on port 162, one slot per element counted (the commas, plus one when
// text follows the last); an empty element, or one that does not resolve, keeps
// address 0. Null with *count 0 for no list.
sockaddr_in* ZEVP_ConstructTrapDestinationArray(const char* hosts, int32_t* count);
