#include "zev0/hostnames.h"

#include <cstring>

#include "zev0/storage.h"

namespace {

constexpr int32_t kServiceTextSize = 64;

// Tested from the top layer down by magnitude, not by bit: 16 names four layers.
struct ServiceLayer {
  int above;
  int weight;
  const char* name;
};

constexpr ServiceLayer kLayers[] = {
    {63, 64, "Applications,"}, {7, 8, "Hosts,"}, {3, 4, "Gateways,"}, {1, 2, "Bridges,"}, {0, 1, "Repeaters,"},
};

}  // namespace

char* ZEV0_DetermineNodeServiceType(int services) {
  auto* text = static_cast<char*>(ZEV0_GetStorage(kServiceTextSize));
  if (text == nullptr) return nullptr;
  std::memset(text, 0, kServiceTextSize);
  if (services <= 0) {
    std::strcpy(text, "Unspecified");
    return text;
  }
  // Each layer is named at most once, so the text stays well inside the block.
  int rest = services;
  for (const ServiceLayer& layer : kLayers) {
    if (rest <= layer.above) continue;
    std::strcat(text, layer.name);
    rest -= layer.weight;
  }
  text[std::strlen(text) - 1] = '\0';
  return text;
}
