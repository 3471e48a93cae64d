// The trap configuration: how a received trap is presented. For an enterprise OID
// with a generic and a specific trap number it gives the trap's name, category,
// severity, source, status, enterprise name and description
// (docs/trap-configuration-file.md). One configuration is current at a time; a
// load replaces it as a whole, also while the trap monitor looks traps up.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

struct TrapManagementEntry;

// The text of every field the file does not resolve.
extern const char TrapFieldNotDefined[];  // "Not Defined"

struct TrapSpecification {
  std::string enterpriseOID;  // dotted, without braces
  std::string name;
  std::string description;
  int32_t generic = 0;
  int32_t specific = 0;
  int32_t severity = 0;
  std::string sourceText = TrapFieldNotDefined;
  std::string severityText = TrapFieldNotDefined;
  std::string categoryText = TrapFieldNotDefined;
  std::string statusText = TrapFieldNotDefined;
  std::string enterpriseName = TrapFieldNotDefined;
};

struct TrapEnterprise {
  std::string oid;
  std::string name;
};

struct TrapSource {
  std::string id;
  std::string text;
};

// A slot the file counted but never filled (a number not given) holds nothing:
// look-ups and the trace pass it by.
using TrapSlot = std::optional<std::string>;

struct TrapConfigurationBlock {
  std::vector<TrapSlot> categories;  // index = category number
  std::vector<TrapSlot> severities;  // index = severity number
  std::vector<TrapSlot> statuses;    // index = status number
  std::vector<TrapSource> sources;   // in file order
  std::vector<TrapEnterprise> enterprises;
  std::vector<TrapSpecification> specifications;  // in file order
  // What the counting pass found; a section of none takes its default table.
  int32_t categoryCount = 0, severityCount = 0, sourceCount = 0, statusCount = 0;
  int32_t enterpriseCount = 0, specificationCount = 0;
};

// Loads the file that ZEVP_SNMP_TRAPCNFG_FILE (else the product's trap
// configuration item) names, in the work directory unless the name has a path,
// and makes it current. With an entry, data-provider log message 102 names the
// file. No name or an unreadable file keeps the configuration in force.
void ZEVS_LoadTrapConfigurationFile(TrapManagementEntry* entry);

// Copies the first trap entry, in file order, with this exact OID text and
// these numbers into *found: false when there is none (or no configuration). The
// copy stays valid whatever reloads follow.
bool ZEVS_LocateTrapSpec(const char* oid, int32_t generic, int32_t specific, TrapSpecification* found);

// Drops the current configuration.
void ZEVS_ReleaseTrapConfigurationArrays();

namespace zevs {

// The words that open the category, severity, source-id and status lines; the
// environment may rename them (ZEVP_SNMP_TRAPCNFG_CATEGORY, ..._SEVERITY,
// ..._SOURCEID, ..._STATUS), for counting and parsing alike.
struct TrapSectionKeywords {
  std::string category = "CATEGORY";
  std::string severity = "SEVERITY";
  std::string sourceId = "SOURCEID";
  std::string status = "STATUS";
};
TrapSectionKeywords TrapSectionKeywordsFromEnvironment();

// Reads the whole file in two passes (count, then parse) into a new block.
TrapConfigurationBlock ParseTrapConfiguration(FILE* file, const TrapSectionKeywords& keywords);

}  // namespace zevs
