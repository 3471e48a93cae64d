#include "attr_info_list.h"

#include <cctype>
#include <cstring>
#include <new>
#include <string>

#include "agent_limits.h"
#include "attribute_register.h"
#include "dch/dch_protocol.h"
#include "handle_sequence.h"
#include "row_builder.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr size_t kMaxHelpPiece = 4096;

bool isSampleType(char type) { return type != '\0' && std::strchr("PESKN", type) != nullptr; }

}  // namespace

attrInfoList::attrInfoList(applSpaceEntry* owner, const char* attrGroup, const char* sourceName, char sampleType,
                           int32_t TTL, const char* attrRegister, unsigned int connectedDP)
    : owner_(owner),
      group_(attrGroup != nullptr ? attrGroup : ""),
      sourceName_(sourceName != nullptr ? sourceName : ""),
      attrType_(static_cast<char>(std::toupper(static_cast<unsigned char>(sampleType)))),
      TTL_(TTL),
      connectedDP_(connectedDP) {
  if (attrRegister == nullptr) {
    TRC(TRC_ERROR, "Error: attrRegister was NULL.");
    errors_ = 1;
    return;
  }
  attrRegister_ = attrRegister;
  handle_ = DCH_NextHandle();
  cntlField_ = DCH_SingleRow;
  if (!isSampleType(attrType_)) {
    TRC(TRC_ERROR, "Error: Invalid Data Type <%c>", attrType_);
    errors_ = 1;
    return;
  }
  parseAttributes(attrRegister_.c_str());
}

attrInfoList::~attrInfoList() {
  while (attrInfoEntry* head = attributes_.head()) {
    attributes_.remove(head);
    delete head;
  }
}

// Stops at the first malformed attribute, and as soon as the group has more
// attributes than a table may have columns besides the framework's own.
void attrInfoList::parseAttributes(const char* attrRegister) {
  const int maxAttributes = Max_IB_Columns() - 1;
  AttributeRegisterParser parser(attrRegister);
  AttributeDescription description;
  int attributesRead = 0;
  int result;
  while ((result = parser.next(&description)) == 1) {
    if (++attributesRead > maxAttributes) {
      TRC(TRC_ERROR, "Error: Maximum allowed number of attributes <%d> exceeded.", maxAttributes);
      errors_ = 1;
      return;
    }
    auto* attribute = new (std::nothrow) attrInfoEntry(description);
    if (attribute == nullptr) {
      TRC(TRC_ERROR, "Error: allocating attrInfoEntry");
      errors_ = 1;
      return;
    }
    attributes_.add(attribute);
  }
  if (result < 0) errors_ = 1;
}

int attrInfoList::setValue(const char* attrName, uint16_t controlField, const char* value, uint32_t length) {
  cntlField_ = controlField;
  if (attrName == nullptr || value == nullptr) return 1;
  attrInfoIterator walk(attributes_);
  while (attrInfoEntry* attribute = walk.Next()) {
    if (std::strcmp(attribute->name(), attrName) == 0) return attribute->setValue(value, length);
  }
  return 1;
}

char attrInfoList::getAttrType(const char* attrName) const {
  if (attrName == nullptr) return '?';
  attrInfoIterator walk(attributes_);
  while (const attrInfoEntry* attribute = walk.Next()) {
    if (std::strcmp(attribute->name(), attrName) == 0) return attribute->type();
  }
  return '?';
}

uint16_t attrInfoList::clearValues() {
  errors_ = 0;
  attrInfoIterator walk(attributes_);
  while (attrInfoEntry* attribute = walk.Next()) attribute->clearValue(attrType_ == 'K');
  return errors_;
}

int attrInfoList::getAttrValues(char** buffer, int bufferLength, const char* sourceName) {
  errors_ = 0;
  RowBuilder row(attributes_, attrType_ == 'K');
  int32_t size = row.size(sourceName);
  if (size < 0) {
    errors_ = 1;
    return -1;
  }
  if (*buffer == nullptr) {
    *buffer = static_cast<char*>(ZEV0_GetStorage(size));
    if (*buffer == nullptr) {
      TRC(TRC_ERROR, "Error: allocating %d bytes for buffer", size);
      errors_ = 1;
      return -1;
    }
    bufferLength = size;
  }
  if (size > bufferLength) {
    TRC(TRC_ERROR, "Error: row of %d bytes for attrGroup<%s> does not fit the %d-byte buffer", size, group(),
        bufferLength);
    return -1;
  }
  std::memset(*buffer, 0, static_cast<size_t>(size));
  uint32_t total = row.write(*buffer, static_cast<size_t>(size), sourceName, cntlField_);
  if (total == 0) {
    errors_ = 1;
    return -1;
  }
  return static_cast<int>(total);
}

int attrInfoList::getAttributeHelp(char** text) const {
  std::string help;
  attrInfoIterator walk(attributes_);
  int number = 0;
  while (const attrInfoEntry* attribute = walk.Next()) {
    size_t pieceLength =
        std::strlen(attribute->name()) + std::strlen(attribute->attrHelp()) + std::strlen(attribute->ENUM());
    if (pieceLength > kMaxHelpPiece) {
      TRC(TRC_ERROR, "Error: %d limit exceeded", static_cast<int>(kMaxHelpPiece));
      return 1;
    }
    help.append(attribute->name()).append(",").append(attribute->attrHelp()).append(",").append(attribute->ENUM());
    help.append(++number >= noOfElements() ? ":" : ",");
  }
  auto size = static_cast<int32_t>(help.size() + 1);
  auto* block = static_cast<char*>(ZEV0_GetStorage(size));
  if (block == nullptr) {
    TRC(TRC_ERROR, "Error: allocating %d bytes for attribute help", size);
    return 1;
  }
  std::memcpy(block, help.c_str(), help.size() + 1);
  *text = block;
  return 0;
}

void attrInfoList::printSelf() const {
  TRC1_Printf(&trcUnit_, __LINE__,
              "  attrInfoList @%p handle<%u> attrGroup<%s> sourceName<%s> attrType<%c> TTL<%d> cntlField<0x%02x> "
              "status<%c> connectedDP<%u> noOfElements<%d> errors<%d>",
              static_cast<const void*>(this), handle_, group(), sourceName(), attrType_, TTL_, cntlField_, status_,
              connectedDP_, noOfElements(), errors_);
  attrInfoIterator walk(attributes_);
  while (const attrInfoEntry* attribute = walk.Next()) attribute->printSelf();
}
