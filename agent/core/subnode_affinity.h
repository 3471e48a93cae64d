// The 43-character affinity with which the agent registers its subnodes: the first 32
// characters of the product's subnode affinity code and an 11-character feature code.
#pragma once

constexpr int kSubnodeAffinitySize = 44;

// affinityCode: the product specification's subnode affinity code (null when missing);
// packagedProduct: its packaged-product item (null for the default product); feature: its
// subnode feature item (null when missing). The feature code is the item (at most 11
// characters of it) for a packaged product, or zeros when it has none; else
// "00000000071". False when the affinity code is missing.
bool buildSubnodeAffinity(const char* affinityCode, const char* packagedProduct, const char* feature,
                          char (&affinity)[kSubnodeAffinitySize]);
