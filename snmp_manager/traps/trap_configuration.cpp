// The current trap configuration: loading it from the file, looking traps up in
// it, dropping it.
#include "trap_configuration.h"

#include <cerrno>
#include <memory>
#include <mutex>

#include "engine_routines.h"
#include "trap_monitor.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/env.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr int32_t kConfigurationLoaded = 102;

// Guards TCB. A load builds its block before it takes the lock, so a look-up
// waits only for the exchange; the found texts are copied under the lock, since a
// reload may free them as soon as it is released.
std::mutex TrapConfigurationLock;
std::unique_ptr<TrapConfigurationBlock> TCB;

// The file's full name, or empty when none is set.
std::string ConfigurationFileName() {
  const char* name = ZEV0_GetEnv("ZEVP_SNMP_TRAPCNFG_FILE", nullptr);
  if (name == nullptr || name[0] == '\0') name = ZEV0_QueryProductSpec(ZEV2_TRAPCNFG_FILENAME);
  if (name == nullptr || name[0] == '\0') return "";
  if (ZEV0_IsThisFullyQualifiedName(name)) return name;
  char* full = ZEV0_ConstructFullyQualifiedName(nullptr, name);
  std::string fullName = full != nullptr ? full : "";
  ZEV0_FreeStorage(&full);
  return fullName;
}

void TraceSlots(const char* heading, const std::vector<TrapSlot>& slots) {
  TRC(TRC_DETAIL, "%s", heading);
  for (size_t number = 0; number < slots.size(); ++number)
    if (slots[number]) TRC(TRC_DETAIL, "%d - [%s]", static_cast<int>(number), slots[number]->c_str());
}

void TraceConfiguration(const TrapConfigurationBlock& block) {
  TraceSlots("----------Trap Categories-----------------", block.categories);
  TraceSlots("----------Trap Severities-----------------", block.severities);
  TRC(TRC_DETAIL, "----------Trap Source IDs-----------------");
  for (const TrapSource& source : block.sources) TRC(TRC_DETAIL, "%s - [%s]", source.id.c_str(), source.text.c_str());
  TraceSlots("----------Trap Status---------------------", block.statuses);
  TRC(TRC_DETAIL, "----------Enterprise Definitions----------");
  for (const TrapEnterprise& enterprise : block.enterprises)
    TRC(TRC_DETAIL, "OID->[%s] Name->[%s]", enterprise.oid.c_str(), enterprise.name.c_str());
  TRC(TRC_DETAIL, "----------Trap Specification--------------");
  for (const TrapSpecification& spec : block.specifications)
    TRC(TRC_DETAIL, "OID->[%s] Name->[%s] Gen# %d App# %d Cat [%s] Sev# %d [%s]", spec.enterpriseOID.c_str(),
        spec.name.c_str(), spec.generic, spec.specific, spec.categoryText.c_str(), spec.severity,
        spec.severityText.c_str());
  TRC(TRC_DETAIL, "---------- End of Trap configuration Definition ----------");
}

}  // namespace

void ZEVS_LoadTrapConfigurationFile(TrapManagementEntry* entry) {
  std::string fileName = ConfigurationFileName();
  if (fileName.empty()) {
    TRC(TRC_DETAIL, "No trap configuration file name defined. Load trap configuration bypassed");
    return;
  }
  FILE* file = std::fopen(fileName.c_str(), "re");
  if (file == nullptr) {
    TRC(TRC_ERROR, "*****unable to open SNMP Trap Config file %s errno %d", fileName.c_str(), errno);
    return;
  }
  TRC(TRC_DETAIL, ">>>>>Loading SNMP trap configuration file %s", fileName.c_str());
  auto block = std::make_unique<TrapConfigurationBlock>(
      zevs::ParseTrapConfiguration(file, zevs::TrapSectionKeywordsFromEnvironment()));
  std::fclose(file);
  TraceConfiguration(*block);
  {
    std::lock_guard<std::mutex> lock(TrapConfigurationLock);
    TCB.swap(block);
  }
  if (block != nullptr) TRC(TRC_DETAIL, "Freeing Trap Configuration Block @%p", static_cast<void*>(block.get()));
  if (entry == nullptr) {
    TRC(TRC_DETAIL, "Save TCB to TME bypassed");
    return;
  }
  TRC(TRC_DETAIL, "Save TCB to TME @%p", static_cast<void*>(entry));
  zevp::Routines().sendDPlogMessage(entry->anchor, kConfigurationLoaded, fileName.c_str(), nullptr, nullptr, nullptr,
                                    nullptr);
}

bool ZEVS_LocateTrapSpec(const char* oid, int32_t generic, int32_t specific, TrapSpecification* found) {
  if (oid == nullptr) return false;
  std::lock_guard<std::mutex> lock(TrapConfigurationLock);
  if (TCB == nullptr) return false;
  for (const TrapSpecification& spec : TCB->specifications) {
    if (spec.generic == generic && spec.specific == specific && spec.enterpriseOID == oid) {
      *found = spec;
      return true;
    }
  }
  return false;
}

void ZEVS_ReleaseTrapConfigurationArrays() {
  std::unique_ptr<TrapConfigurationBlock> released;
  {
    std::lock_guard<std::mutex> lock(TrapConfigurationLock);
    released.swap(TCB);
  }
  if (released != nullptr)
    TRC(TRC_DETAIL, "Freeing Trap Configuration Block @%p", static_cast<void*>(released.get()));
}
