// One atomic value the agent has acted upon, with the time it was last seen in a window.
#pragma once

class atomicEventEntry {
 public:
  static constexpr int kMaxValueLength = 64;

  // Stamped now. The caller hands a value of 1 to kMaxValueLength characters; a longer
  // one is cut (atomicEventList::addEntry refuses it before it gets here).
  explicit atomicEventEntry(const char* atomicValue);
  atomicEventEntry(const atomicEventEntry&) = delete;
  atomicEventEntry& operator=(const atomicEventEntry&) = delete;

  const char* getAtomicValue() const { return atomicValue_; }
  // Seconds since the epoch.
  unsigned long getTimeStamp() const { return timeStamp_; }
  void setTimeStamp(unsigned long seconds) { timeStamp_ = seconds; }
  // Stamps the entry now.
  void newtime();

 private:
  unsigned long timeStamp_ = 0;
  char atomicValue_[kMaxValueLength + 1];
};
