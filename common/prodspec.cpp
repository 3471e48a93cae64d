// The product specification: read once per process from its scrambled file into
// a table of items that every part of the system queries by number.
#include "zev0/prodspec.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "zev0/affinity_table.h"
#include "prodspec_reading.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/env.h"
#include "zev0/scrambler.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr int kSlotCount = 256;
constexpr int kRecordSize = 512;  // 511 characters a record
constexpr int kDPlistSize = 80;
constexpr size_t AFF_FEATURE_BYTES = 11;
constexpr const char* kDefaultProductCode = "EV";
constexpr const char* kDefaultFileName = "ZEVPSF";

// The flag markers. Every other value in the table is a storage block of its own.
char selectedText[] = "Y";
char notSelectedText[] = "N";
char* const ProductSpecSelected = selectedText;
char* const ProductSpecNotSelected = notSelectedText;

char* ProductSpecValueArray[kSlotCount];
int ProductSpecInitialized = 0;

// Items 0, 5 and 7 have a blank keyword, which no record can match: the reader fills them.
const char* const ProductSpecNameArray[ZEV2_PRODSPEC_ITEM_COUNT] = {
    " ",
    "PRODUCT_CODE",
    "NODE_TYPE",
    "PRODUCT_NAME",
    "AGENT_AFF_NAME",
    " ",
    "SUBNODE_AFF_NAME",
    " ",
    "SUBNODE_AFF_FEAT",
    "REGISTER_DVAGENT",
    "ENABLE_SNMP_TRAP",
    "ENABLE_SNMP_DISCOVERY",
    "ENABLE_SNMP_MIBSTATUS",
    "ENABLE_PLOVENAGENT_DISCOVERY",
    "ENABLE_DISCOVERY_DATA_UPDATE",
    "ENABLE_DPLOG",
    "ENABLE_METAFILE_COMMANDS",
    "MANAGED_NETWORK_MS",
    "DP_TO_START",
    "METAFILES_TO_LOAD",
    "SNMP_HOTLIST_TO_LOAD",
    "SNMP_HOTLIST_TABLENAME",
    "DCH_PORT_NUMBER",
    "DP_PORT_OFFSET",
    "INITCNFG_FILE_NAME",
    "TRAPCNFG_FILE_NAME",
    "SNMPCOMM_FILE_NAME",
    "SNMPLIST_FILE_NAME",
    "SNMPNAME_FILE_NAME",
    "SNMPNETS_FILE_NAME",
    "SNMPROUT_FILE_NAME",
    "SNMPMIBI_FILE_NAME",
    "ZEVATBLS_FILE_NAME",
    "ZEVPURLS_FILE_NAME",
};

struct DefaultValue {
  int item;
  const char* text;  // the "Y" marker stands for itself
};

// What the default product takes for the items its file does not give.
const DefaultValue defaultProductValues[] = {
    {ZEV2_NODE_TYPE, "DV"},
    {ZEV2_PRODUCT_NAME, "Dorvane_Agent"},
    {ZEV2_AGENT_AFF_NAME, "AFF_DORVANE"},
    {ZEV2_SUBNODE_AFF_NAME, "AFF_DORVANE_DATA"},
    {ZEV2_SUBNODE_AFF_FEAT, "00000000071"},
    {ZEV2_REGISTER_DVAGENT, ProductSpecSelected},
    {ZEV2_ENABLE_SNMP_TRAP, ProductSpecSelected},
    {ZEV2_ENABLE_SNMP_DISCOVERY, ProductSpecSelected},
    {ZEV2_ENABLE_SNMP_MIBSTATUS, ProductSpecSelected},
    {ZEV2_ENABLE_DISCOVERY_DATA_UPDATE, ProductSpecSelected},
    {ZEV2_ENABLE_DPLOG, ProductSpecSelected},
    {ZEV2_ENABLE_METAFILE_COMMANDS, ProductSpecSelected},
    {ZEV2_MANAGED_NETWORK_MS, ProductSpecSelected},
    {ZEV2_DCH_PORT_NUMBER, "1919"},
    {ZEV2_DP_PORT_OFFSET, "0"},
    {ZEV2_INITCNFG_FILENAME, "ZEVPCNFG"},
    {ZEV2_TRAPCNFG_FILENAME, "TRAPCNFG"},
    {ZEV2_SNMPCOMM_FILENAME, "ZEVSCOMM"},
    {ZEV2_SNMPLIST_FILENAME, "ZEVSLIST"},
    {ZEV2_SNMPNAME_FILENAME, "ZEVSNAME"},
    {ZEV2_SNMPNETS_FILENAME, "ZEVSNETS"},
    {ZEV2_SNMPROUT_FILENAME, "ZEVSROUT"},
    {ZEV2_SNMPMIBI_FILENAME, "ZEVSMIBI"},
    {ZEV2_ZEVATBLS_FILENAME, "ZEVATBLS"},
    {ZEV2_ZEVPURLS_FILENAME, "ZEVPURLS"},
};

// What a packaged solution's file must give.
const int requiredItems[] = {ZEV2_NODE_TYPE,        ZEV2_PRODUCT_NAME,      ZEV2_AGENT_AFF_NAME,
                             ZEV2_SUBNODE_AFF_NAME, ZEV2_DP_TO_START,       ZEV2_DCH_PORT_NUMBER,
                             ZEV2_DP_PORT_OFFSET,   ZEV2_INITCNFG_FILENAME, ZEV2_ZEVATBLS_FILENAME};

bool isMarker(const char* value) { return value == ProductSpecSelected || value == ProductSpecNotSelected; }

char* copyText(const char* text) {
  if (isMarker(text)) return const_cast<char*>(text);
  size_t size = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(size)));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

void setItem(int item, char* value) {
  char*& slot = ProductSpecValueArray[item];
  if (!isMarker(slot)) ZEV0_FreeStorage(&slot);
  slot = value;
}

void clearItems() {
  for (int item = 0; item < kSlotCount; ++item) setItem(item, nullptr);
}

bool isDefaultProduct() { return std::strcmp(ProductSpecValueArray[ZEV2_PRODUCT_CODE], kDefaultProductCode) == 0; }

int findKeyword(const char* keyword) {
  for (int item = 0; item < ZEV2_PRODSPEC_ITEM_COUNT; ++item)
    if (std::strcmp(ProductSpecNameArray[item], keyword) == 0) return item;
  return -1;
}

const char* skipBlanks(const char* text) {
  while (*text == ' ') ++text;
  return text;
}

// A value whose first word is NO or N, in any case, is the "N" marker.
bool saysNo(const char* value) {
  size_t wordLength = std::strcspn(value, " ");
  return (wordLength == 1 && (value[0] == 'N' || value[0] == 'n')) ||
         (wordLength == 2 && (value[0] == 'N' || value[0] == 'n') && (value[1] == 'O' || value[1] == 'o'));
}

// One unscrambled record, KEYWORD=value.
void storeRecord(const char* record) {
  const char* text = skipBlanks(record);
  const char* equals = std::strchr(text, '=');
  if (equals == nullptr) {
    TRC(TRC_PRODSPEC, "*****Product Specification syntax error. Ignored");
    return;
  }
  char keyword[kRecordSize];
  size_t keywordLength = static_cast<size_t>(equals - text);
  std::memcpy(keyword, text, keywordLength);
  keyword[keywordLength] = '\0';
  ZEV0_ConvertStringToUpper(keyword, 0);
  int item = findKeyword(keyword);
  if (item < 0) {
    TRC(TRC_PRODSPEC, "*****Unrecognized product spec keyword %s. Ignored", keyword);
    return;
  }
  const char* value = skipBlanks(equals + 1);
  if (*value == '\0') return;
  setItem(item, saysNo(value) ? ProductSpecNotSelected : copyText(value));
}

// Line 1 is the plain identifier; record n after it is unscrambled with the key
// (its length as read, line end included) x n.
void readRecords(std::FILE* file) {
  char record[kRecordSize];
  for (int64_t n = 1; std::fgets(record, sizeof record, file) != nullptr; ++n) {
    ZEV0_DecipherMetaRecord(record, static_cast<int32_t>(static_cast<int64_t>(std::strlen(record)) * n));
    ZEV0_RemoveCRandLF(record, 'B');
    TRC(TRC_PRODSPEC, "Rec %.2d %s", static_cast<int>(n), record);
    storeRecord(record);
  }
}

bool readIdentifier(std::FILE* file, const char* path) {
  char line[kRecordSize];
  bool read = std::fgets(line, sizeof line, file) != nullptr;
  if (!read || std::strncmp(line, "//PSF", 5) != 0) {
    if (read) ZEV0_RemoveCRandLF(line, 'B');
    TRC(TRC_PRODSPEC, "*****ERROR: Invalid product specification file ID <%s>", read ? line : "(null)");
    return false;
  }
  TRC(TRC_PRODSPEC, "-----Product Specification File being used is %s-----", path);
  return true;
}

bool hasRequiredItems() {
  if (isDefaultProduct()) return true;
  for (int item : requiredItems) {
    if (ProductSpecValueArray[item] == nullptr) {
      TRC(TRC_PRODSPEC, "*****Required product specifications not defined for non-DV product.");
      return false;
    }
  }
  return true;
}

void fillProductValues() {
  if (!isDefaultProduct()) {
    setItem(ZEV2_PACKAGED_PRODUCT, ProductSpecSelected);
    return;
  }
  for (const DefaultValue& value : defaultProductValues)
    if (ProductSpecValueArray[value.item] == nullptr) setItem(value.item, copyText(value.text));
}

// Appends "index," to the list; a piece that does not fit is dropped.
void appendDPindex(char* list, int index, const char* piece) {
  char entry[16];
  std::snprintf(entry, sizeof entry, "%d,", index);
  if (std::strlen(list) + std::strlen(entry) >= kDPlistSize) {
    TRC1_Printf(&trcUnit_, __LINE__, "*****Error: DP %s does not fit the list of DPs to start, ignored", piece);
    return;
  }
  std::strcat(list, entry);
}

// Of the type codes, APIS to HTTP can be started.
int findStartableDP(const char* code) {
  for (int type = ZEV_DP_APIS; type <= ZEV_DP_HTTP; ++type)
    if (std::strcmp(DPtypeString[type], code) == 0) return type;
  return -1;
}

// DP_TO_START names types (FILE,SNMP,HTTP); the table keeps their indexes (1,5,8).
void convertDPsToStart() {
  char* value = ProductSpecValueArray[ZEV2_DP_TO_START];
  if (value == nullptr) return;
  char names[kRecordSize];
  std::snprintf(names, sizeof names, "%s", value);
  ZEV0_ConvertStringToUpper(names, 0);
  auto* list = static_cast<char*>(ZEV0_GetStorage(kDPlistSize));
  if (list == nullptr) return;
  std::memset(list, 0, kDPlistSize);
  for (char* piece = ZEV0_strtok(names, ","); piece != nullptr; piece = ZEV0_strtok(nullptr, ",")) {
    int type = findStartableDP(piece);
    if (type < 0)
      TRC1_Printf(&trcUnit_, __LINE__, "*****Error: Invalid DP %s, ignored", piece);
    else
      appendDPindex(list, type, piece);
  }
  size_t length = std::strlen(list);
  if (length == 0) {
    ZEV0_FreeStorage(&list);
  } else {
    list[length - 1] = '\0';
  }
  setItem(ZEV2_DP_TO_START, list);
}

bool checkAffinityFeature() {
  if (ProductSpecValueArray[ZEV2_SUBNODE_AFF_FEAT] == nullptr) setItem(ZEV2_SUBNODE_AFF_FEAT, copyText("00000000000"));
  const char* feature = ProductSpecValueArray[ZEV2_SUBNODE_AFF_FEAT];
  size_t length = feature ? std::strlen(feature) : 0;
  if (length == AFF_FEATURE_BYTES) return true;
  TRC(TRC_PRODSPEC, "*****Error: Affinity feature specification length %d error. Must be AFF_FEATURE_BYTES",
      static_cast<int>(length));
  return false;
}

bool setAffinityCode(int nameItem, int codeItem, const char* errorFormat) {
  const char* name = ProductSpecValueArray[nameItem];
  const AffinityEntry* entry = ZEV0_FindAffinity(name);
  if (entry == nullptr) {
    TRC(TRC_PRODSPEC, errorFormat, name ? name : "(null)");
    return false;
  }
  setItem(codeItem, copyText(entry->code));
  return true;
}

bool setAffinityCodes() {
  bool agent =
      setAffinityCode(ZEV2_AGENT_AFF_NAME, ZEV2_AGENT_AFF_STRING, "*****Error: Agent affinity name invalid %s");
  bool subnode =
      setAffinityCode(ZEV2_SUBNODE_AFF_NAME, ZEV2_SUBNODE_AFF_STRING, "*****Error: Subnode affinity name invalid %s");
  return agent && subnode;
}

// The default product's file name cannot carry a packaged solution.
bool checkFileOverride(const char* fileName) {
  if (fileName == nullptr || std::strcmp(fileName, kDefaultFileName) != 0 || isDefaultProduct()) return true;
  TRC(TRC_PRODSPEC, "*****Error: Override DV product specification file with packaged solution not allowed");
  return false;
}

void reportItems() {
  TRC(TRC_PRODSPEC, "The following Product Specification Parameters are in effect:");
  for (int item = 1; item < ZEV2_PRODSPEC_ITEM_COUNT; ++item) {
    const char* name = ProductSpecNameArray[item];
    const char* value = ProductSpecValueArray[item];
    if (value == nullptr)
      TRC(TRC_PRODSPEC, "%s=Not Specified, default to No", name);
    else if (value == ProductSpecSelected)
      TRC(TRC_PRODSPEC, "%s=Y", name);
    else if (value == ProductSpecNotSelected)
      TRC(TRC_PRODSPEC, "%s=N", name);
    else if (item == ZEV2_AGENT_AFF_STRING)
      TRC(TRC_PRODSPEC, "AGENT_AFF_STRING=%s", value);
    else if (item == ZEV2_SUBNODE_AFF_STRING)
      TRC(TRC_PRODSPEC, "SUBNODE_AFF_STRING=%s", value);
    else
      TRC(TRC_PRODSPEC, "%s=%s", name, value);
  }
}

// Reads the file into the table; 1 when the items stand.
int readProductSpec(const char* path, const char* fileName) {
  std::FILE* file = std::fopen(path, "re");
  if (file == nullptr) {
    TRC(TRC_PRODSPEC, "*****ERROR: Product Specification File %s open failed, ErrorText <%s>", path,
        std::strerror(errno));
    return 0;
  }
  int usable = zev0::ReadProductSpec(file, path, fileName);
  ZEV0_CloseFile(&file);
  return usable;
}

}  // namespace

int zev0::ReadProductSpec(std::FILE* file, const char* path, const char* fileName) {
  if (!readIdentifier(file, path)) return 0;
  clearItems();
  readRecords(file);

  if (ProductSpecValueArray[ZEV2_PRODUCT_CODE] == nullptr) {
    TRC(TRC_PRODSPEC, "*****Product Code not specified");
    return 0;
  }
  ZEV0_ConvertStringToUpper(ProductSpecValueArray[ZEV2_PRODUCT_CODE], 0);
  if (!hasRequiredItems()) return 0;

  fillProductValues();
  convertDPsToStart();
  // Every check runs, so that one reading reports every fault of the file.
  bool usable = checkAffinityFeature();
  usable = setAffinityCodes() && usable;
  usable = checkFileOverride(fileName) && usable;
  if (usable) reportItems();
  return usable ? 1 : 0;
}

int ZEV0_InitializeProductSpec() {
  if (ProductSpecInitialized) {
    TRC(TRC_UNIT_DETAIL, "Product specification already initialized");
    return 1;
  }
  const char* fileName = ZEV0_GetEnv("ZEV_PRODSPEC_NAME", nullptr);
  char* path = ZEV0_ConstructFullyQualifiedName(ZEV0_GetEnv("ZEV_PRODSPEC_PATH", nullptr),
                                                fileName ? fileName : kDefaultFileName);
  ProductSpecInitialized = path != nullptr ? readProductSpec(path, fileName) : 0;
  ZEV0_FreeStorage(&path);
  if (ProductSpecInitialized)
    TRC(TRC_PRODSPEC, "Product specification initialization successful");
  else
    TRC(TRC_PRODSPEC, "*****Product specification initialization failed");
  return ProductSpecInitialized;
}

const char* ZEV0_QueryProductSpec(int32_t item) {
  if (item < 0 || item > ZEV2_PRODSPEC_ITEM_COUNT) {
    TRC(TRC_ERROR, "*****Input Product Spec %d is invalid", item);
    return nullptr;
  }
  if (!ProductSpecInitialized) {
    TRC(TRC_ERROR, "*****Logic error. Product Spec %d not yet initialized", item);
    return nullptr;
  }
  return ProductSpecValueArray[item];
}

int ZEV0_ProductSpecItemOn(int32_t item) {
  const char* value = ZEV0_QueryProductSpec(item);
  return value != nullptr && (value[0] == 'Y' || value[0] == 'y') ? 1 : 0;
}
