// Affinity tables of a test, installed for the life of the object; the known features
// are built from them (and from the compiled tables again at the end).
#pragma once

#include "product_affinity.h"
#include "zev0/affinity_table.h"

class InstalledAffinityTables {
 public:
  InstalledAffinityTables(const AffinityEntry* map, const AffinityText* mapText)
      : previous_(zev0::SetAffinityTables({map, mapText})) {
    ZEVS_InitializePlovenFeatureArray();
  }
  ~InstalledAffinityTables() {
    zev0::SetAffinityTables(previous_);
    ZEVS_InitializePlovenFeatureArray();
  }
  InstalledAffinityTables(const InstalledAffinityTables&) = delete;
  InstalledAffinityTables& operator=(const InstalledAffinityTables&) = delete;

 private:
  zev0::AffinityTables previous_;
};
