// Automation commands: the capsule and its way through the command callback.
#include <cstring>

#include "internal/identity.h"
#include "internal/pxraf_state.h"
#include "trc1.h"

TRC_UNIT();

PxrafAutomationCapsule::PxrafAutomationCapsule(Pxraf* request, const char* command, int dataRowNum)
    : request_(request), command_(strdup(command != nullptr ? command : "")), dataRowNum_(dataRowNum) {}

PxrafAutomationCapsule::~PxrafAutomationCapsule() { free(command_); }

char* PxrafAutomationCapsule::Command() { return command_; }

Pxraf* PxrafAutomationCapsule::Request() { return request_; }

int PxrafAutomationCapsule::DataRowNum() { return dataRowNum_; }

void PxrafAutomationCapsule::SetResults(int result) { results_ = result; }

int PxrafAutomationCapsule::Results() { return results_; }

bool PxrafAutomationCapsule::Finished() { return finished_; }

int Pxraf::ExecuteCommand(char* command, int dataRowNum, char* pattern) {
  std::string chosen = pattern != nullptr ? pattern : "*";
  RAF_CommandCallback callback = raf::CallbackFor(chosen);
  if (callback == nullptr) {
    TRC(TRC_ERROR, "Error: no command callback registered under <%s>", chosen.c_str());
    return RAF_STATUS_NO_CALLBACK;
  }
  PxrafAutomationCapsule capsule(this, command, dataRowNum);
  if (capsule.Command() == nullptr) return RAF_STATUS_NO_STORAGE;
  int returned = callback(&capsule);
  state_->commandResults = capsule.Results();
  state_->commandFinished = capsule.Finished();
  return returned;
}

void Pxraf::FinishedAutomationCommand(PxrafAutomationCapsule* capsule) {
  if (capsule == nullptr) return;
  capsule->finished_ = true;
  CommandCompleted(capsule);
}

void Pxraf::CommandCompleted(PxrafAutomationCapsule* capsule) {
  TRC(TRC_DETAIL, "Command <%s> of request %u completed with result %d", capsule->Command(), Handle(),
      capsule->Results());
}
