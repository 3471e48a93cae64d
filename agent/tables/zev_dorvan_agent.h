// One management-server request on a user table (zev_dorvan_agent): it keeps the
// subnodes the request names (one per data source), emits at each sample the stored
// rows of each source that is online for the table, defers itself at the sample
// registry for a source of its application that is not online yet (the registry
// redrives it when the source comes), and hands a polled situation's predicate down to
// the data providers of each source (RULESTART), withdrawing it when the request ends
// (RULESTOP).
//
// The framework makes it through the table's manager and calls it on its own threads;
// the status monitor's thread only marks a subnode online (redriveRequest).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "deferred_request.h"
#include "request_kind.h"
#include "samples_list_entry.h"
#include "zev_dorvan_base.h"

class zev_dorvan_agent : public zev_dorvan_base, public deferredRequester {
 public:
  static constexpr int kMaxSubnodes = 128;
  static constexpr int kNameSize = 33;

  // Classifies the request and takes its subnodes (TakeSampleConstructor).
  zev_dorvan_agent(RequestDetail* detail, ContextInfo* context, zev_dorvan_manager* manager);
  // Withdraws the request's deferrals and stops its rules (TakeSampleDestructor).
  ~zev_dorvan_agent() override;

  // One sample: the rows of each subnode online for the table; a subnode not online yet
  // defers the request. Nothing once the request is in error.
  void TakeSample() override;
  // One row of rowSize bytes: inserted as it is for a demand request, else when it meets
  // the thresholds. InsertRow's result, or 2 when the row was not inserted.
  int AddData(void* row, int rowSize) override;
  // The registry's word that a deferred subnode has come online: it is sampled from the
  // next sample on when the table is the request's. 0, or 1 when the request has no such
  // subnode.
  int redriveRequest(const char* subnodeName, const char* tableName, int requestKind) override;

  requestKind kind() const { return kind_; }
  int status() const { return status_; }
  int numberOfSubnodes() const { return numberOfSubnodes_; }
  // The subnode name served for subnode i (after the action table's rewrite) and the
  // origin node written into its rows.
  const char* subnodeName(int i) const;
  const char* originNode(int i) const;

 private:
  static constexpr int kNotOnline = 0;
  static constexpr int kOnline = 2;

  struct subnodeEntry {
    char applKey[4] = {};
    char subnodeName[kNameSize] = {};
    char originNode[kNameSize] = {};
    char sourceName[kNameSize] = {};
    // Set online by a sample or by the registry's redrive; never set back.
    std::atomic<int> subnodeStatus{kNotOnline};
    uint32_t actionID = 0;
    bool ruleStarted = false;
  };

  void TakeSampleConstructor();
  void TakeSampleDestructor();
  void takeSubnodes();
  void startEventMonitoring();
  int eventMonitoring(int i);
  // Defers the request for a subnode of its application that is not online. 0, or the
  // failing step's status.
  int deferForSubnode(int i, int kind);
  int checkSubnodeName2TableName(const char* subnodeName);
  int setSrcNameFromSubnodeName(subnodeEntry& subnode);
  // The stored rows of an online subnode; the request's status.
  int emitRows(subnodeEntry& subnode);
  int processRuleStart(int i);
  int processRuleStop(int i);
  // The untouched subnode name of an online subnode (source:applGroupRR), into node;
  // false when the registry has none.
  bool originalSubnodeName(const subnodeEntry& subnode, char (&node)[samplesListEntry::kUntouchedNameSize]);

  subnodeEntry subnodes_[kMaxSubnodes];
  int numberOfSubnodes_ = 0;
  char applKey_[4] = {};
  std::string tableName_;
  std::string situationName_;
  uint32_t handle_ = 0;
  requestKind kind_ = kUnrecognised;
  int sampleType_ = 0;
  // Seconds; 0: every stored row.
  unsigned long sampleBaseline_ = 0;
  int status_ = 0;
};
