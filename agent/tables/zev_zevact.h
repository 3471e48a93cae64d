// The action table ZEV.ZEVACT: through it the management server hands the agent a
// situation's alert (the request's predicates ORIGINNODE, SITNAME, SITTIME, SEVERITY,
// CATEGORY, TRAPDEST and ATTRVALS); each sample sends it to the data providers as one
// TRAPEMIT action and answers one row that echoes the alert, REQRC 0 when the action went,
// else -1.
#pragma once

#include <cstdint>

#include "fixed_table_base.h"

struct zev_zevact_data_t {
  char originnode[64];
  int32_t reqrc;
  char sitname[32];
  char sitorg[64];
  char sittime[20];
  char severity[32];
  char category[32];
  char trapdest[256];
  char attrvals[3200];
};
static_assert(sizeof(zev_zevact_data_t) == 3704, "the row the framework receives");

class zev_zevact_base : public fixedTableBase {
 public:
  zev_zevact_base(RequestDetail* detail, ContextInfo* context, TableManager* manager);

 protected:
  void insertingRow(int i) override;
};

class zev_zevact_agent : public zev_zevact_base {
 public:
  // Takes the alert from the request's predicates; one it cannot serve is answered REQRC -1.
  zev_zevact_agent(RequestDetail* detail, ContextInfo* context, TableManager* manager);

  void TakeSample() override;

 private:
  // The alert as the request gave it, each value cut to its column.
  struct Alert {
    char originNode[65] = {};
    char sitName[33] = {};
    char sitTime[21] = {};
    char severity[33] = {};
    char category[33] = {};
    char trapDest[257] = {};
    char attrVals[3201] = {};
  };

  void setUp();
  // Sends the TRAPEMIT action of the alert: its status, -1 when it was not sent.
  int sendAction(const char* situationOrigin);

  uint32_t handle_;
  int32_t status_ = 0;
  Alert alert_;
  zev_zevact_data_t row_;
};

class zev_zevact_manager : public fixedTableManager {
 public:
  zev_zevact_manager();
  Pxraf* CreatePxraf(RequestDetail* detail, ContextInfo* context) override;
  // Rows to every open request of the table (none pushes rows here): as AddDataToEvent;
  // 0 without a manager.
  static int EventArrived(zev_zevact_data_t* rows, int count);
};
