// The control verbs: ping the API data provider, define and redefine a metafile at its
// console.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "anchor.h"
#include "api_trace.h"
#include "records.h"
#include "status_codes.h"

namespace zevpapi {

namespace {

// Console reply codes that the definitions rely on.
constexpr int kConsoleDone = 0;
constexpr int kConsoleNotDefined = 3;
constexpr int kConsoleDefined = 4;
constexpr int kConsoleKnownToAgent = 6;
constexpr int kConsoleMetafileNotFound = 8;

constexpr int kPingWaitFactor = 1;
constexpr int kStepWaitFactor = 1;
constexpr int kRefreshWaitFactor = 4;

int CheckServerStatus(char* replyParm) {
  int status = EnsureAnchor();
  if (status != kSuccess) return status;
  if (DPAA->transport == 'R') return kRpcTransport;
  if (DPAA->transport != 'I') return kUnknownTransport;
  return ZEVP_SendReceiveAPIcontrolRequest("PING", replyParm, kPingWaitFactor);
}

// What a definition sends and how its outcome reads.
struct Definition {
  const char* loadVerb;  // IMPORT or REFRESH
  int loadWaitFactor;
  int checkCodeThatStops;  // the CHECK code that ends the definition
  int statusWhenStopped;
  int notFound;
  int knownToAgent;
  int specificationError;
};

constexpr Definition kDefine = {"IMPORT", kStepWaitFactor, kConsoleDefined, kAlreadyDefined,
                                kDefineNotFound, kDefineKnownToAgent, kDefineSpecificationError};
constexpr Definition kRedefine = {"REFRESH", kRefreshWaitFactor, kConsoleNotDefined, kRedefineNotDefined,
                                  kRedefineNotFound, kRedefineKnownToAgent, kRedefineSpecificationError};

// The command "<verb> <name>" in the work area, exchanged.
int Command(char* area, size_t size, const char* verb, const char* metafile, int waitFactor) {
  std::snprintf(area, size, "%s %s", verb, metafile);
  return ZEVP_SendReceiveAPIcontrolRequest(area, nullptr, waitFactor);
}

int RunDefinition(const Definition& definition, const char* metafile, int acceptOK) {
  if (metafile == nullptr || metafile[0] == '\0') {
    std::snprintf(Common_SubText, sizeof Common_SubText, "NULL");
    return kInvalidParameter;
  }
  if (CheckServerStatus(nullptr) != kSuccess) return kApiServerInactive;
  // The longest verb, a blank and the terminator.
  const size_t size = std::strlen(metafile) + sizeof "REFRESH" + 1;
  char* area = static_cast<char*>(std::malloc(size));
  if (area == nullptr) return kNoRequestStorage;
  int status;
  int code = Command(area, size, "CHECK", metafile, kStepWaitFactor);
  if (code == definition.checkCodeThatStops) {
    status = definition.statusWhenStopped;
  } else {
    code = Command(area, size, definition.loadVerb, metafile, definition.loadWaitFactor);
    if (code == kConsoleKnownToAgent && acceptOK != 0) code = Command(area, size, "ACCEPT", metafile, kStepWaitFactor);
    if (code == kConsoleDone)
      status = kSuccess;
    else if (code == kConsoleMetafileNotFound)
      status = definition.notFound;
    else if (code == kConsoleKnownToAgent)
      status = definition.knownToAgent;
    else
      status = definition.specificationError;
  }
  std::free(area);
  return status;
}

}  // namespace

}  // namespace zevpapi

using zevpapi::CallScope;

extern "C" int dp_CheckAPIserverStatus(int* status, char* replyParm) {
  CallScope call("dp_CheckAPIserverStatus", status);
  return call.finish(zevpapi::CheckServerStatus(replyParm));
}

extern "C" int dp_Ping(int* status) {
  CallScope call("dp_Ping", status);
  return call.finish(zevpapi::CheckServerStatus(nullptr));
}

extern "C" int dp_Define(const char* metafile, int acceptOK, int* status) {
  CallScope call("dp_Define", status);
  return call.finish(zevpapi::RunDefinition(zevpapi::kDefine, metafile, acceptOK));
}

extern "C" int dp_Redefine(const char* metafile, int acceptOK, int* status) {
  CallScope call("dp_Redefine", status);
  return call.finish(zevpapi::RunDefinition(zevpapi::kRedefine, metafile, acceptOK));
}
