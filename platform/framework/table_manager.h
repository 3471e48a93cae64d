// Remote-agent framework stand-in: table managers, the remote manager that knows them,
// and the list of a manager's open requests.
//
// A table agent derives a manager from TableManager for each table it serves and
// registers it (RegisterWithManager or RemoteManager::RegisterClass), at any time,
// also before tzomain runs. For each request of the management server on the table
// the framework asks the manager for a request object (CreatePxraf), keeps it in the
// manager's request list while it lives, and deletes it when the request ends.
//
// Lock rules: the manager's lock (lock/unlock) guards only its request list. The
// framework never holds it while calling into a request (constructor, TakeSample,
// destructor), so a table agent may walk the list under the lock and call into the
// requests it pins with Pxraf::UseHandle.
#pragma once

#include <memory>
#include <vector>

#include "pxraf.h"

// An ordered list of pointers the list does not own.
class LinkedList {
 public:
  LinkedList() = default;
  LinkedList(const LinkedList&) = delete;
  LinkedList& operator=(const LinkedList&) = delete;

  void Append(void* item);
  // False when the item is not in the list.
  bool Remove(void* item);
  bool Contains(const void* item) const;
  int Count() const;
  // Item i (0 to Count()-1) in order of appending, else null.
  void* At(int i) const;

 private:
  std::vector<void*> items_;
};

// A manager's open requests, in the order they were opened.
class PxrafList : public LinkedList {
 public:
  Pxraf* At(int i) const { return static_cast<Pxraf*>(LinkedList::At(i)); }
};

// Walks a PxrafList; the walker holds the manager's lock.
class PxrafListIter {
 public:
  explicit PxrafListIter(PxrafList* list) : list_(list) {}
  // The next request, or null after the last.
  Pxraf* Next() { return list_ != nullptr ? list_->At(next_++) : nullptr; }
  void Reset() { next_ = 0; }

 private:
  PxrafList* list_;
  int next_ = 0;
};

class TableManager {
 public:
  // The manager of one table of one application (names copied).
  TableManager(const char* application, const char* table);
  TableManager(const TableManager&) = delete;
  TableManager& operator=(const TableManager&) = delete;

  // Virtual operations, in slot order.
  // 1: unregisters the manager. Requests still open are ended first (with a trace
  // warning): end them with Shutdown before a derived manager goes.
  virtual ~TableManager();
  // 2: ends the manager's open requests (their destructors run); 0, else a failure
  // (the requests then stay open). Not to be called while holding a request's pin.
  virtual int Shutdown(unsigned long code);
  // 3: a new request object of this table, or null when none can be made.
  virtual Pxraf* CreatePxraf(RequestDetail* detail, ContextInfo* context) = 0;

  // Registers the manager with the remote manager: 0; RAF_STATUS_DUPLICATE_TABLE when a
  // manager of the same application and table is registered (this one included);
  // RAF_STATUS_BAD_NAME when either name is empty.
  int RegisterWithManager();

  const char* ApplicationName();
  const char* TableName();

  // Guard the request list.
  void lock();
  void unlock();
  // The open requests; walk it only while holding lock().
  PxrafList* RequestList();

 private:
  friend struct TableManagerInternals;
  struct State;
  std::unique_ptr<State> state_;
};

// The framework's registry of table managers.
class RemoteManager {
 public:
  // As TableManager::RegisterWithManager; RAF_STATUS_BAD_NAME for a null manager.
  static int RegisterClass(TableManager* manager);
  // The remote manager, held until Drop; null once the framework has shut down.
  static RemoteManager* GetManager();
  // The registered manager of this application and table (exact names), or null.
  TableManager* FindTableManager(const char* application, const char* table);
  // Releases what GetManager gave.
  void Drop();

 private:
  RemoteManager() = default;
  friend struct TableManagerInternals;
};
