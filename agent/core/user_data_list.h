// One application's definition as the agent builds it from its own DCH server: the
// three definition texts, the version decided by comparing them with the previous
// build's work file, and one entry per attribute group, each with the description of
// its framework table (whose data thread it starts).
//
// The constructor builds the whole definition on the application's probe thread; the
// caller tests errors() and deletes the list when the application goes, which stops
// every table's data thread. When the definition is new or changed, construction ends
// by writing the definition files and the work file (generateFiles).
#pragma once

#include <pthread.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "agent_ring.h"
#include "checksum_info.h"
#include "definition_file_headers.h"
#include "record_room.h"
#include "user_data_list_entry.h"

using userDataListIterator = RingIterator<userDataListEntry>;

class userDataList {
 public:
  static constexpr size_t kMaxApplName = 20;
  static constexpr int kMaxAttrGroups = 256;
  static constexpr char kInitialVersion[] = "03.00.00";

  explicit userDataList(const char* applName);
  ~userDataList();
  userDataList(const userDataList&) = delete;
  userDataList& operator=(const userDataList&) = delete;

  // Adds the entry of one application-information record ("GROUP,TYPE,TTL"). 0, or 1
  // (traced) when the record is too long, names a group already listed, or its entry
  // could not be built.
  int addAttrGroup(std::string_view record);
  // Hands the group's attribute text and help block (or none) to its entry. 0, or 1
  // when no entry has that group or its table description could not be filled.
  int addAttrInfo(std::string_view attrGroup, std::string_view attrText, std::optional<std::string_view> helpBlock);
  // Deletes every entry, and with them their tables' data threads.
  void emptyList();
  void printList();

  // Decides the version (see checksum_info.h): 1 when the definition files and the work
  // file must be written, 0 when nothing changed. Sets the error flag on failure.
  int calculateChecksum();
  // 'M' raises the modification part of oldVersion, 'R' the release, into newVersion (9
  // bytes); any other letter does nothing. A part that would reach 99 sets the error flag.
  void incrementVersion(const char* oldVersion, char* newVersion, char changeType);
  // Writes every entry's definition files, then the work file. The error flag.
  int generateFiles(const char* workFileName);
  // Under the lock: makes the table of that group's entry the current one. 1 found, 0 not.
  int setTableName(std::string_view attrGroup);

  // The lists the definition files print, built under the lock and kept until the next
  // call: type 1 of every group, type 2 of the groups with an integer column. Table names
  // each followed by ";" ("TA;TB;"), group names joined by ";" ("A;B"). Null (and the
  // error flag) for another type.
  const char* tableNameList(int listType);
  const char* attrGroupList(int listType);
  // 1 when the named group (with null, any group) has an integer column; else 0.
  int anyNumericalAttrs(const char* attrGroup = nullptr);
  // 1 when the catalogue's record of that data domain is written already; else records
  // it as written and gives 0.
  int findDomain(std::string_view domainName);
  // Every data domain the catalogue has used so far, each followed by ";".
  const std::string& domainSet() const { return domainSet_; }
  const std::vector<std::string>& domainsWritten() const { return domainsWritten_; }

  const Ring<userDataListEntry>& entries() const { return entries_; }
  userDataListEntry* List() const { return entries_.head(); }
  int noOfElements() const { return entries_.count(); }
  short errors() const { return errors_; }
  short status() const { return status_; }
  void status(short value) { status_ = value; }
  const char* applName() const { return applName_; }
  const char* applNameRR() const { return applNameRR_; }
  const char* applKey() const { return applKey_; }
  const char* keyRR() const { return keyRR_; }
  const char* RR() const { return RR_; }
  const char* cvrm() const { return cvrm_; }
  const char* lvrm() const { return lvrm_; }
  const char* prior_vrm() const { return priorVRM_; }
  const char* currentTableName() const { return currTableName_; }
  const char* subnodeAffinity() const { return subnodeAffinity_; }
  const char* timeStamp() const { return timeStamp_; }
  const char* workFileName() const { return workFileName_; }
  const std::string& applInfo() const { return applInfo_; }
  const std::string& attrInfo() const { return attrInfo_; }
  const std::string& helpInfo() const { return helpInfo_; }
  int noOfAttrGroups() const { return noOfAttrGroups_; }
  const checksumInfo* groupChecksum(int i) const;
  uint16_t savedHelpChecksum() const { return savedHelpChecksum_; }
  uint16_t newHelpChecksum() const { return newHelpChecksum_; }
  pthread_mutex_t* lock() { return &lock_; }

 private:
  // The writers of the definition files of one entry: 0, or 1 when they failed.
  int generateCATfile(userDataListEntry* entry, int firstGroup);
  int generateATRfile(userDataListEntry* entry, int firstGroup, int position);
  int generateSQLfile(userDataListEntry* entry, int mode);
  int generateODIfile(userDataListEntry* entry, int firstGroup, int position);
  int generateJPFfile(userDataListEntry* entry, int firstGroup);

  // Adds the domain to domainSet unless it is there. False (traced) when the set would
  // outgrow kMaxDomainSet.
  bool addDomain(std::string_view domainName);
  // tableNameList and attrGroupList: the names of the entries of that list type into text.
  const char* nameList(int listType, bool tableNames, std::string* text);
  // The values that open the ODI and JPF files, stamped now.
  DefinitionFileHead fileHead(const char* affinityName, const char* affinityString) const;
  // Application name, group name and release run together.
  std::string objectName(const userDataListEntry& entry) const;

  bool setNames(const char* applName);
  int fetchDefinitionTexts();
  int takeApplInfoRecords();
  void takeAttributeBlocks();
  int compareWithWorkFile(std::FILE* workFile);
  void buildEntries();
  void buildAttributes();
  userDataListEntry* findEntry(std::string_view attrGroup) const;

  char applName_[kMaxApplName + 1] = {};
  char applNameRR_[kMaxApplName + 3] = {};
  char RR_[3] = {};
  char applKey_[4] = {};
  char keyRR_[6] = {};
  char currTableName_[11] = {};
  const char* subnodeAffinity_ = nullptr;
  char timeStamp_[17] = {};
  std::string applInfo_;
  std::string attrInfo_;
  std::string helpInfo_;
  char cvrm_[9] = {};
  char lvrm_[9] = {};
  char priorVRM_[9] = {};
  char workFileName_[257] = {};
  short status_ = 0;
  short errors_ = 0;
  int noOfAttrGroups_ = 0;
  int maxAttrGroups_ = 0;
  RecordRoom<checksumInfo> checksumInfo_;
  uint16_t savedHelpChecksum_ = 0;
  uint16_t newHelpChecksum_ = 0;
  Ring<userDataListEntry> entries_;
  pthread_mutex_t lock_;

  // The definition-file writers' state, over all groups of one pass.
  static constexpr size_t kMaxDomainSet = 639;
  int columnCounter_ = 0;
  std::string domainSet_;
  std::vector<std::string> domainsWritten_;
  std::string tableNameList_;
  std::string attrGroupList_;
  int ODIlineCounter_ = 0;
  int JPFlineCounter_ = 0;
};
