// The remote-file table Q7SRV.RMTFILE: through it the management server reads a definition
// file that the agent wrote for a user application (catalogue, attributes or ODI file). A
// request names the application by a subnode (predicate ORIGINNODE) and the file by its
// kind (predicate RMTFILE: "*CAT", "*ATTR" or "*ODI", compared as a prefix); a demand
// sample answers the file's whole lines, as many as fit each 512-byte row.
#pragma once

#include <cstdio>
#include <string>

#include "fixed_table_base.h"

struct q7srv_rmtfile_data_t {
  char filerow[512];    // whole lines, separated by line feeds, NUL-terminated, zeros after
  char originnode[32];  // as the request gave it, blank-padded
  char rmtfile[32];     // as the request gave it, blank-padded
};
static_assert(sizeof(q7srv_rmtfile_data_t) == 576, "the row the framework receives");

class q7srv_rmtfile_base : public fixedTableBase {
 public:
  q7srv_rmtfile_base(RequestDetail* detail, ContextInfo* context, TableManager* manager);
};

class q7srv_rmtfile_agent : public q7srv_rmtfile_base {
 public:
  // Takes the file from the request's predicates; a request it cannot serve answers no rows.
  q7srv_rmtfile_agent(RequestDetail* detail, ContextInfo* context, TableManager* manager);
  ~q7srv_rmtfile_agent() override;

  void TakeSample() override;

 private:
  bool setUp();
  // Reads the file into rows; false (traced) when it stopped on a fault.
  bool emitFile(std::FILE* file, int* rows);
  // Hands FILEROW to the framework: the text up to its last line feed, or, at the end of
  // the file, its last line whole.
  bool handOver(const std::string& text, bool lastRow);

  short errors_ = 0;
  std::string fileName_;
  std::string key_;
  q7srv_rmtfile_data_t row_;
};

class q7srv_rmtfile_manager : public fixedTableManager {
 public:
  q7srv_rmtfile_manager();
  Pxraf* CreatePxraf(RequestDetail* detail, ContextInfo* context) override;
  // Rows to every open request of the table (none pushes rows here): as AddDataToEvent;
  // 0 without a manager.
  static int EventArrived(q7srv_rmtfile_data_t* rows, int count);
};
