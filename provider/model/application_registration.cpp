#include "application_registration.h"

#include <string>

#include "application_entry.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "dp_log_numbers.h"
#include "engine_routines.h"
#include "metafile_text.h"
#include "model_release.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "validation_messages.h"

TRC_UNIT();

namespace {

void setEverySourceReady(ApplicationEntry* application) {
  zevp::EngineRoutines& routines = zevp::Routines();
  BSV1_GetLock(&application->TableListLock);
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
    BSV1_GetLock(&table->CounterLock);
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next)
      routines.updateSourceEntryState(source, ZEVP_Ready);
    BSV1_ReleaseLock(&table->CounterLock);
  }
  BSV1_ReleaseLock(&application->TableListLock);
}

SourceEntry* firstSourceOf(const ApplicationEntry* application) {
  return application->FirstTable != nullptr ? application->FirstTable->FirstSource : nullptr;
}

// The state the registration left on the application's first source.
int32_t registrationOutcome(DPAB* anchor, SourceEntry* first) {
  ProcessEntry* own = ZEVP_LocateOwnProcessEntry(anchor);
  if (own != nullptr) return zevp::AwaitRegistration(anchor, own, first);
  BSV1_GetLock(&anchor->statPELock);
  int32_t state = zevp::AwaitRegistration(anchor, anchor->pStatPE, first);
  BSV1_ReleaseLock(&anchor->statPELock);
  return state;
}

void sendDPlog(DPAB* anchor, int32_t number, const std::string& metafileName, const ApplicationEntry* application) {
  zevp::Routines().sendDPlogMessage(anchor, number, zevp::UpperCased(metafileName).c_str(), application->ApplName,
                                    nullptr, nullptr, nullptr);
}

}  // namespace

namespace zevp {

int32_t AwaitRegistration(DPAB* anchor, ProcessEntry* waiter, SourceEntry* source) {
  EngineRoutines& routines = Routines();
  ProcessEntry* owner = ZEVP_LendSource(source, waiter);
  routines.updateSourceEntryState(source, ZEVP_Register);
  routines.queueAndWaitDCHstatus(anchor, waiter, source);
  if (ShutdownRequested(anchor)) return kRegistrationAbandoned;
  ZEVP_GiveSourceBack(source, waiter, owner);
  return ZEVP_SourceStateOf(source);
}

ApplicationEntry* RegisterApplication(DPAB* anchor, ApplicationEntry* application, const char* metafileName,
                                      int startup) {
  SourceEntry* first = firstSourceOf(application);
  int32_t state = first != nullptr ? registrationOutcome(anchor, first) : ZEVP_Initial;
  if (state == kRegistrationAbandoned) {
    TRC(TRC_ERROR, "*** Application %s of metafile %s not loaded: the data provider is shutting down",
        application->ApplName, metafileName);
    return nullptr;
  }
  switch (state) {
    case ZEVP_Ready:
    case ZEVP_Pending:
      break;
    case ZEVP_Register:
      ZEVP_DisplayValidationMessage(ZEVPV10E, metafileName);
      application->KnownToAgent = 1;
      if (startup) {
        sendDPlog(anchor, ZEVP_DPLOG_ALREADY_REGISTERED, metafileName, application);
        ZEVP_ReleaseApplResources(anchor, application, 1);
        return nullptr;
      }
      setEverySourceReady(application);
      ZEVP_ReleaseApplGroupHelp(application);
      break;
    default:
      TRC(TRC_ERROR, "*** Registration of application %s ended in source state %d", application->ApplName, state);
      ZEVP_DisplayValidationMessage(ZEVPV08E, metafileName);
      ZEVP_ReleaseApplResources(anchor, application, 1);
      return nullptr;
  }
  if (application->SNMPapplication != 0 && first->State == ZEVP_Ready)
    Routines().snmpApplOnline(anchor, application);
  sendDPlog(anchor, ZEVP_DPLOG_APPLICATION_LOADED, metafileName, application);
  return application;
}

}  // namespace zevp
