#include "current_value.h"

#include <algorithm>
#include <cstring>

#include "trc1.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

size_t numberHolderWidth(char type, int16_t registeredLength) {
  switch (type) {
    case 'A':
    case 'C':
    case 'G':
      return registeredLength == 2 || registeredLength == 4 ? static_cast<size_t>(registeredLength) : 0;
    case 'S':
      return 2;
    default:
      return 0;
  }
}

bool isText(char type) { return type == 'D' || type == 'O' || type == 'T'; }

int32_t readNumber(const char* value, uint32_t length) {
  if (length == 2) {
    int16_t number;
    std::memcpy(&number, value, 2);
    return number;
  }
  int32_t number;
  std::memcpy(&number, value, 4);
  return number;
}

// The current agent time stamp in length bytes: cut to them when they are fewer
// than the stamp's 16, zeros behind it when they are more.
void fillWithTimeStamp(char* target, size_t length) {
  char stamp[ZEV0_PLOVEN_TIME_LENGTH + 1] = {};
  ZEV0_GetPlovenTime(stamp);
  std::memset(target, 0, length);
  std::memcpy(target, stamp, std::min(length, static_cast<size_t>(ZEV0_PLOVEN_TIME_LENGTH)));
}

}  // namespace

CurrentValue::CurrentValue(char type, int16_t registeredLength)
    : type_(type), registeredLength_(registeredLength), dataLength_(registeredLength) {
  if (size_t width = numberHolderWidth(type, registeredLength)) {
    holder_.assign(width, '\0');
    dataLength_ = static_cast<int16_t>(width);
  } else if (isText(type)) {
    holder_.assign(static_cast<size_t>(registeredLength) + 1, '\0');
    clear();
  }
}

bool CurrentValue::isNumber() const { return hasHolder() && !isText(type_); }

void CurrentValue::set(const char* value, uint32_t length, const char* attrName) {
  if (value == nullptr) return;
  if (isNumber()) {
    setNumber(value, length);
  } else if (hasHolder()) {
    setText(value, length, attrName);
  } else {
    TRC(TRC_DETAIL, "AttrName %s type %c length %d has no value holder: value ignored", attrName, type_,
        registeredLength_);
  }
}

void CurrentValue::setNumber(const char* value, uint32_t length) {
  if (type_ == 'S') {
    // A switch is 16 bits whatever the field's length: its first two bytes.
    if (length < 2) return;
    std::memcpy(holder_.data(), value, 2);
    return;
  }
  if (length != 2 && length != 4) {
    TRC(TRC_DETAIL, "Value length %u of a %c attribute ignored", length, type_);
    return;
  }
  storeNumber(readNumber(value, length));
  if (type_ != 'A') return;
  // The mean of every number received, at the holder's width.
  int32_t received = readNumber(holder_.data(), static_cast<uint32_t>(holder_.size()));
  runningSum_ += received;
  ++numberOfSamples_;
  storeNumber(static_cast<int32_t>(runningSum_ / numberOfSamples_));
}

void CurrentValue::storeNumber(int32_t number) {
  if (holder_.size() == 2) {
    auto low = static_cast<uint16_t>(static_cast<uint32_t>(number));
    std::memcpy(holder_.data(), &low, 2);
  } else {
    std::memcpy(holder_.data(), &number, 4);
  }
}

void CurrentValue::setText(const char* value, uint32_t length, const char* attrName) {
  uint32_t kept = length;
  if (length > static_cast<uint32_t>(registeredLength_)) {
    TRC(TRC_ERROR, "Warning: AttrName %s had registration length %d but value length %d - Truncating.", attrName,
        registeredLength_, static_cast<int>(length));
    kept = static_cast<uint32_t>(registeredLength_);
  }
  std::fill(holder_.begin(), holder_.end(), '\0');
  std::memcpy(holder_.data(), value, kept);
  dataLength_ = static_cast<int16_t>(kept);
}

void CurrentValue::clear() {
  if (!hasHolder()) return;
  if (type_ == 'T') {
    fillWithTimeStamp(holder_.data(), static_cast<size_t>(registeredLength_));
  } else if (isText(type_)) {
    std::memset(holder_.data(), ' ', static_cast<size_t>(registeredLength_));
  } else {
    std::fill(holder_.begin(), holder_.end(), '\0');
  }
}
