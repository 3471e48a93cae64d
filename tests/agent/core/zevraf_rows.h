// The answers of zevraf against an agent program as named fields: a sample's rows
// as maps from column name to value, the framework's name of an application's
// table found by a column it has, and a bounded wait for a row that holds given
// fields.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "agent_process.h"

using SampledRow = std::map<std::string, std::string>;

struct SampledRows {
  bool answered = false;             // zevraf answered the sample (exit status 0)
  std::vector<std::string> columns;  // the header, ORIGINNODE first
  std::vector<SampledRow> rows;
};

// The sample's lines read by the header's column names.
SampledRows ReadSampledRows(const ToolRun& run);

// zevraf sample of the table of the application (the framework's names, e.g.
// "SNMP-MANAGER00" and "SNM3034800").
SampledRows SampleRows(const AgentProcess& agent, const std::string& application, const std::string& table);

// The registered tables of the application, in the order of registration.
std::vector<std::string> TablesOf(const AgentProcess& agent, const std::string& application);

// The first table of the application whose sample has the column; empty for none.
std::string TableWithColumn(const AgentProcess& agent, const std::string& application, const std::string& column);

// Samples the table until a row holds every one of the fields (column -> value),
// within the time; that row, or an empty one when none came.
SampledRow WaitForRow(const AgentProcess& agent, const std::string& application, const std::string& table,
                      const SampledRow& fields, int waitMs);
