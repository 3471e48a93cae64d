#include <cctype>
#include <cerrno>
#include <cstring>

#include "bsv1.h"
#include "dch_transport_table.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "process_entry.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr char kDefaultActionLogName[] = "DPACTLOG";
constexpr char kDefaultStartupConfigName[] = "ZEVPCNFG";
constexpr char kDefaultMetafilePath[] = "./metafiles";

// The settings read once at start-up.
struct StartupSettings {
  const char* initConfigPath;
  const char* transport;
  const char* actionLogName;
  const char* trapDestinations;
  const char* startupConfigName;
  const char* metafilePath;
};

char* CopyOf(const char* text) {
  size_t length = std::strlen(text);
  auto* copy = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(length + 1)));
  if (copy != nullptr) std::memcpy(copy, text, length + 1);
  return copy;
}

// A new block holding the directory ending in '/' (the setting itself is left as it is).
char* DirectoryOf(const char* path) {
  char* copy = CopyOf(path);
  if (copy == nullptr) return nullptr;
  char* directory = ZEV0_CheckPathSpec(copy);
  if (directory != copy) ZEV0_FreeStorage(&copy);
  return directory;
}

char* ActionLogFileName(const char* name) {
  if (ZEV0_IsThisFullyQualifiedName(name)) return CopyOf(name);
  return ZEV0_ConstructFullyQualifiedName(nullptr, name);
}

// The named file in the directory, or in the work directory without one.
char* StartupConfigFileName(const char* directory, const char* name) {
  if (directory == nullptr) return ZEV0_ConstructFullyQualifiedName(nullptr, name);
  char* path = DirectoryOf(directory);
  if (path == nullptr) return nullptr;
  char* fullName = ZEV0_ConstructFullyQualifiedName(path, name);
  ZEV0_FreeStorage(&path);
  return fullName;
}

void SelectTransport(DPAB* anchor, const char* setting) {
  char letter = ZEVP_ValidateTransportType(setting);
  if (setting != nullptr && setting[0] != '\0' && letter != std::toupper(static_cast<unsigned char>(setting[0])))
    TRC(TRC_ERROR, "*** Invalid DCH transport type %c, TCPIP type assumed",
        std::toupper(static_cast<unsigned char>(setting[0])));
  anchor->transportLetter = letter;
  anchor->transport = ZEVP_TransportTableOf(letter);
}

// Fills what the anchor needs beyond its locks; false (traced) when it cannot be had.
bool FillAnchor(DPAB* anchor, const StartupSettings& settings) {
  zevp::EngineRoutines& routines = zevp::Routines();
  anchor->pStatPE = ZEVP_InitializeProcessEntry(anchor);
  if (anchor->pStatPE == nullptr) return false;
  anchor->statistics = routines.initializeStatisticBlock();
  BSV1_Time now;
  BSV1_GetTime(&now);
  anchor->startTime = static_cast<time_t>(now.seconds);

  anchor->actionLogFile = ActionLogFileName(settings.actionLogName);
  if (anchor->actionLogFile == nullptr) {
    TRC(TRC_ERROR, "***** Action log file name <%s> cannot be built", settings.actionLogName);
    return false;
  }
  anchor->startupConfigFile = StartupConfigFileName(settings.initConfigPath, settings.startupConfigName);
  if (anchor->startupConfigFile == nullptr) {
    TRC(TRC_ERROR, "***** Start-up configuration file name <%s> cannot be built", settings.startupConfigName);
    return false;
  }
  anchor->metafileDirectory = DirectoryOf(settings.metafilePath);
  if (anchor->metafileDirectory == nullptr)
    TRC(TRC_ERROR, "***** Unable to acquire storage for Meta path, errno %d", errno);
  anchor->apiReplyBuffer = static_cast<char*>(ZEV0_GetStorage(ZEVP_API_REPLY_BUFFER_SIZE));
  if (anchor->apiReplyBuffer == nullptr) TRC(TRC_ERROR, "***** no storage for API UDP buffer. Deferred");
  anchor->trapDestinations =
      routines.constructTrapDestinationArray(settings.trapDestinations, &anchor->trapDestinationCount);
  SelectTransport(anchor, settings.transport);
  routines.determineMaxAttributesPerGroup();
  return true;
}

}  // namespace

DPAB* ZEVP_StartupInitialization() {
  StartupSettings settings{};
  settings.initConfigPath = ZEV0_GetEnv("ZEVP_INIT_CONFIG_PATH", nullptr);
  settings.transport = ZEV0_GetEnv("ZEVP_DP_TRANSPORT", nullptr);
  settings.actionLogName = ZEV0_GetEnv("ZEVP_ACTION_LOG_FILENAME", kDefaultActionLogName);
  settings.trapDestinations = ZEV0_GetEnv("ZEVP_TRAP_DESTINATION", nullptr);

  if (!ZEV0_InitializeProductSpec()) {
    TRC(TRC_ERROR, "*****Product specification initialization unsuccessful");
    return nullptr;
  }
  settings.startupConfigName = ZEV0_QueryProductSpec(ZEV2_INITCNFG_FILENAME);
  if (settings.startupConfigName == nullptr) settings.startupConfigName = kDefaultStartupConfigName;
  settings.metafilePath = ZEV0_GetEnv("ZEVP_META_PATH", kDefaultMetafilePath);
  TRC(TRC_DETAIL, "Current metafile directory %s", settings.metafilePath);

  if (!ZEV0_WinSockInitialization()) {
    TRC(TRC_ERROR, "Failed to initialize the WinSock environment");
    return nullptr;
  }
  DPAB* anchor = zevp::NewAnchor();
  if (anchor == nullptr) {
    TRC(TRC_ERROR, "***** Unable to acquire DP_Anchor storage, errno %d", errno);
    return nullptr;
  }
  if (!FillAnchor(anchor, settings)) {
    zevp::ReleaseStartupResources(anchor);
    zevp::FreeAnchor(anchor);
    return nullptr;
  }
  return anchor;
}

namespace zevp {

void ReleaseStartupResources(DPAB* anchor) {
  ZEV0_FreeStorage(&anchor->actionLogFile);
  ZEV0_FreeStorage(&anchor->apiReplyBuffer);
  ZEV0_FreeStorage(&anchor->startupConfigFile);
  ZEV0_FreeStorage(&anchor->metafileDirectory);
  ZEVP_DestroyProcessEntry(anchor->pStatPE);
  anchor->pStatPE = nullptr;
  anchor->statistics = nullptr;  // the process keeps its block to the end
  ZEV0_FreeStorage(&anchor->trapDestinations);
  anchor->trapDestinationCount = 0;
}

}  // namespace zevp
