#include "product_affinity.h"

#include <cctype>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "trc1.h"
#include "zev0/affinity_table.h"
#include "zev0/storage.h"

TRC_UNIT();

const char ZeroAffinity[ZEVS_AFFINITY_LENGTH + 1] = "0000000000000000000000000000000000000000000";
const char NoneAffinity[ZEVS_AFFINITY_LENGTH + 1] = "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00000000000";

namespace {

constexpr size_t kProductLength = 32;
constexpr size_t kFeatureStart = 34;
constexpr int kFeatureGroups = 9;
// A feature character stands for its place in this alphabet (from 1), a set of up to
// six bits; the single-bit characters are those of the values 1, 2, 4, 8, 16, 32.
constexpr char kFeatureAlphabet[] = "123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz*#";
constexpr char kSingleBitCharacters[] = "1248GW";

struct KnownFeature {
  std::string key;  // nine feature characters
  std::string text;
};

std::mutex featureMutex;
std::vector<KnownFeature> knownFeatures;  // featureMutex

char* NewCopy(const char* text, size_t length) {
  char* copy = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(length + 1)));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

const char* DisplayText(const AffinityText* mapText, uint32_t affinityId) {
  for (const AffinityText* row = mapText; row->text != nullptr; ++row)
    if (row->affinityId == affinityId) return row->text;
  return nullptr;
}

// The text of the known feature of the key, or null; under featureMutex.
const std::string* FeatureText(const char* key) {
  for (const KnownFeature& feature : knownFeatures)
    if (feature.key == key) return &feature.text;
  return nullptr;
}

// Writes "<text>, " at out when it fits in room bytes with its NUL: the characters
// written, else 0.
size_t WriteFeature(char* out, size_t room, const std::string& text) {
  size_t length = text.size() + 2;
  if (length >= room) return 0;
  std::memcpy(out, text.data(), text.size());
  std::memcpy(out + text.size(), ", ", 3);
  return length;
}

}  // namespace

char* ZEVS_CheckValidAffinity(const char* text) {
  if (text != nullptr && strnlen(text, ZEVS_AFFINITY_LENGTH) == ZEVS_AFFINITY_LENGTH &&
      std::isdigit(static_cast<unsigned char>(text[0])) &&
      std::strncmp(text, ZeroAffinity, ZEVS_AFFINITY_LENGTH) != 0)
    return NewCopy(text, ZEVS_AFFINITY_LENGTH);
  TRC(TRC_ERROR, "Invalid affinity string from agent. No affinity assumed");
  return NewCopy(NoneAffinity, ZEVS_AFFINITY_LENGTH);
}

const char* ZEVS_LocateProductNameFromAffinity(const char* affinity) {
  TRC(TRC_DETAIL, "Locate product using affinity %s", affinity != nullptr ? affinity : "(null)");
  zev0::AffinityTables tables = zev0::CurrentAffinityTables();
  uint32_t affinityId = 0;
  if (affinity != nullptr && strnlen(affinity, kProductLength) == kProductLength)
    for (const AffinityEntry* row = tables.map; row->firstNumber != 0; ++row)
      if (std::strncmp(row->code, affinity, kProductLength) == 0) {
        affinityId = row->firstNumber;
        break;
      }
  TRC(TRC_DETAIL, "Affinity ID %d", static_cast<int>(affinityId));
  const char* name = affinityId != 0 ? DisplayText(tables.mapText, affinityId) : nullptr;
  if (name == nullptr) name = "Unknown Product";
  TRC(TRC_DETAIL, "Product name %s", name);
  return name;
}

void ZEVS_InitializePlovenFeatureArray() {
  zev0::AffinityTables tables = zev0::CurrentAffinityTables();
  std::lock_guard<std::mutex> hold(featureMutex);
  knownFeatures.clear();
  for (const AffinityEntry* row = tables.map; row->firstNumber != 0; ++row) {
    if (std::strncmp(row->name, "AFF_FEAT_", 9) != 0 || std::strlen(row->code) < ZEVS_AFFINITY_LENGTH) continue;
    const char* text = DisplayText(tables.mapText, row->firstNumber);
    if (text == nullptr) continue;
    while (*text == '_') ++text;
    knownFeatures.push_back({std::string(row->code + kFeatureStart, kFeatureGroups), text});
  }
  TRC(TRC_DETAIL, "Total %d affinity feature definition found", static_cast<int>(knownFeatures.size()));
  if (TRC_ON(TRC_DETAIL)) {
    TRC(TRC_DETAIL, "The following feature definitions found:");
    for (const KnownFeature& feature : knownFeatures)
      TRC(TRC_DETAIL, "Affinity %s - %s", feature.key.c_str(), feature.text.c_str());
  }
}

int FormFeatureTextOutput(char* out, size_t room, const char* key) {
  if (out == nullptr || key == nullptr) return 0;
  std::lock_guard<std::mutex> hold(featureMutex);
  const std::string* text = FeatureText(key);
  return text != nullptr ? static_cast<int>(WriteFeature(out, room, *text)) : 0;
}

char* ZEVS_ConstructProductFeatureString(const char* affinity) {
  char* result = static_cast<char*>(ZEV0_GetStorage(ZEVS_FEATURE_TEXT_CAPACITY));
  if (result == nullptr) return nullptr;
  std::strcpy(result, " ");
  if (affinity == nullptr || strnlen(affinity, ZEVS_AFFINITY_LENGTH) < ZEVS_AFFINITY_LENGTH) return result;
  const char* features = affinity + kFeatureStart;
  bool reported = false;
  size_t used = 0;
  std::lock_guard<std::mutex> hold(featureMutex);
  for (int group = kFeatureGroups - 1; group >= 0; --group) {
    if (features[group] == '0') continue;
    reported = true;
    const char* place = std::strchr(kFeatureAlphabet, features[group]);
    if (place == nullptr) continue;
    int value = static_cast<int>(place - kFeatureAlphabet) + 1;
    for (int bit = 0; bit < 6; ++bit) {
      if ((value & (1 << bit)) == 0) continue;
      char key[kFeatureGroups + 1] = "000000000";
      key[group] = kSingleBitCharacters[bit];
      const std::string* text = FeatureText(key);
      if (text == nullptr) continue;
      size_t written = WriteFeature(result + used, ZEVS_FEATURE_TEXT_CAPACITY - used, *text);
      // Once a text does not fit, none after it is appended.
      if (written == 0) return result;
      used += written;
    }
  }
  if (!reported) std::strcpy(result, "No feature reported");
  return result;
}
