#include "zevraf_rows.h"

#include <sstream>

#include "eventually.h"

namespace {

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, '\t')) fields.push_back(field);
  if (!line.empty() && line.back() == '\t') fields.emplace_back();
  return fields;
}

bool Holds(const SampledRow& row, const SampledRow& fields) {
  for (const auto& [column, value] : fields) {
    auto found = row.find(column);
    if (found == row.end() || found->second != value) return false;
  }
  return true;
}

}  // namespace

SampledRows ReadSampledRows(const ToolRun& run) {
  SampledRows sampled;
  if (run.exitStatus != 0) return sampled;
  sampled.answered = true;
  std::istringstream lines(run.output);
  std::string line;
  if (!std::getline(lines, line)) return sampled;
  sampled.columns = Fields(line);
  while (std::getline(lines, line)) {
    std::vector<std::string> values = Fields(line);
    SampledRow row;
    for (size_t i = 0; i < sampled.columns.size(); ++i) row[sampled.columns[i]] = i < values.size() ? values[i] : "";
    sampled.rows.push_back(row);
  }
  return sampled;
}

SampledRows SampleRows(const AgentProcess& agent, const std::string& application, const std::string& table) {
  return ReadSampledRows(agent.zevraf({"sample", application, table}));
}

std::vector<std::string> TablesOf(const AgentProcess& agent, const std::string& application) {
  std::vector<std::string> tables;
  for (const std::string& line : LinesWith(agent.zevraf({"tables"}), application + "\t")) {
    std::vector<std::string> fields = Fields(line);
    if (fields.size() == 2 && fields[0] == application) tables.push_back(fields[1]);
  }
  return tables;
}

std::string TableWithColumn(const AgentProcess& agent, const std::string& application, const std::string& column) {
  for (const std::string& table : TablesOf(agent, application))
    for (const std::string& name : SampleRows(agent, application, table).columns)
      if (name == column) return table;
  return std::string();
}

SampledRow WaitForRow(const AgentProcess& agent, const std::string& application, const std::string& table,
                      const SampledRow& fields, int waitMs) {
  SampledRow found;
  Eventually(
      [&] {
        for (const SampledRow& row : SampleRows(agent, application, table).rows)
          if (Holds(row, fields)) {
            found = row;
            return true;
          }
        return false;
      },
      waitMs);
  return found;
}
