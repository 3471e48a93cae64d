// Turns one attribute definition into an AttributeEntry: name, type, value size
// and maximum, KEY and ATOMIC, help text and filter.
#include "attribute_entry.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "attribute_filter.h"
#include "bsv1.h"
#include "metafile_numbers.h"
#include "model_lists.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr char kKnownTypes[] = "DNROZKTS?#%GCAIL";

bool isTextSized(char type) { return std::strchr("DRONZK", type) != nullptr; }
bool isFixedSize(char type) { return std::strchr("ST?#%", type) != nullptr; }
bool isRate(char type) { return std::strchr("?#%", type) != nullptr; }

struct Sizes {
  int32_t valueSize;
  int32_t maximum;
};

// Value size and maximum from the type and its size word; false after the
// message for a type that needs a size word and has none.
bool workOutSizes(char type, const char* sizeWord, Sizes* sizes) {
  // A negative size counts as none: it would size the value area below zero.
  if (sizeWord != nullptr && isTextSized(type) && zevp::DecimalValue(sizeWord) < 0) sizeWord = nullptr;

  if (sizeWord != nullptr) {
    if (isTextSized(type)) {
      int32_t given = zevp::DecimalValue(sizeWord);
      sizes->maximum = given;
      sizes->valueSize = given;
      if (given > ZEVP_ATTR_VALUE_MAX) {
        sizes->valueSize = ZEVP_ATTR_VALUE_MAX;
        ZEVP_DisplayValidationMessage(ZEVPV54W, std::to_string(given).c_str());
      }
    } else if (isFixedSize(type)) {
      sizes->maximum = zevp::DecimalValue(sizeWord);
      sizes->valueSize = type == 'S' ? 2 : (type == 'T' ? 16 : 4);
    } else {  // G, C, A, I, L
      sizes->maximum = zevp::RealValue(sizeWord);
      sizes->valueSize = sizes->maximum < 32768 ? 2 : 4;
    }
  } else {
    switch (type) {
      case 'S': *sizes = {2, 1}; break;
      case 'T': *sizes = {16, 0}; break;
      case 'G': case 'C': case 'A': *sizes = {4, ZEVP_NUMERIC_MAX}; break;
      case 'K': *sizes = {1, 1}; break;
      default:
        ZEVP_DisplayValidationMessage(ZEVPV41E, nullptr);
        return false;
    }
  }
  if (type == 'I') *sizes = {2, 32767};
  // Kept at 4 bytes: the largest value, 2147483647, needs them.
  if (type == 'L') *sizes = {4, ZEVP_NUMERIC_MAX};
  if ((type == 'D' || type == 'N') && sizes->valueSize % 4 != 0) sizes->valueSize += 4 - sizes->valueSize % 4;
  return true;
}

// Copies the help text into the next free place of the group's help buffer.
const char* placeHelp(TableEntry* table, const char* help, const char* name) {
  if (help == nullptr || table == nullptr || table->HelpBuffer == nullptr) return nullptr;
  size_t length = std::min(std::strlen(help), static_cast<size_t>(ZEVP_HELP_TEXT_MAX));
  // Inserted attributes come after the limit check, and packaged mode has no
  // limit: the buffer may be full.
  if (table->HelpFillPoint + static_cast<int32_t>(length) + 1 > table->HelpBufferSize) {
    TRC(TRC_ERROR, "*****Warning: no room left for the help text of attribute %s, none kept", name);
    return nullptr;
  }
  char* place = table->HelpBuffer + table->HelpFillPoint;
  std::memcpy(place, help, length);
  place[length] = '\0';
  for (char* c = place; *c != '\0'; ++c)
    if (*c == ';') *c = '.';
  table->HelpFillPoint += static_cast<int32_t>(length) + 1;
  return place;
}

void setName(AttributeEntry* attribute, const char* name) {
  std::string text = name;
  bool cut = text.size() > static_cast<size_t>(ZEVP_ATTR_NAME_MAX);
  if (cut) {
    text.resize(ZEVP_ATTR_NAME_MAX);
    ZEVP_DisplayValidationMessage(ZEVPV29W, std::to_string(ZEVP_ATTR_NAME_MAX).c_str());
  }
  std::string valid = text;
  ZEV0_SubValidNameCharacter(valid.data());
  if (valid != text && !cut) ZEVP_DisplayValidationMessage(ZEVPV28W, nullptr);
  // A name written with a leading '-' keeps its attribute out of the row.
  attribute->AttrAccessible = 1;
  size_t start = 0;
  if (!valid.empty() && valid[0] == '-') {
    attribute->AttrAccessible = 0;
    start = 1;
  }
  std::strcpy(attribute->AttrName, valid.c_str() + start);
}

void appendToSource(SourceEntry* source, AttributeEntry* attribute) {
  BSV1_GetLock(&source->AttributeLock);
  zevp::AppendToList(&source->FirstAttribute, attribute);
  BSV1_ReleaseLock(&source->AttributeLock);
}

}  // namespace

AttributeEntry* ZEVP_InitializeAttrEntry(SourceEntry* source, const char* name, const char* typeWord,
                                         const char* sizeWord, int keyFlag, int atomicFlag, const char* help,
                                         const char* filter) {
  if (source == nullptr || name == nullptr || *name == '\0' || typeWord == nullptr || *typeWord == '\0') {
    ZEVP_DisplayValidationMessage(ZEVPV39E, nullptr);
    return nullptr;
  }
  char type = static_cast<char>(std::toupper(static_cast<unsigned char>(typeWord[0])));
  if ((type == 'I' || type == 'L') && source->AttrDelimiter != nullptr) {
    ZEVP_DisplayValidationMessage(ZEVPV48E, nullptr);
    return nullptr;
  }
  if (std::strchr(kKnownTypes, type) == nullptr) {
    char letter[2] = {type, '\0'};
    ZEVP_DisplayValidationMessage(ZEVPV40E, letter);
    return nullptr;
  }
  Sizes sizes{};
  if (!workOutSizes(type, sizeWord, &sizes)) return nullptr;

  int32_t entrySize = ZEVP_AttributeEntrySize(sizes.valueSize);
  auto* attribute = static_cast<AttributeEntry*>(ZEV0_GetStorage(entrySize));
  if (attribute == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for AttributeEntry <%s>, Type %c, Size %d", name, type,
        sizes.valueSize);
    return nullptr;
  }
  std::memset(attribute, 0, static_cast<size_t>(entrySize));
  TRC(TRC_STORAGE, "Allocated AttributeEntry @%p for length %d", static_cast<void*>(attribute), entrySize);

  TableEntry* table = source->Table;
  attribute->HelpText = placeHelp(table, help, name);
  setName(attribute, name);
  attribute->AttrKey = keyFlag;
  attribute->Atomic = atomicFlag;
  attribute->AttrType = (type == 'I' || type == 'L') ? 'G' : type;
  attribute->MaxValSize = static_cast<uint16_t>(sizes.valueSize);
  attribute->MaxSize = sizes.maximum;
  BSV1_Time now;
  BSV1_GetTime(&now);
  attribute->CreationTime = now.seconds;
  attribute->PreviousTime = now.seconds;
  attribute->PreviousValue = ZEVP_FIRST_SAMPLE_MARKER;
  attribute->FilterLogic = ' ';
  if (std::strlen(typeWord) >= 2 && std::toupper(static_cast<unsigned char>(typeWord[1])) == 'L')
    attribute->LeftTruncate = 1;

  if (table != nullptr) {
    if (isRate(type)) table->HasRateAttributes = 1;
    if (type == 'Z') table->HasLastAttribute = 1;
  }
  if (filter != nullptr) zevp::ParseAttributeFilter(attribute, filter);
  appendToSource(source, attribute);
  return attribute;
}
