// The agent's registry of the table managers of user tables, by application name (with
// its release) and table name, kept across restarts in a work file of one
// "APPLICATION TABLE SNMPFLAG" line per table (docs/table-manager-work-file.md).
//
// Start-up makes the one registry of the process (publishing it with setTableManagers);
// its construction re-creates a manager for every table the work file names, so that the
// framework knows the tables before their data providers are back. Table descriptions
// look managers up and add new ones; table data threads look theirs up.
//
// Every operation holds the registry's one lock and takes no other while it does. Once
// any error happened, every later addEntry is refused; look-ups go on working.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdio>
#include <string_view>

#include "agent_ring.h"

class zev_dorvan_manager;

class tableManagerListEntry : public RingLink<tableManagerListEntry> {
 public:
  static constexpr size_t kMaxApplName = 22;
  static constexpr size_t kMaxTableName = 12;

  // The names must fit (see namesFit).
  tableManagerListEntry(const char* applName, const char* tableName, zev_dorvan_manager* manager);

  static bool namesFit(const char* applName, const char* tableName);
  const char* applName() const { return applName_; }
  const char* tableName() const { return tableName_; }
  zev_dorvan_manager* manager() const { return manager_; }

 private:
  char applName_[kMaxApplName + 1] = {};
  char tableName_[kMaxTableName + 1] = {};
  zev_dorvan_manager* manager_;
};

using tableManagerListIterator = RingIterator<tableManagerListEntry>;

class tableManagerList {
 public:
  // Where a manager comes from: a table new to this agent (its line is written to the
  // work file) or a line of the work file read back at start-up (nothing is written).
  static constexpr int kNewTable = 1;
  static constexpr int kFromWorkFile = 2;
  // A table found beyond this many entries moves to the head.
  static constexpr int kEntriesBeforeMoveToHead = 20;

  // Opens the work file, named by the product specification (ZEVATBLS_FILE_NAME) in the
  // work directory, and re-creates its managers. Without a product code, or without the
  // file name for a product other than the default one, the process ends (exit code 1).
  tableManagerList();
  // Closes the work file. The managers stay with the framework.
  ~tableManagerList();
  tableManagerList(const tableManagerList&) = delete;
  tableManagerList& operator=(const tableManagerList&) = delete;

  // Registers a manager after the others. 0, or 1 when refused (an earlier error, a table
  // name without a two-digit release) or failed.
  int addEntry(const char* applName, const char* tableName, zev_dorvan_manager* manager, int origin, short SNMPflag);
  // The manager of that application and table (exact names), or null.
  zev_dorvan_manager* getTblMgr(const char* applName, const char* tableName);
  void printList();

  // Walk it only while no other thread adds or looks up.
  const Ring<tableManagerListEntry>& entries() const { return entries_; }
  int count() const { return entries_.count(); }
  int errors() const { return errors_; }

 private:
  int processWorkFile();
  int processWorkFileLine(std::string_view line, short* SNMPflag);
  int getLock();
  int releaseLock();

  Ring<tableManagerListEntry> entries_;
  pthread_mutex_t lock_;
  std::atomic<int> errors_{0};
  std::FILE* workFile_ = nullptr;
};

// The name of the work file from the product specification's file-name item and product
// code: the item, else "ZEVATBLS" for the default product "EV"; null when neither applies
// (traced).
const char* tableManagerFileName(const char* fileNameItem, const char* productCode);

// The agent's registry, or null while there is none.
tableManagerList* tableManagers();
// Publishes the agent's registry (null when it goes).
void setTableManagers(tableManagerList* list);
