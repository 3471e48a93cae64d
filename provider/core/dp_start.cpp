#include "dp_start.h"

#include <string>

#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "engine_routines.h"
#include "process_entry.h"
#include "trc1.h"
#include "vmo1_transport.h"
#include "zev/dp_types.h"
#include "zev0/prodspec.h"

TRC_UNIT();

int32_t DPpgmStart = 0;

void Dummy_Function(ProcessEntry*) {}

void ZEVP_SetDPprogramStart() {
  DPpgmStart = 1;
  ZEV0_SetDPstartMode(1);
}

int32_t ZEVP_IsIndependentDPenvironment() { return DPpgmStart; }

namespace {

// The type as its trace line names it: type 0 is "API", not its code.
const char* const kTypeNames[] = {"API", "FILE", "SOCK", "ASFS", "POST", "SNMP", "APPC", "ODBC", "HTTP"};

// URL monitoring needs the HTTP library's transport, opened only now, so that a data
// provider of another type never maps it; 1 when it is ready.
int OpenHTTPtransport() {
  std::string failure;
  if (vmo1::OpenTransport(&failure)) return 1;
  TRC(TRC_ERROR, "Error: The HTTP data provider ends: %s", failure.c_str());
  return 0;
}

// Starts one input server thread of the type's own process type; 1 when it runs.
int StartInputServer(DPAB* anchor, ZEVP_ProcessRoutine routine, const char* failure) {
  if (ZEVP_CreateProcess(anchor, anchor->dpType, nullptr, routine, 0, nullptr)) return 1;
  TRC(TRC_ERROR, "%s", failure);
  return 0;
}

// The type's input threads; 0 when one could not be made or the type has none here.
int StartInputThreads(DPAB* anchor) {
  static const char kSocketServerFailed[] = "***** Socket Appl API server process startup failed.";
  zevp::EngineRoutines& routines = zevp::Routines();
  switch (anchor->dpType) {
    case ZEV_DP_APIS:
      return StartInputServer(anchor, routines.apiServer, kSocketServerFailed);
    case ZEV_DP_FILE:
      routines.checkAndStartFileServer(anchor, routines.fileServer);
      return 1;
    case ZEV_DP_SOCK:
      return StartInputServer(anchor, routines.socketServer, kSocketServerFailed);
    case ZEV_DP_ASFS:
      if (!StartInputServer(anchor, routines.apiServer, kSocketServerFailed)) return 0;
      routines.checkAndStartFileServer(anchor, routines.fileServer);
      return StartInputServer(anchor, routines.socketServer, kSocketServerFailed);
    case ZEV_DP_POST:
      return StartInputServer(anchor, routines.postServer, "***** Post server process startup failed.");
    case ZEV_DP_HTTP:
      if (!OpenHTTPtransport()) return 0;
      routines.initializeUMB(anchor);
      return StartInputServer(anchor, routines.httpManagerTask, "***** HTTP client process startup failed.");
    default:
      TRC(TRC_ERROR, "*****unsupported DP type: %d. Exiting", anchor->dpType);
      return 0;
  }
}

ZEVP_ProcessRoutine ConsoleTypeRoutine(int32_t dpType) {
  return dpType == ZEV_DP_FILE || dpType == ZEV_DP_ASFS ? zevp::Routines().fileServer : Dummy_Function;
}

}  // namespace

void* ZEVP_StartDataProvider(void* typeAddress) {
  const int32_t dpType = *static_cast<const int32_t*>(typeAddress);
  if (dpType < 0 || dpType > ZEVP_HIGHEST_STARTABLE_DP_TYPE) {
    TRC(TRC_ERROR, "*****Invalid input DP type %d, Exit!", dpType);
    return nullptr;
  }
  TRC(TRC_DETAIL, "Input DP Type is %s", kTypeNames[dpType]);

  DPAB* anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) {
    TRC(TRC_ERROR, "ZEVP_StartupInitialization failed");
    return nullptr;
  }
  ZEVP_SetupMainDPanchor(anchor);
  anchor->dpType = dpType;

  if (ZEVP_StartDataProviderEnvironment(anchor) && StartInputThreads(anchor)) {
    zevp::Routines().consoleService(anchor, ConsoleTypeRoutine(dpType));
  } else {
    // The threads already started end, as at shut-down, before the anchor they use goes.
    ZEVP_ShutdownCleanUp(anchor, 1);
  }
  ZEVP_ReleaseGlobalResources(anchor);
  ZEVP_EndThread();
}
