// The framework's table manager of one user table (an attribute group of one
// application release), and the binding of a table's description to it.
//
// A manager lives from its creation to the end of the process; the descriptions it
// serves come and go with their application's definition. So far it keeps its binding
// only: the requests of the management server on the table are not served yet
// (CreatePxraf makes none).
#pragma once

#include <mutex>

#include "table_manager.h"

class userDataInfo;

class zev_dorvan_manager : public TableManager {
 public:
  zev_dorvan_manager(const char* applName, const char* tableName);
  ~zev_dorvan_manager() override = default;

  Pxraf* CreatePxraf(RequestDetail* detail, ContextInfo* context) override;

  // The description the manager serves, or null.
  void setUserDataPtr(userDataInfo* description);
  userDataInfo* userDataInfoPtr() const;
  // Unbinds the description, but only while it is the one bound: a description of the
  // same table built since (the application came straight back) keeps its binding.
  void clearUserDataPtr(const userDataInfo* description);

  // Offers an event row (length bytes) to the table's open requests. So far it traces
  // the row's arrival only; 0.
  int EventArrived(char* row, int length);

  void SNMPflag(short flag);
  short isSNMPdata() const;

 private:
  mutable std::mutex bindingLock_;
  userDataInfo* userData_ = nullptr;
  short SNMPflag_ = 0;
};

// Binds a table's description to its manager. With names (or without a manager): makes
// a manager of that application and table, registers it with the framework, binds the
// description (when there is one) both ways and sets the SNMP flag. Without names but
// with a manager: binds the description to that manager. The manager, or null (traced)
// when none could be made or there is no description to bind.
zev_dorvan_manager* zev_dorvan_init(const char* applName, const char* tableName, userDataInfo* description,
                                    zev_dorvan_manager* manager, short SNMPflag);
