#include "user_data_list_entry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "field_walk.h"
#include "trc1.h"
#include "user_data_info.h"

TRC_UNIT();

namespace {

// Copies text that fits into a field of `size` bytes (NUL included); false when it does not.
bool copyBounded(char* field, size_t size, const char* text) {
  size_t length = std::strlen(text);
  if (length >= size) return false;
  std::memcpy(field, text, length + 1);
  return true;
}

// The release "rr" of a version "vv.rr.mm".
void releaseOf(const char* version, char* release) {
  size_t length = std::strlen(version);
  release[0] = length > 3 ? version[3] : '\0';
  release[1] = length > 4 ? version[4] : '\0';
  release[2] = '\0';
}

}  // namespace

userDataListEntry::userDataListEntry(const char* applNameRR, std::string_view record, const char* cvrm,
                                     const char* priorVRM) {
  if (!copyBounded(applNameRR_, sizeof applNameRR_, applNameRR) || !copyBounded(cvrm_, sizeof cvrm_, cvrm) ||
      !copyBounded(priorVRM_, sizeof priorVRM_, priorVRM)) {
    TRC(TRC_ERROR, "Error: applName <%s> or versions <%s/%s> too long", applNameRR, cvrm, priorVRM);
    errors_ = 1;
  }
  releaseOf(cvrm_, RR_);
  if (!takeRecord(record)) errors_ = 1;
  udi_.reset(new (std::nothrow) userDataInfo(this));
  if (udi_ == nullptr) {
    TRC(TRC_ERROR, "Error: allocating userDataInfo.");
    errors_ = 1;
  } else if (!udi_->complete()) {
    errors_ = 1;
  }
}

userDataListEntry::~userDataListEntry() = default;

// "GROUP,TYPE,TTL"; a field that does not fit counts as missing.
bool userDataListEntry::takeRecord(std::string_view record) {
  FieldWalk fields(record);
  std::string_view group, sampleType;
  if (!fields.next(',', &group) || group.empty() || group.size() > kMaxAttrGroup) {
    TRC(TRC_ERROR, "Error: attrGroup token missing");
    return false;
  }
  std::memcpy(attrGroup_, group.data(), group.size());
  attrGroup_[group.size()] = '\0';
  if (!fields.next(',', &sampleType) || sampleType.empty()) {
    TRC(TRC_ERROR, "Error: sampleType token missing");
    return false;
  }
  if (sampleType == "N") {
    sampleType_ = 'K';
    SNMPflag_ = 1;
    TRC(TRC_DETAIL, "SNMPflag set.");
  } else {
    sampleType_ = sampleType.front();
  }
  std::string_view TTL = fields.rest();
  if (TTL.empty()) {
    TRC(TRC_ERROR, "Error: TTL token missing");
    return false;
  }
  TTL_ = static_cast<int32_t>(std::strtol(std::string(TTL).c_str(), nullptr, 10));
  return true;
}

int userDataListEntry::addAttrInfo(std::string_view attrText, std::optional<std::string_view> helpBlock) {
  attrText_.assign(attrText);
  if (udi_ == nullptr || udi_->prepareAttributesImages(attrText_, helpBlock) != 0) {
    TRC(TRC_ERROR, "Error: prepareAttributesImages failed");
    errors_ = 1;
  }
  return errors_;
}

const char* userDataListEntry::columnList(int listType) {
  if (listType < 1 || listType > 3) {
    TRC(TRC_ERROR, "Error: Unrecognized listType=%d", listType);
    errors_ = 1;
    return nullptr;
  }
  columnList_.clear();
  for (int i = 0; i < udi_->noOfColumns(); ++i) {
    const attrInfo_t* column = udi_->attrInfo(i);
    if (listType == 1) {
      columnList_.append(column->colName).append(",");
      continue;
    }
    if (listType == 3 && column->colType != kIntegerColumn) continue;
    if (!columnList_.empty()) columnList_.append(";");
    columnList_.append(udi_->tableNameRR()).append(".").append(column->colName);
  }
  return columnList_.c_str();
}

bool userDataListEntry::anyNumericalAttrs() const {
  for (int i = 0; i < udi_->noOfColumns(); ++i)
    if (udi_->columnType(i) == kIntegerColumn) return true;
  return false;
}

void userDataListEntry::printSelf() const {
  TRC1_Printf(&trcUnit_, __LINE__, ">> userDataListEntry @%p Next @%p Prev @%p.\n", static_cast<const void*>(this),
              static_cast<const void*>(Next()), static_cast<const void*>(Prev()));
  TRC1_Printf(&trcUnit_, __LINE__, "   applNameRR <%s>", applNameRR_);
  TRC1_Printf(&trcUnit_, __LINE__, "   attrGroup  <%s>", attrGroup_);
  TRC1_Printf(&trcUnit_, __LINE__, "   sampleType <%c>", sampleType_);
  TRC1_Printf(&trcUnit_, __LINE__, "   TTL        <%ld>", static_cast<long>(TTL_));
  TRC1_Printf(&trcUnit_, __LINE__, "   cvrm       <%s>", cvrm_);
  TRC1_Printf(&trcUnit_, __LINE__, "   attrInfo   <%s>", attrText_.c_str());
  if (udi_ != nullptr) udi_->printSelf();
}
