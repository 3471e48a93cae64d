// Dispatch of a DCH request to its handler by request code, and the replies that the
// request loop sends for the handler.
#include <ctime>

#include "dch_server.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/typed_field.h"

TRC_UNIT();

int DCHserver::dispatch(uint16_t requestCode, char* message) {
  switch (requestCode) {
    case DCH_dp_register:
      return answer(dp_register(static_cast<int>(ZEV0_MessageTotalLength(message)), message));
    case DCH_dp_online:
      return answerOnline(message);
    case DCH_dp_unregister:
      return answer(dp_unregister(message));
    case DCH_dp_offline:
      return answer(dp_offline(message));
    case DCH_dp_data:
      return answerData(message);
    case DCH_dp_waitForAction:
      return answer(dp_waitForAction(message));
    case DCH_dp_provideActionResults:
      return answer(dp_provideActionResults(message));
    case DCH_dp_cancel:
      return dp_cancel(message);
    // The consumer handlers answer or park the request themselves.
    case DCH_dc_getAppl:
      dc_getApplications(message, nullptr, nullptr);
      return 0;
    case DCH_dc_getApplHelp:
      dc_getApplHelp(message, nullptr, nullptr);
      return 0;
    case DCH_dc_getAttrInfo:
      dc_getApplAttributes(message, nullptr, nullptr);
      return 0;
    case DCH_dc_waitOnData:
      dc_waitOnData(message, 0, nullptr);
      return 0;
    case DCH_dc_waitForDPStatus:
      dc_waitForDPStatus(message, nullptr, nullptr, nullptr, 0, nullptr);
      return 0;
    case DCH_dc_provideAction:
      return traceProvideAction(message);
    case DCH_dc_waitForActionResults:
      return answerWaitForActionResults(message);
    default:
      // Not answered: the client's own time-out applies.
      TRC(TRC_ERROR, "Error: Invalid DCHserver requestType %d", requestCode);
      return 0;
  }
}

int DCHserver::answer(int status) {
  sendStatus(status, kNoHandle);
  return status;
}

// The handle field is always there; it is 0 for a failed request.
int DCHserver::answerOnline(char* message) {
  long handle = 0;
  int status = dp_online(message, _clientName, &handle);
  sendStatus(status, status == 0 ? handle : 0);
  return status;
}

// The processor time is measured only for the trace: reading it is a system call.
int DCHserver::answerData(char* message) {
  if (!TRC_ON(TRC_DETAIL)) return answer(dp_data(message));
  clock_t started = clock();
  int status = dp_data(message);
  TRC(TRC_DETAIL, "dp_data used %.3f CPU seconds", static_cast<double>(clock() - started) / CLOCKS_PER_SEC);
  return answer(status);
}

// The consumer learns the action's status, not the handler's.
int DCHserver::answerWaitForActionResults(char* message) {
  long results = ZEV_ACTION_STATUS_UNKNOWN;
  int status = dc_waitForActionResults(message, &results);
  sendStatus(results, kNoHandle);
  return status;
}

// The consumer gets no reply.
int DCHserver::traceProvideAction(char* message) {
  int status = dc_provideAction(message);
  if (status == 0)
    TRC(TRC_DETAIL, "DCprovideAction successful.");
  else
    TRC(TRC_ERROR, "DCprovideAction failed.");
  return status;
}
