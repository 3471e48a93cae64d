#include "http_application.h"

#include <cstdlib>
#include <iterator>
#include <string>

#include "application_entry.h"
#include "builtin_group.h"
#include "dp_anchor.h"
#include "dp_environment.h"
#include "engine_routines.h"
#include "http_trace.h"
#include "metafile_text.h"
#include "model_release.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "source_entry.h"
#include "zev0/env.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr char kApplicationName[] = "Internet";
constexpr char kMetafileName[] = "VMO";
constexpr char kDefaultSampleInterval[] = "28800";
// URL_Objects rows live this many sample intervals.
constexpr long kObjectRowIntervals = 50;
constexpr char kCounterSize[] = "99999999";
constexpr char kURLhelp[] = "The managed URL specification.";

constexpr zevp::BuiltInAttribute kManagedURLattributes[] = {
    {"URL", "D", "1024", 1, 1, kURLhelp},
    {"Status", "D", "64", 0, 0, "The current managed URL status."},
    {"Status_Timestamp", "D", "32", 0, 0, "The time when the current managed URL status was last taken."},
    {"Page_Title", "D", "256", 0, 0, "The page title of the received document."},
    {"Page_Size", "C", kCounterSize, 0, 0, "The managed URL web page data size received."},
    {"Current_Response_Time", "C", kCounterSize, 0, 0,
     "The current observed managed URL response time in milliseconds."},
    {"Maximum_Response_Time", "C", kCounterSize, 0, 0,
     "The maximum observed managed URL response time in milliseconds."},
    {"Average_Response_Time", "C", kCounterSize, 0, 0,
     "The average observed managed URL response time in milliseconds."},
    {"Page_Objects", "C", kCounterSize, 0, 0,
     "The total number of additional objects associated with this monitored page."},
    {"Total_Object_Size", "C", kCounterSize, 0, 0,
     "The total number of bytes downloaded for the associated page objects."},
    {"User_Name", "D", "32", 1, 0, "The user ID that initiated monitoring for this URL."},
    {"URL_Alias", "D", "32", 0, 0, "The user-specified alias for the URL."},
    {"ISP_Name", "D", "64", 0, 0, "The Internet Service Provider name."},
    {"Server_Type", "D", "64", 0, 0, "The URL web server type."},
    {"Total_Samples_Taken", "C", kCounterSize, 0, 0,
     "The total number of samples taken for this URL since monitoring began."},
    {"Status_Interval", "C", kCounterSize, 0, 0, "The elapsed time in seconds between status checks of this URL."},
    {"HTTP_Version", "D", "8", 0, 0, "The HTTP version of the web server for this URL."},
};

constexpr zevp::BuiltInAttribute kURLobjectAttributes[] = {
    {"URL", "D", "1024", 1, 1, kURLhelp},
    {"Object_Name", "D", "1024", 1, 0, "The page object name."},
    {"Object_Size", "C", kCounterSize, 0, 0, "The page object size."},
};

constexpr zevp::BuiltInGroup kManagedURLgroup = {
    "Managed_URL", "K", "The WEB URL report contains current status and response time of monitored URL.",
    kManagedURLattributes, static_cast<int>(std::size(kManagedURLattributes))};

constexpr zevp::BuiltInGroup kURLobjectGroup = {
    "URL_Objects", "K", "The URL Object report contains object specifications included in a URL page.",
    kURLobjectAttributes, static_cast<int>(std::size(kURLobjectAttributes))};

struct InternetSources {
  SourceEntry* managedURL = nullptr;
  SourceEntry* urlObjects = nullptr;
};

// The group's source waits for its requests on an entry made for it alone.
bool GiveOwnTask(DPAB* anchor, SourceEntry* source) {
  if (source == nullptr) return false;
  source->OwningTask = ZEVP_InitializeProcessEntry(anchor);
  source->OwnsTask = source->OwningTask != nullptr ? 1 : 0;
  return source->OwningTask != nullptr;
}

// Both sources take the Managed_URL source's name, and "@" and the agent's
// location when it has one.
void NameSources(const InternetSources& sources) {
  std::string name = sources.managedURL->pSourceNodeName != nullptr ? sources.managedURL->pSourceNodeName : "";
  if (const char* location = ZEV_Agent_Geographic_Location.load()) name += std::string("@") + location;
  for (SourceEntry* source : {sources.managedURL, sources.urlObjects}) {
    ZEV0_FreeStorage(&source->pSourceNodeName);
    source->pSourceNodeName = zevp::NewStorageText(name);
    source->SourceNodeNameLength = static_cast<int32_t>(name.size());
  }
}

ApplicationEntry* DefineApplication(DPAB* anchor, InternetSources* sources) {
  ApplicationEntry* application =
      ZEVP_InitializeApplicationEntry(anchor, kApplicationName, 1, "Internet management system application.");
  if (application == nullptr) {
    HTTP_TRC(TRC_ERROR, "*** Failed to initialize ApplicationEntry control block for Application <%s>",
             kApplicationName);
    return nullptr;
  }
  application->MetafileName = zevp::NewStorageText(kMetafileName);
  application->MetafileNameUpper = zevp::NewStorageText(kMetafileName);
  const std::string interval = ZEV0_GetEnv("ZEVP_URL_SAMPLE_INTERVAL", kDefaultSampleInterval);
  const std::string objectTTL = std::to_string(kObjectRowIntervals * std::atol(interval.c_str()));
  sources->managedURL = zevp::DefineBuiltInGroup(anchor, application, kManagedURLgroup, interval.c_str());
  if (GiveOwnTask(anchor, sources->managedURL))
    sources->urlObjects = zevp::DefineBuiltInGroup(anchor, application, kURLobjectGroup, objectTTL.c_str());
  if (!GiveOwnTask(anchor, sources->urlObjects)) {
    HTTP_TRC(TRC_ERROR, "*** Failed to define the built-in application <%s>", kApplicationName);
    ZEVP_ReleaseApplResources(anchor, application, 1);
    return nullptr;
  }
  NameSources(*sources);
  return application;
}

void QueueAndWait(DPAB* anchor, SourceEntry* source, int32_t order) {
  zevp::EngineRoutines& routines = zevp::Routines();
  routines.updateSourceEntryState(source, order);
  routines.queueAndWaitDCHstatus(anchor, source->OwningTask, source);
}

// A registered source (still Register: the agent knew the application) goes
// online; the source, or null when it is not ready.
SourceEntry* PutOnline(DPAB* anchor, SourceEntry* source) {
  if (source->State == ZEVP_Register) zevp::Routines().updateSourceEntryState(source, ZEVP_Ready);
  if (source->State != ZEVP_Ready) return nullptr;
  QueueAndWait(anchor, source, ZEVP_Ready);
  return source;
}

}  // namespace

int ZEVP_DefineHTTPapplication(DPAB* anchor) {
  InternetSources sources;
  ApplicationEntry* application = DefineApplication(anchor, &sources);
  if (application == nullptr) return 0;

  QueueAndWait(anchor, sources.managedURL, ZEVP_Register);
  if (zevp::ShutdownRequested(anchor)) {
    // The registration may still be with the DCH client: the application goes with
    // the model once every thread has ended.
    HTTP_TRC(TRC_ERROR, "*** HTTP application not defined: the data provider is shutting down");
    return 0;
  }
  switch (sources.managedURL->State) {
    case ZEVP_Ready:
    case ZEVP_Pending:
      break;
    case ZEVP_Register:  // the agent knows the application already
      zevp::Routines().updateSourceEntryState(sources.managedURL, ZEVP_Ready);
      ZEVP_ReleaseApplGroupHelp(application);
      break;
    default:
      HTTP_TRC(TRC_ERROR, "*** dp_register failed for HTTP application");
      ZEVP_ReleaseApplResources(anchor, application, 1);
      return 0;
  }
  // A situation's rule comes as soon as the source is online, and its worker may run
  // before the start would make the block: the block is there first.
  zevp::Routines().initializeUMB(anchor);
  anchor->managedURLSource = PutOnline(anchor, sources.managedURL);
  if (anchor->managedURLSource == nullptr) HTTP_TRC(TRC_DETAIL, ">>> HTTP Managed URL application online delayed");
  anchor->urlObjectsSource = PutOnline(anchor, sources.urlObjects);
  if (anchor->urlObjectsSource == nullptr) HTTP_TRC(TRC_DETAIL, ">>> HTTP URL Object application online delayed");
  return 1;
}
