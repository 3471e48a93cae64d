// One attribute group of an application's definition: its record of the application
// information (group, sample type, time-to-live), its attribute text, and the
// description of its framework table, which the entry owns.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "agent_ring.h"

class userDataInfo;

class userDataListEntry : public RingLink<userDataListEntry> {
 public:
  static constexpr size_t kMaxApplNameRR = 22;
  static constexpr size_t kMaxAttrGroup = 32;

  // record: "GROUP,TYPE,TTL". A sample-type field "N" (an SNMP group) keeps its rows by
  // key: sample type 'K' with the SNMP flag. Errors are traced and kept (errors()); the
  // table description is made all the same, and tells whether it is usable.
  userDataListEntry(const char* applNameRR, std::string_view record, const char* cvrm, const char* priorVRM);
  // Deletes the table description, which stops the table's data thread.
  ~userDataListEntry();
  userDataListEntry(const userDataListEntry&) = delete;
  userDataListEntry& operator=(const userDataListEntry&) = delete;

  // Keeps the attribute text and fills the table's columns from it (the help block, when
  // there is one, gives the enumerations). The error flag.
  int addAttrInfo(std::string_view attrText, std::optional<std::string_view> helpBlock);
  // The column names as a list, kept until the next call:
  //   1  every column name followed by ","
  //   2  every column as "TABLE.COLUMN", joined by ";"
  //   3  as 2, integer columns only
  // Null (and the error flag) for another type.
  const char* columnList(int listType);
  // True when a column holds integers without an enumeration.
  bool anyNumericalAttrs() const;
  void printSelf() const;

  userDataInfo* udi() const { return udi_.get(); }
  // The application name with its release.
  const char* applName() const { return applNameRR_; }
  const char* attrGroup() const { return attrGroup_; }
  const char* RR() const { return RR_; }
  char sampleType() const { return sampleType_; }
  int32_t TTL() const { return TTL_; }
  const char* cvrm() const { return cvrm_; }
  const char* priorVRM() const { return priorVRM_; }
  const std::string& attrInfo() const { return attrText_; }
  short errors() const { return errors_; }
  short SNMPflag() const { return SNMPflag_; }

 private:
  bool takeRecord(std::string_view record);

  std::unique_ptr<userDataInfo> udi_;
  char applNameRR_[kMaxApplNameRR + 1] = {};
  char RR_[3] = {};
  char attrGroup_[kMaxAttrGroup + 1] = {};
  std::string columnList_;
  char sampleType_ = '?';
  int32_t TTL_ = 0;
  char cvrm_[9] = {};
  char priorVRM_[9] = {};
  std::string attrText_;
  short SNMPflag_ = 0;
  short errors_ = 0;
};
