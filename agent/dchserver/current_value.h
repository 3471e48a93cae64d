// The current value of one attribute of the DCH server's store, in a holder of
// the width the attribute was registered with.
//
// Holders by type letter: A (average), C (counter) and G (gauge) a 2- or 4-byte
// number when registered with length 2 or 4, no holder otherwise; S (switch) a
// 2-byte number; D (display) and O (object) the registered length of text and a
// terminator; T (time) the same, holding an agent time stamp. Other letters have
// no holder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CurrentValue {
 public:
  CurrentValue(char type, int16_t registeredLength);

  bool hasHolder() const { return !holder_.empty(); }
  const char* bytes() const { return holder_.data(); }
  // The number of bytes of the value that a row carries.
  int16_t dataLength() const { return dataLength_; }
  int64_t runningSum() const { return runningSum_; }
  int64_t numberOfSamples() const { return numberOfSamples_; }

  // Takes a value of a data request (numbers in host order). A number of 2 or 4
  // bytes is brought to the holder's width (sign-extended or cut to its low 16
  // bits), other lengths are ignored, and so is every value of an attribute
  // without a holder. A text longer than the registered length is cut to it.
  // An average keeps the mean of every number received.
  void set(const char* value, uint32_t length, const char* attrName);

  // Resets the holder: numbers to zero, texts to blanks, a time to now.
  void clear();

 private:
  bool isNumber() const;
  void setNumber(const char* value, uint32_t length);
  void setText(const char* value, uint32_t length, const char* attrName);
  void storeNumber(int32_t number);

  char type_;
  int16_t registeredLength_;
  int16_t dataLength_;
  std::vector<char> holder_;
  // Wider than the values, so that long runs of large numbers do not overflow.
  int64_t runningSum_ = 0;
  int64_t numberOfSamples_ = 0;
};
