// Automation commands as the management server fires them.
#include "internal/main_loop.h"
#include "internal/pxraf_state.h"
#include "internal/request_detail.h"
#include "internal/request_registry.h"

namespace {

// A policy's request: it carries commands and has no table agent behind it.
class PolicyRequest : public Pxraf {
 public:
  PolicyRequest(RequestDetail* detail, ContextInfo* context) : Pxraf(detail, context, nullptr) {}
  void TakeSample() override {}
};

raf::CommandOutcome run(Pxraf* request, const std::string& command, int dataRowNum) {
  raf::CommandOutcome outcome;
  std::string text = command;
  outcome.ran = true;
  outcome.returned = request->ExecuteCommand(text.data(), dataRowNum, nullptr);
  const auto& state = PxrafInternals::state(request);
  outcome.results = state.commandResults;
  outcome.finished = state.commandFinished;
  return outcome;
}

}  // namespace

namespace raf {

const char kPolicyTable[] = "CLACTRMT";

CommandOutcome FireCommand(uint32_t handle, const std::string& command, const std::vector<std::string>& firingRows,
                           int dataRowNum) {
  Pxraf* request = Pxraf::UseHandle(handle);
  if (request == nullptr) return {};
  PxrafInternals::replaceRows(request, firingRows);
  CommandOutcome outcome = run(request, command, dataRowNum);
  request->Drop();
  return outcome;
}

CommandOutcome FirePolicyCommand(const std::vector<std::string>& subnodes, const std::string& command) {
  if (FrameworkShutDown()) return {};
  uint32_t handle = NewHandle();
  if (handle == 0) return {};
  RequestSpec spec;
  spec.table = kPolicyTable;
  spec.sampleType = IntfSampleType_undefined;
  spec.subnodes = subnodes;
  RequestDetail detail(spec, handle);
  ContextInfo context(true);
  AddLiveRequest(new PolicyRequest(&detail, &context), nullptr);
  CommandOutcome outcome = FireCommand(handle, command, {}, 0);
  EndRequest(handle);
  return outcome;
}

}  // namespace raf
