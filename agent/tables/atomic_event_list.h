// The atomic values that the agent has already acted upon for one atomic situation,
// and the start of the current de-duplication window.
#pragma once

class atomicSituationEntry;

class atomicEventList {
 public:
  // An empty list whose window starts now.
  explicit atomicEventList(atomicSituationEntry* owner);
  atomicEventList(const atomicEventList&) = delete;
  atomicEventList& operator=(const atomicEventList&) = delete;

  atomicSituationEntry* owner() const { return owner_; }
  // Seconds since the epoch.
  unsigned long getLastTimeStamp() const { return lastTimeStamp_; }
  void setLastTimeStamp(unsigned long seconds) { lastTimeStamp_ = seconds; }

 private:
  atomicSituationEntry* owner_;
  unsigned long lastTimeStamp_;
};
