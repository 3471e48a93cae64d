// The framework's table manager of one user table (an attribute group of one
// application release), and the binding of a table's description to it.
//
// A manager lives from its creation to the end of the process; the descriptions it
// serves come and go with their application's definition. For each request of the
// management server on the table it makes a request agent (zev_dorvan_agent), which
// reads the table's columns from the manager before each use; the columns are a copy
// of the bound description that its application's probe publishes once the definition
// is complete, and that goes when the description is unbound. Event rows of the table
// are pushed to its open event requests at once (EventArrived).
#pragma once

#include <mutex>

#include "table_manager.h"
#include "user_table_columns.h"

class userDataInfo;

class zev_dorvan_manager : public TableManager {
 public:
  zev_dorvan_manager(const char* applName, const char* tableName);
  // Ends the table's open requests first: they refer to the manager.
  ~zev_dorvan_manager() override;

  // A new request agent of this table, or null when none can be made.
  Pxraf* CreatePxraf(RequestDetail* detail, ContextInfo* context) override;

  // The description the manager serves, or null.
  void setUserDataPtr(userDataInfo* description);
  userDataInfo* userDataInfoPtr() const;
  // Unbinds the description, but only while it is the one bound: a description of the
  // same table built since (the application came straight back) keeps its binding.
  void clearUserDataPtr(const userDataInfo* description);
  // The probe's word that the description is complete: the requests' columns, taken
  // from it, while it is still the one bound (null: none is bound).
  void publishColumns(const userDataInfo* description, userTableColumnsPtr columns);
  // The columns of the bound, complete description, or null.
  userTableColumnsPtr columns() const;

  // Offers an event row (length bytes) to the table's open requests: 1 on failure, else
  // what AddDataToEvent answered.
  int EventArrived(char* row, int length);
  // Under the manager's lock, offers the row to each open event request that is still
  // alive, dispatches what it took and clears it. The last non-zero dispatch result, or 0.
  int AddDataToEvent(char* row, int length);

  void SNMPflag(short flag);
  short isSNMPdata() const;

 private:
  mutable std::mutex bindingLock_;
  userDataInfo* userData_ = nullptr;
  userTableColumnsPtr columns_;
  short SNMPflag_ = 0;
};

// Binds a table's description to its manager. With names (or without a manager): makes
// a manager of that application and table, registers it with the framework, binds the
// description (when there is one) both ways and sets the SNMP flag. Without names but
// with a manager: binds the description to that manager. The manager, or null (traced)
// when none could be made or there is no description to bind.
zev_dorvan_manager* zev_dorvan_init(const char* applName, const char* tableName, userDataInfo* description,
                                    zev_dorvan_manager* manager, short SNMPflag);
