#include "subnode_affinity.h"

#include <cstdio>

bool buildSubnodeAffinity(const char* affinityCode, const char* packagedProduct, const char* feature,
                          char (&affinity)[kSubnodeAffinitySize]) {
  if (affinityCode == nullptr) return false;
  const char* featureCode = "00000000071";
  if (packagedProduct != nullptr) featureCode = feature != nullptr ? feature : "00000000000";
  std::snprintf(affinity, sizeof affinity, "%.32s%.11s", affinityCode, featureCode);
  return true;
}
