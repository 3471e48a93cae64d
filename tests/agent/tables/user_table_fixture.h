// The user-table agent in a test's own process: a table's manager with columns of the
// test's making (Name, Small, Count, State), a sample registry whose sources and row
// lists the test puts online, and requests opened, sampled and closed through the
// framework stand-in's driver. Rule actions go to a loopback port nobody serves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data_list.h"
#include "pinned_agent.h"
#include "raf_driver.h"
#include "samples_list.h"
#include "trace_capture.h"
#include "zev_dorvan_agent.h"
#include "zev_dorvan_manager.h"

constexpr char kAppl[] = "MYAPP";
constexpr char kApplRR[] = "MYAPP00";
constexpr char kTable[] = "MYA1234500";
// ORIGINNODE 0-31, Name 32-39, Small 40-41 (2-byte integer), Count 42-45, State 46-49
// (text with an enumeration).
constexpr int kRowSize = 50;

userTableColumnsPtr Columns();
std::string Row(const std::string& name, int16_t small, int32_t count, const std::string& state = "up");
// The Name column without trailing blanks.
std::string NameOf(const std::string& row);
std::vector<std::string> NamesOf(const std::vector<std::string>& rows);

class UserTable {
 public:
  UserTable();
  // Ends the open requests of the table.
  ~UserTable();
  UserTable(const UserTable&) = delete;
  UserTable& operator=(const UserTable&) = delete;

  raf::RequestSpec Spec(const std::vector<std::string>& subnodes, int sampleType = 3,
                        const std::string& situation = "");
  uint32_t Open(const raf::RequestSpec& spec);
  // The source online in the registry, with a row list (sample type S) holding the rows.
  std::shared_ptr<dataList> Online(const char* source, const std::vector<std::string>& rows = {});
  static void Add(dataList& list, const std::string& row);
  std::vector<std::string> Sample(uint32_t handle);

  samplesList& registry() { return registry_; }
  zev_dorvan_manager& manager() { return manager_; }
  TraceCapture& trace() { return trace_; }

 private:
  TraceCapture trace_{"*=0x90"};
  samplesList registry_;
  zev_dorvan_manager manager_{kApplRR, kTable};
};
