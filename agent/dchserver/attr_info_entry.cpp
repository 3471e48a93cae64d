#include "attr_info_entry.h"

#include "trc1.h"

TRC_UNIT();

attrInfoEntry::attrInfoEntry(const AttributeDescription& description)
    : name_(description.name),
      attrHelp_(description.help),
      ENUM_(description.enumerations),
      type_(description.type),
      attrLength_(description.length),
      keyed_(description.keyed),
      atomic_(description.atomic),
      value_(description.type, description.length) {}

int attrInfoEntry::setValue(const char* value, uint32_t length) {
  value_.set(value, length, name());
  valueIgnore_ = false;
  return 0;
}

void attrInfoEntry::clearValue(bool keyData) {
  if (!value_.hasHolder()) return;
  if (keyData)
    valueIgnore_ = true;
  else
    value_.clear();
}

void attrInfoEntry::printSelf() const {
  TRC1_Printf(&trcUnit_, __LINE__,
              "    attr <%s> type<%c> length<%d> dataLength<%d> keyed<%d> atomic<%d> valueIgnore<%d> "
              "holder<%s> samples<%lld> enum<%s> help<%s>",
              name(), type_, attrLength_, value_.dataLength(), keyed_, atomic_, valueIgnore_,
              value_.hasHolder() ? "yes" : "no", static_cast<long long>(value_.numberOfSamples()), ENUM(), attrHelp());
}
