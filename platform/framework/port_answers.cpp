#include "internal/port_answers.h"

#include "internal/manager_registry.h"
#include "internal/pxraf_state.h"
#include "internal/request_registry.h"
#include "internal/sample_lines.h"
#include "internal/subnodes.h"
#include "raf_driver.h"

namespace raf {

namespace {

void subnodeLines(std::vector<std::string>* lines) {
  for (const Subnode& subnode : Subnodes())
    if (subnode.online)
      lines->push_back(PrintableText(subnode.name) + '\t' + PrintableText(subnode.affinity) + '\t' +
                       PrintableText(subnode.application) + '\t' + PrintableText(subnode.version));
}

void tableLines(std::vector<std::string>* lines) {
  for (const Manager& manager : Managers())
    lines->push_back(PrintableText(manager.application) + '\t' + PrintableText(manager.table));
}

// One demand sample of the table for the subnode, or for every online subnode.
std::string sampleLines(const PortRequest& request, std::vector<std::string>* lines) {
  const std::vector<std::string>& fields = request.fields;
  RequestSpec spec;
  spec.predicates = request.predicates;
  spec.application = fields[0];
  spec.table = fields[1];
  spec.sampleType = IntfSampleType_demand;
  if (FindManager(spec.application, spec.table) == nullptr)
    return "unknown table <" + spec.application + "> <" + spec.table + ">";
  if (fields.size() == 3) {
    if (!SubnodeOnline(fields[2])) return "unknown subnode <" + fields[2] + ">";
    spec.subnodes.push_back(fields[2]);
  } else {
    for (const Subnode& subnode : Subnodes())
      if (subnode.online) spec.subnodes.push_back(subnode.name);
  }
  uint32_t handle = OpenRequest(spec);
  if (handle == 0) return "the table manager of <" + spec.application + "> <" + spec.table + "> made no request";
  std::string error;
  if (Pxraf* sampled = Pxraf::UseHandle(handle)) {
    sampled->TakeSample();
    *lines = SampleLines(sampled, PxrafInternals::takeRows(sampled));
    sampled->Drop();
  } else {
    error = "the request ended before its sample";
  }
  CloseRequest(handle);
  return error;
}

std::string actionLines(const std::vector<std::string>& fields, std::vector<std::string>* lines) {
  if (!SubnodeOnline(fields[0])) return "unknown subnode <" + fields[0] + ">";
  CommandOutcome outcome = FirePolicyCommand({fields[0]}, fields[1]);
  if (!outcome.ran) return "the framework is shutting down";
  if (outcome.returned == RAF_STATUS_NO_CALLBACK) return "no command callback is registered";
  lines->push_back(std::to_string(outcome.returned));
  return "";
}

}  // namespace

std::string OkAnswer(const std::vector<std::string>& lines) {
  std::string answer = "OK\t" + std::to_string(lines.size()) + "\n";
  for (const std::string& line : lines) answer += line + "\n";
  return answer;
}

std::string ErrorAnswer(const std::string& error) { return "ERROR\t" + PrintableText(error) + "\n"; }

std::string AnswerPortRequest(const PortRequest& request) {
  std::vector<std::string> lines;
  std::string error;
  switch (request.kind) {
    case PortRequest::kSubnodes: subnodeLines(&lines); break;
    case PortRequest::kTables: tableLines(&lines); break;
    case PortRequest::kSample: error = sampleLines(request, &lines); break;
    case PortRequest::kAction: error = actionLines(request.fields, &lines); break;
    case PortRequest::kInvalid: error = request.error; break;
  }
  return error.empty() ? OkAnswer(lines) : ErrorAnswer(error);
}

}  // namespace raf
