// The sample registry (samplesList): the agent's one table of data sources, an entry
// per (application key, table, source) that has come online, or for which the
// framework asked before its source came online. Each entry holds the source's
// subnode names and status, the row list its table's data thread files into, and the
// requests deferred until the source comes online (samples_list_entry.h).
//
// Every operation holds the registry's lock for its whole search, takes no other lock
// of the row store, and copies its text results into the caller's buffer under the
// lock. Names compare exactly. A walk yields the entries in the order of their
// creation, except that an entry that dataListPtr finds beyond the 20th place moves to
// the front, since samples look their lists up on every sample.
//
// A source's rows come to its table's data thread straight from the DCH server, its
// online and offline to the status monitor, each at its own pace: a source that goes
// offline and at once online again can have the first rows of its new online filed into
// the entry of the earlier one before the monitor handles that offline. So the row list
// of an entry that goes with its source's offline is kept, and the source's next online
// entry takes it over; its rows still expire by the table's time-to-live.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <list>
#include <memory>

#include "data_list.h"
#include "deferred_request.h"
#include "samples_list_entry.h"

class samplesList {
 public:
  using SubnodeName = char[samplesListEntry::kSubnodeNameSize];
  using SourceName = char[samplesListEntry::kSourceNameSize];
  using UntouchedName = char[samplesListEntry::kUntouchedNameSize];

  samplesList();
  ~samplesList();
  samplesList(const samplesList&) = delete;
  samplesList& operator=(const samplesList&) = delete;

  // Records a source of a table online under the subnode name built from the names
  // (ZEVA_SetSubnodeName): the entry that deferred requests made for that subnode is
  // taken over and its requests redriven; otherwise a new entry. Either takes the row
  // list that the source's last offline left. The subnode name
  // (in subnodeName) or null when it cannot be built or recorded. When the lock
  // cannot be taken the name is built and nothing recorded.
  const char* onlineEntry(const char* applName, const char* tableName, const char* attrGroup, const char* release,
                          const char* sourceName, SubnodeName& subnodeName);
  // Hangs the row list into the entry of its table and source with this key and
  // attribute group, unless the entry has one already (taken over at its online, which
  // dataListPtr then gives): 0; 1 when there is no such entry (yet).
  int updateDataList(const char* applKey, const char* attrGroup, const char* sourceName,
                     std::shared_ptr<dataList> list);
  // A row list whose source has no entry: its table's data thread is ending with rows in
  // it. The list is left for the source's next online, unless an entry has come
  // meanwhile, which gets it when it has none, or a list of the source was left before,
  // which takes the rows. The list that holds the rows now.
  std::shared_ptr<dataList> leaveDataList(std::shared_ptr<dataList> list);
  // The row list of the source of the table, or null.
  std::shared_ptr<dataList> dataListPtr(const char* applKey, const char* tableName, const char* sourceName);
  // Queues a request for a subnode that is not online yet, creating the subnode's entry
  // when there is none: 0 queued or already queued; 1 refused.
  int requestDefer(const char* applKey, const char* subnodeName, deferredRequester* agent, uint32_t handle,
                   int kind);
  // Frees the first slot holding this agent in the first entry of the key, table and source.
  void removeDeferRequest(const char* applKey, const char* tableName, const char* sourceName,
                          deferredRequester* agent);
  // Frees every slot that holds this agent, in every entry: the request is ending.
  void removeDeferRequests(deferredRequester* agent);
  // Deletes the first entry of the key, table and source with its queue; its row list is
  // left for the source's next online. 1 when at least two entries had the key before
  // the call, else 0.
  int removeEntry(const char* applKey, const char* tableName, const char* sourceName);
  // The subnode name of the entry of the key, source and attribute group: 0; 1 not found.
  int getSubnodeName(const char* applKey, const char* sourceName, const char* attrGroup, SubnodeName& subnodeName);
  // The source name of the entry with this subnode name (in sourceName), or null.
  const char* getSourceNameFromSubnodeName(const char* subnodeName, SourceName& sourceName);
  // Marks the first entry with this subnode name as reported to the framework; its
  // previous status (1 the first time after onlineEntry, 3 later), 0 when none.
  int subnodeOnline(const char* subnodeName);
  // 1 when an online entry has this subnode name and table, else 0.
  int subnodeOnlineForTable(const char* subnodeName, const char* tableName);
  // The number of entries of the key and source: the source's attribute groups.
  int countOfAttrGroups(const char* applKey, const char* sourceName);
  // The untouched subnode name of the first online entry with this subnode name and
  // table (in untouched), or null.
  const char* getOriginalSubnodeName(const char* subnodeName, const char* tableName, UntouchedName& untouched);
  int noOfElements();
  void printList();

 private:
  using Entries = std::list<samplesListEntry>;

  bool getLock();
  void releaseLock();
  Entries::iterator findOnlineForTable(const char* subnodeName, const char* tableName);
  samplesListEntry* createEntry(const char* applKey, const char* tableName, const char* sourceName,
                                const char* subnodeName);
  using LeftRows = std::list<std::shared_ptr<dataList>>;
  template <class Named>
  LeftRows::iterator leftRowsOf(const Named& named);
  void leaveRows(std::shared_ptr<dataList> list);
  std::shared_ptr<dataList> leftRowsOrLeave(std::shared_ptr<dataList> list);
  void takeLeftRows(samplesListEntry& entry);

  Entries entries_;
  // The row lists of sources gone offline, oldest first, one per key, table and source.
  LeftRows leftRows_;
  pthread_mutex_t lock_;
};

// The agent's registry, or null while there is none.
samplesList* dataSamples();
// Publishes the agent's registry (null when it goes).
void setDataSamples(samplesList* list);
